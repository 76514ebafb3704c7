#include <gtest/gtest.h>

#include <set>

#include "ui/Controls.h"

namespace norq {

TEST(Layout, DesignedSizesInPixels) {
  EXPECT_EQ(TwipsToPixels(kFormScaleWidth, 96), 413);
  EXPECT_EQ(TwipsToPixels(kFormScaleHeight, 96), 263);
  EXPECT_EQ(TwipsToPixels(-120, 96), -8);
  EXPECT_EQ(TwipsToPixels(kFormScaleWidth, 120), 516);
  EXPECT_EQ(TwipsToPixels(kFormScaleWidth, 144), 620);
}

TEST(Layout, ContainersComeBeforeTheirControlsAndIdsAreUnique) {
  std::set<ControlId> seen;
  for (const auto& spec : kLayout) {
    if (spec.parent != ControlId::None) {
      EXPECT_TRUE(seen.count(spec.parent)) << static_cast<int>(spec.id);
    }
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
