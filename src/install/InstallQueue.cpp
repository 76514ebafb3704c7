#include "core/RuntimeError.h"
#include "core/Subscript.h"
#include "install/Manifest.h"
#include "trust/BodyCheck.h"
#include "ui/FrmUpdate.h"

namespace norq {

namespace {
// Present components are found whatever their read-only, hidden or system
// attributes; a folder of the same name is not a component.
constexpr unsigned kPresenceMask = kAttrReadOnly | kAttrHidden | kAttrSystem;
}  // namespace

void FrmUpdate::Command_refresh_Click() {
  ui_.SetCaption(ControlId::Label3, L"状态: 正在准备安装 ...");
  ui_.SetEnabled(ControlId::Command_refresh, false);
  Command2_Click();
}

void FrmUpdate::Command2_Click() {
  TypeArr = SplitList(TypeList);
  UrlArr = SplitList(UrlList);
  NameArr = SplitList(NameList);
  PathArr = SplitList(PathList);
  CurIndex = 0;
  InstallNext();
}

// Handles present components one after another and starts at most one
// download, as its last action; that download's completion calls it again.
void FrmUpdate::InstallNext() {
  const auto bound = static_cast<std::int16_t>(static_cast<int>(TypeArr.size()) - 1);
  for (;;) {
    if (CurIndex == INT16_MAX) throw RuntimeError(ErrorNumber::Overflow);
    ++CurIndex;
    if (CurIndex > bound) {
      sys_.Log(L"all entries handled");
      return;
    }
    if (ElementAt(TypeArr, CurIndex) == kComponentKind) {
      ui_.SetCaption(ControlId::Label3, L"状态: 检查 " + ElementAt(NameArr, CurIndex) + L" ...");
      if (sys_.FileExists(ElementAt(PathArr, CurIndex), kPresenceMask)) {
        sys_.Log(L"entry " + std::to_wstring(CurIndex) + L" present: " + ElementAt(PathArr, CurIndex));
        ui_.SetCaption(ControlId::Label3, L"状态: 注册 " + ElementAt(NameArr, CurIndex) + L" ...");
        RegisterComponent(ElementAt(PathArr, CurIndex));
        continue;
      }
    }
    ui_.SetVisible(ControlId::Picture_http, true);
    sys_.Log(L"entry " + std::to_wstring(CurIndex) + L" downloading: " + ElementAt(UrlArr, CurIndex) + L" for " +
             ElementAt(PathArr, CurIndex));
    ResetProgress();
    // The lists follow the manifest table, so entry n is the index's line n - 1.
    std::optional<IndexLine> pinned;
    if (indexKey_) pinned = index_.at(static_cast<std::size_t>(CurIndex - 1));
    inet1_.ExpectBody(CheckForName(ElementAt(NameArr, CurIndex), std::move(pinned)));
    inet1_.Execute(ElementAt(UrlArr, CurIndex), L"GET", ElementAt(PathArr, CurIndex));
    return;
  }
}

}  // namespace norq
