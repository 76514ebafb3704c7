#include "ui/InstallerWindow.h"

#include <algorithm>

#include "core/RuntimeError.h"
#include "download/Completion.h"
#include "download/StateText.h"
#include "install/Registration.h"
#include "install/Walk.h"
#include "startup/KillByTitle.h"
#include "platform/Http.h"
#include "startup/Markers.h"

// The build's version, a narrow or wide literal: the empty wide prefix makes it wide.
#ifndef NORQ_VERSION
#error "The build defines NORQ_VERSION, the program's version"
#endif

namespace norq {

namespace {
constexpr wchar_t kProgramVersion[] = L"" NORQ_VERSION;
constexpr wchar_t kMessageTitle[] = L"Quovexa";
constexpr wchar_t kNotUnpacked[] = L"请先解压，而后再安装！";
constexpr wchar_t kNoServer[] = L"安装的服务器目前不好用，稍后后再安装！";
constexpr wchar_t kHelpText[] = L"如果安装工作多次无法进行，请联系QQ：4817203695";
constexpr wchar_t kStartText[] = L"开始安装";
constexpr wchar_t kCheckingText[] = L"稍等，正在检测...";
constexpr wchar_t kPreparingText[] = L"状态: 正在准备安装 ...";
constexpr wchar_t kProductWindowTitle[] = L"norq";
constexpr wchar_t kRefreshWord[] = L"REFRESH";
}  // namespace

InstallerWindow::InstallerWindow(System& system, Inet& transfer, Inet& pointerFetch,
                                 std::optional<P256PublicKey> indexKey, IndexPolicy policy)
    : sys_(system),
      transfer_(transfer),
      pointerFetch_(pointerFetch),
      trust_{indexKey, std::move(policy), ManifestServerPaths()} {}

void InstallerWindow::EndRun(const std::wstring& why) {
  sys_.Log(L"end: " + why);
  sys_.End();
}

// The edition's markers are written before anything is asked of the network;
// the server's only once a server is found. A run started with the single
// word REFRESH goes on to install as if the button were clicked.
void InstallerWindow::OnLoad() {
  sys_.Log(std::wstring(L"norq_installer ") + kProgramVersion + L" started in " + sys_.AppPath());
  sys_.Log(L"command line: " + sys_.CommandLine());
  const EditionName edition = ReadEditionName(sys_, sys_.AppPath());
  if (!edition.name) {
    sys_.MsgBox(kNotUnpacked, kMbCritical, kMessageTitle);
    EndRun(edition.missing);
    return;
  }
  sys_.Log(L"OEM name: " + *edition.name);
  WriteOemCopies(sys_, *edition.name);

  controls_.SetCaption(ControlId::EditionLine, *edition.name + L" 专用安装程序");
  controls_.SetCaption(ControlId::HelpLine, kHelpText);
  controls_.ShowWindow();
  controls_.SetEnabled(ControlId::StartButton, false);
  controls_.SetCaption(ControlId::StartButton, kCheckingText);

  auto server = DiscoverServer(sys_, pointerFetch_, trust_);
  if (!server) {
    sys_.MsgBox(kNoServer, kMbCritical, kMessageTitle);
    EndRun(L"no pointer page named a server");
    return;
  }
  serverUrl_ = std::move(server->url);
  controls_.SetCaption(ControlId::ServerLine, serverUrl_);
  sys_.Log(L"server: " + serverUrl_);
  WriteServerMarkers(sys_, serverUrl_);

  controls_.SetCaption(ControlId::StartButton, kStartText);
  controls_.SetEnabled(ControlId::StartButton, true);

  systemFolder_ = sys_.SystemFolder();
  sys_.Log(L"system folder: " + systemFolder_);
  plan_ = PlanInstallation(serverUrl_, systemFolder_, sys_.AppPath(), server->index);
  KillProcessByTitle(sys_, kProductWindowTitle);

  if (sys_.CommandLine() == kRefreshWord) OnStartClicked();
}

// Nothing the installer has written or started is undone, and an outstanding
// transfer is abandoned.
void InstallerWindow::OnClose() { EndRun(L"the window was closed"); }

void InstallerWindow::OnStartClicked() {
  controls_.SetCaption(ControlId::StatusLine, kPreparingText);
  controls_.SetEnabled(ControlId::StartButton, false);
  StartWalk();
}

void InstallerWindow::StartWalk() {
  current_ = 0;
  InstallNext();
}

// Handles present components one after another and starts at most one
// download, as its last action; that download's completion calls it again.
void InstallerWindow::InstallNext() {
  current_ = WalkToNextDownload(plan_, current_, sys_, systemFolder_,
                                [this](const std::wstring& text) { controls_.SetCaption(ControlId::StatusLine, text); });
  if (current_ < plan_.size()) StartDownload(plan_[current_]);
}

void InstallerWindow::StartDownload(const PlannedEntry& entry) {
  controls_.SetVisible(ControlId::ProgressPanel, true);
  sys_.Log(L"entry " + std::to_wstring(current_ + 1) + L" downloading: " + entry.url + L" for " + entry.localPath);
  progress_.Restart();
  transfer_.ExpectBody(CheckOf(entry));
  transfer_.Execute(entry.url, L"GET", entry.localPath);
}

const PlannedEntry& InstallerWindow::CurrentEntry() const {
  if (current_ >= plan_.size()) throw RuntimeError(ErrorNumber::SubscriptOutOfRange);
  return plan_[current_];
}

void InstallerWindow::OnTransferState(std::int16_t state) {
  if (state == icResponseCompleted) {
    OnDownloadCompleted();
  } else if (state == icResponseReceived) {
    controls_.SetCaption(ControlId::TransferLine, kDownloadingPrefix + CurrentEntry().fileName);
  } else if (const wchar_t* text = StateText(state)) {
    if (state == icError) sys_.Log(L"download failed: " + TransferText(CurrentEntry().url, transfer_.LastTransfer()));
    controls_.SetCaption(ControlId::TransferLine, text);
  }
}

void InstallerWindow::OnBytesReceived(std::uint64_t received, std::uint64_t declared) {
  progress_.Show(received, static_cast<std::int64_t>(std::min<std::uint64_t>(declared, INT64_MAX)));
}

// A component is registered and the walk goes on; the setup program is
// started from the installer's folder and the installer ends.
void InstallerWindow::OnDownloadCompleted() {
  const PlannedEntry& entry = CurrentEntry();
  controls_.SetCaption(ControlId::TransferLine, kCompletedText);
  SaveDownload(transfer_, sys_, progress_, entry.url, entry.localPath);
  if (entry.kind != EntryKind::Component) {
    EndRun(StartSetupProgram(sys_, SetupPath(sys_.AppPath()), CheckOf(entry)));
    return;
  }
  RegisterComponent(sys_, systemFolder_, entry.localPath);
  controls_.SetVisible(ControlId::ProgressPanel, false);
  ++current_;
  InstallNext();
}

double InstallerWindow::BarTrack() const {
  // The window's inner width less the bar's left margin on both sides.
  return controls_.ClientWidth() - 2 * controls_.Left(ControlId::ProgressBar);
}

void InstallerWindow::ShowBar(double width) { controls_.SetWidth(ControlId::ProgressBar, width); }

void InstallerWindow::ShowPercent(const std::wstring& text) { controls_.SetCaption(ControlId::PercentText, text); }

}  // namespace norq
