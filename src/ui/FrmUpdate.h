#pragma once
// The installer window's behaviour: its fields and every event handler and
// procedure, run against the control model and the two seams (System, Inet).
// Handlers live in the folder of their subsystem: startup/FormLoad.cpp,
// install/InstallQueue.cpp, download/Completion.cpp.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Inet.h"
#include "platform/System.h"
#include "trust/IndexPolicy.h"
#include "trust/Signature.h"
#include "trust/TreeIndex.h"
#include "ui/Controls.h"

namespace norq {

class FrmUpdate {
 public:
  // With a key, only a server whose tree index the key signed, for the
  // policy's product and the server's own address, recent and unexpired, is
  // used, and every body is checked against that index.
  FrmUpdate(System& system, Inet& inet1, Inet& inet2,
            std::optional<P256PublicKey> indexKey = BuiltInIndexKey(), IndexPolicy policy = BuiltInIndexPolicy());
  FrmUpdate(const FrmUpdate&) = delete;
  FrmUpdate& operator=(const FrmUpdate&) = delete;

  Controls& controls() { return ui_; }
  const Controls& controls() const { return ui_; }

  // Events. The window runs each through RunEvent (ui/EventGuard.h).
  void Form_Load();
  void Form_QueryUnload();
  void Command_refresh_Click();
  void Command2_Click();
  void Inet1_StateChanged(std::int16_t state);
  void Inet1_BytesReceived(std::uint64_t received, std::uint64_t declared);

  // Starts the setup program if it still passes its download's check;
  // despite its name UpdateURL is a local path.
  void RunUpdate(const std::wstring& UpdateURL);

  // The accepted pointer-page reply, kept only as the hidden label's caption.
  const std::wstring& ServerUrl() const { return ui_.Caption(ControlId::Label_www); }

  // Shared fields of the window.
  std::wstring OemName;
  std::wstring SystemDir;
  std::wstring TypeList, UrlList, NameList, PathList;
  std::vector<std::wstring> TypeArr, UrlArr, NameArr, PathArr;
  std::int16_t CurIndex = 0;
  std::int64_t TotalBytes = 0;  // the declared length of the current download
  double BarStep = 0;            // bar growth per byte, twips

 private:
  // Start-up.
  bool DiscoverServer();
  bool TrustServer(const std::wstring& serverUrl);
  void BuildManifest();
  // Installation.
  void InstallNext();
  void RegisterComponent(const std::wstring& path);
  // Download.
  void CompleteDownload();
  double BarTrack() const;
  void ShowProgress(std::uint64_t done, std::int64_t total);
  // An empty bar for the next download, from which its progress climbs.
  void ResetProgress();

  System& sys_;
  Inet& inet1_;
  Inet& inet2_;
  Controls ui_;
  std::optional<P256PublicKey> indexKey_;
  IndexPolicy policy_;
  std::vector<IndexLine> index_;  // the verified index of the server used, in manifest order
  std::uint64_t shownBytes_ = 0;  // the count the bar and percentage show
};

}  // namespace norq
