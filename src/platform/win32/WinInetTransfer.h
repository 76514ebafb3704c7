#pragma once
// The transfer component over the system's WinINet, so the user's proxy
// settings apply. Each request runs on a worker thread of its own
// (InetWorker); everything the worker learns reaches this object as a message
// to its hidden window, so the events are raised on the GUI thread and never
// touch a control.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Http.h"
#include "platform/Inet.h"
#include "platform/TransferRules.h"
#include "platform/win32/Handles.h"
#include "platform/win32/TransferWindow.h"

namespace norq::win32 {

struct InetRequest;

class WinInetTransfer final : public Inet, private TransferWindow::Listener {
 public:
  // Call on the GUI thread: the events are raised on the thread that made the object.
  // The User-Agent names the build, so a server's log tells which release asked.
  explicit WinInetTransfer(std::wstring agent = L"norq_installer/" NORQ_VERSION);
  ~WinInetTransfer() override;
  WinInetTransfer(const WinInetTransfer&) = delete;
  WinInetTransfer& operator=(const WinInetTransfer&) = delete;

  std::wstring OpenURL(const std::wstring& url) override;
  std::optional<std::string> FetchBytes(const std::wstring& url, std::size_t cap) override;
  void ExpectBody(BodyCheck check) override;
  void Execute(const std::wstring& url, const std::wstring& operation, const std::wstring& target) override;
  std::wstring GetHeader(const std::wstring& name) override;
  std::vector<std::uint8_t> GetChunk(std::int32_t size) override;
  void ReplaceTarget() override;

  // Why the last request failed (the call and its error code, the status, or
  // the time-out) with its status, lengths and duration; no failure after a success.
  TransferFacts LastTransfer() const override;

  // Told, once per transfer, what support should know that is no failure:
  // that this WinINet cannot keep the user's logon from servers.
  std::function<void(const std::wstring& note)> Noted;
  // Told of each further try of a broken body, and of what its answer meant.
  std::function<void(const std::wstring& line)> Retried;

 private:
  void OnState(std::uint32_t generation, std::int16_t state) override;
  void OnProgress(std::uint32_t generation) override;
  void OnWatchdog() override;
  std::shared_ptr<InetRequest> Start(const std::wstring& url, const std::wstring& verb, UniqueFile landed,
                                     UniqueHandle& worker, std::size_t textCap);
  // Runs a request to its end while the window's messages are handled; the
  // finished request, or nothing when it failed or ran out of time.
  std::shared_ptr<InetRequest> Block(const std::wstring& url, std::size_t cap);
  // Lets go of the running request: its handles are closed and whatever it
  // still posts is dropped.
  void Abandon();
  void DropResponse();
  // Passes the lines of the request's further tries to Retried.
  void TellTries(InetRequest& request);
  // Passes the note of a request whose outcome is complete to Noted, once.
  void NoteOnce(const InetRequest& request);

  std::wstring agent_;
  TransferWindow window_;
  std::uint32_t generation_ = 0;
  std::shared_ptr<InetRequest> current_;
  BodyCheck expected_;  // for the next Execute
  UniqueHandle worker_;
  ULONGLONG endedTryAt_ = 0;  // the current request's activity when the watchdog last ended a try

  // The completed response: its headers, and the landed body that GetChunk
  // reads and ReplaceTarget puts in place of its target.
  Headers headers_;
  UniqueFile landed_;
  std::wstring target_;
  ChunkReader chunks_;
  TransferFacts last_;
  bool noted_ = false;
};

}  // namespace norq::win32
