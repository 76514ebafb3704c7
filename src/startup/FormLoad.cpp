#include "core/RuntimeError.h"
#include "startup/KillByTitle.h"
#include "startup/Markers.h"
#include "ui/FrmUpdate.h"

namespace norq {

namespace {
constexpr wchar_t kMessageTitle[] = L"Quovexa";
constexpr wchar_t kNotUnpacked[] = L"请先解压，而后再安装！";
constexpr wchar_t kNoServer[] = L"安装的服务器目前不好用，稍后后再安装！";
constexpr wchar_t kProductWindowTitle[] = L"norq";
constexpr wchar_t kRefreshWord[] = L"REFRESH";
}  // namespace

// The build's version, a narrow or wide literal: the empty wide prefix makes it wide.
#ifndef NORQ_VERSION
#error "The build defines NORQ_VERSION, the program's version"
#endif
const wchar_t kProgramVersion[] = L"" NORQ_VERSION;

void FrmUpdate::Form_Load() {
  sys_.Log(std::wstring(L"norq_installer ") + kProgramVersion + L" started in " + sys_.AppPath());
  sys_.Log(L"command line: " + sys_.CommandLine());
  const std::wstring oemMarker = OemMarkerPath(sys_.AppPath());
  if (!sys_.FileExists(oemMarker, kAttrNormal)) {
    sys_.MsgBox(kNotUnpacked, kMbCritical, kMessageTitle);
    sys_.Log(L"end: no " + oemMarker + L" (the package was not unpacked)");
    sys_.End();
  }
  OemName = sys_.ReadTextLine(oemMarker);
  sys_.Log(L"OEM name: " + OemName);
  WriteOemCopies(sys_, OemName);

  ui_.SetCaption(ControlId::Label_v, OemName + L" 专用安装程序");
  ui_.SetCaption(ControlId::Label1, L"如果安装工作多次无法进行，请联系QQ：4817203695");
  ui_.ShowForm();

  ui_.SetEnabled(ControlId::Command_refresh, false);
  ui_.SetCaption(ControlId::Command_refresh, L"稍等，正在检测...");

  if (!DiscoverServer()) {
    sys_.MsgBox(kNoServer, kMbCritical, kMessageTitle);
    sys_.Log(L"end: no pointer page named a server");
    Form_QueryUnload();
    return;
  }
  sys_.Log(L"server: " + ServerUrl());
  WriteServerMarkers(sys_, ServerUrl());

  ui_.SetCaption(ControlId::Command_refresh, L"开始安装");
  ui_.SetEnabled(ControlId::Command_refresh, true);

  BuildManifest();
  KillProcessByTitle(sys_, kProductWindowTitle);

  if (sys_.CommandLine() == kRefreshWord) Command_refresh_Click();
}

}  // namespace norq
