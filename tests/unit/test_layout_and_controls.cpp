#include <gtest/gtest.h>

#include <set>

#include "ui/Controls.h"

namespace norq {

TEST(Layout, DesignedSizesInPixelsAndContainersBeforeTheirControls) {
  const struct { int twips, dpi, pixels; } sizes[] = {
      {kFormScaleWidth, 96, 413}, {kFormScaleHeight, 96, 263}, {-120, 96, -8},
      {kFormScaleWidth, 120, 516}, {kFormScaleWidth, 144, 620}};
  for (const auto& c : sizes) EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
  std::set<ControlId> seen;
  for (const auto& spec : kLayout) {
    EXPECT_TRUE(spec.parent == ControlId::None || seen.count(spec.parent)) << static_cast<int>(spec.id);
    EXPECT_TRUE(seen.insert(spec.id).second);
  }
}

TEST(Controls, ReportOnlyRealChanges) {
  Controls ui;
  int changes = 0;
  ui.SetObserver([&](ControlId, Change) { ++changes; });
  ui.SetCaption(ControlId::Label3, L"x");
  ui.SetCaption(ControlId::Label3, L"x");
  ui.SetWidth(ControlId::Picture1, 10.5);
  ui.SetWidth(ControlId::Picture1, 10.5);
  ui.SetEnabled(ControlId::Command_refresh, true);
  ui.ShowForm();
  ui.ShowForm();
  EXPECT_EQ(changes, 3);
}

}  // namespace norq
