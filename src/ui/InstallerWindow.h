#pragma once
// The installer window's behaviour: what it keeps and every event it answers,
// run against the control model and the seams (System, and the two transfer
// components), so that it never calls Windows. Start-up, installation and
// download each lend it their functions from their own folders.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "download/Progress.h"
#include "install/Plan.h"
#include "platform/Inet.h"
#include "platform/System.h"
#include "startup/ServerDiscovery.h"
#include "ui/Controls.h"

namespace norq {

class InstallerWindow final : private ProgressView {
 public:
  // `transfer` fetches the files; `pointerFetch` the pointer pages and the
  // index. With a key, only a server whose tree index the key signed, for the
  // policy's product and the server's own address, recent and unexpired, is
  // used, and every body is checked against that index.
  InstallerWindow(System& system, Inet& transfer, Inet& pointerFetch,
                  std::optional<P256PublicKey> indexKey = BuiltInIndexKey(), IndexPolicy policy = BuiltInIndexPolicy());
  InstallerWindow(const InstallerWindow&) = delete;
  InstallerWindow& operator=(const InstallerWindow&) = delete;

  Controls& controls() { return controls_; }
  const Controls& controls() const { return controls_; }

  // Events. The Win32 window runs each through RunEvent (ui/EventGuard.h).
  void OnLoad();
  // Whatever asks the window to close.
  void OnClose();
  void OnStartClicked();
  // The hidden starter's click: the walk over the entries from the first.
  void StartWalk();
  void OnTransferState(std::int16_t state);
  void OnBytesReceived(std::uint64_t received, std::uint64_t declared);

  // The accepted pointer reply; empty until the server is found.
  const std::wstring& ServerUrl() const { return serverUrl_; }

 private:
  // Logs why the run ends, as its one last line, and ends it (the fake
  // system of the tests ends it by throwing).
  void EndRun(const std::wstring& why);
  void InstallNext();
  void StartDownload(const PlannedEntry& entry);
  void OnDownloadCompleted();
  const PlannedEntry& CurrentEntry() const;

  double BarTrack() const override;
  void ShowBar(double width) override;
  void ShowPercent(const std::wstring& text) override;

  System& sys_;
  Inet& transfer_;
  Inet& pointerFetch_;
  ServerTrust trust_;
  Controls controls_;
  std::wstring serverUrl_;
  std::wstring systemFolder_;
  std::vector<PlannedEntry> plan_;
  std::size_t current_ = 0;  // the entry being handled
  DownloadProgress progress_{*this};
};

}  // namespace norq
