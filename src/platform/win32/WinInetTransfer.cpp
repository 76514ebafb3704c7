#include "platform/win32/WinInetTransfer.h"

#include <utility>

#include "platform/Http.h"
#include "platform/TransferRules.h"
#include "platform/win32/Ansi.h"
#include "platform/win32/Answering.h"
#include "platform/win32/InetRequest.h"
#include "platform/win32/InetWorker.h"
#include "platform/win32/Landing.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {

constexpr UINT kWatchdogPeriodMs = 250;
// A pointer page is a few dozen characters; anything longer is refused anyway.
constexpr std::size_t kTextCap = 4096;
// How long the destructor waits for a cancelled worker before leaving it behind.
constexpr DWORD kJoinMs = 500;

std::wstring OverdueText(Overdue overdue) {
  if (overdue == Overdue::PastDeadline) return L"no whole reply within the overall deadline";
  return SilenceText();
}

}  // namespace

WinInetTransfer::WinInetTransfer(std::wstring agent) : agent_(std::move(agent)), window_(*this) {
  (void)WinInet();  // loaded here, on the GUI thread, where a failure can be reported
}

void WinInetTransfer::TellTries(InetRequest& request) {
  for (const std::wstring& line : request.TakeTries()) {
    if (Retried) Retried(line);
  }
}

void WinInetTransfer::NoteOnce(const InetRequest& request) {
  if (request.note.empty() || noted_) return;
  noted_ = true;
  if (Noted) Noted(request.note);
}

WinInetTransfer::~WinInetTransfer() {
  UniqueHandle worker = std::move(worker_);
  Abandon();
  // Closing its handles ends a blocking call on Windows; Wine lets the call
  // run to its own end, and then the worker is left behind with its own share
  // of the request, posting nothing.
  if (worker) ::WaitForSingleObject(worker.get(), kJoinMs);
  window_.Destroy();  // before the members its messages would reach
}

std::shared_ptr<InetRequest> WinInetTransfer::Start(const std::wstring& url, const std::wstring& verb, UniqueFile landed,
                                                    UniqueHandle& worker, std::size_t textCap) {
  const bool download = static_cast<bool>(landed);
  auto request = std::make_shared<InetRequest>();
  request->window = window_.get();
  request->generation = generation_;
  request->url = RequestAddress(url);
  request->verb = verb.empty() ? L"GET" : verb;
  request->agent = agent_;
  request->download = download;
  request->textCap = textCap;
  if (download) request->check = std::exchange(expected_, BodyCheck{});
  request->landed = std::move(landed);
  request->Touch();
  request->started = ::GetTickCount64();
  request->done.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Check(request->done, ErrorNumber::InternalError, L"CreateEventW");
  request->cancelEvent.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Check(request->cancelEvent, ErrorNumber::InternalError, L"CreateEventW");
  worker = StartWorker(request);
  return request;
}

void WinInetTransfer::Abandon() {
  ++generation_;  // whatever the old request still has in the queue is dropped
  window_.StopWatchdog();
  if (current_) current_->Cancel();
  current_.reset();
  worker_.reset();
}

void WinInetTransfer::DropResponse() {
  headers_.clear();
  // Closing a body that was never put in place deletes it: for a body of a
  // few hundred megabytes that holds the window for a quarter of a second.
  if (landed_) CloseAnswering(landed_.release());
  target_.clear();
  chunks_.Reset();
}

void WinInetTransfer::Execute(const std::wstring& url, const std::wstring& operation, const std::wstring& target) {
  Abandon();
  DropResponse();
  UniqueFile landed = CreateLanding(target);
  current_ = Start(url, operation, std::move(landed), worker_, kTextCap);
  target_ = target;
  if (!window_.StartWatchdog(kWatchdogPeriodMs)) {
    const DWORD error = ::GetLastError();
    Abandon();
    ThrowError(ErrorNumber::InternalError, L"SetTimer", url, error);
  }
}

void WinInetTransfer::ExpectBody(BodyCheck check) { expected_ = std::move(check); }

std::wstring WinInetTransfer::OpenURL(const std::wstring& url) {
  const auto request = Block(url, kTextCap);
  return request ? FromAnsi(request->text) : std::wstring();
}

std::optional<std::string> WinInetTransfer::FetchBytes(const std::wstring& url, std::size_t cap) {
  // One byte beyond the cap tells a body that is too long from one that fits.
  const auto request = Block(url, cap + 1);
  if (!request) return std::nullopt;
  if (request->text.size() > cap) {
    last_.cause = FailureCause::Refused;
    last_.failure = L"longer than " + std::to_wstring(cap) + L" bytes";
    return std::nullopt;
  }
  return std::move(request->text);
}

std::shared_ptr<InetRequest> WinInetTransfer::Block(const std::wstring& url, std::size_t cap) {
  UniqueHandle worker;
  const auto request = Start(url, L"GET", UniqueFile(), worker, cap);
  const HANDLE done = request->done.get();
  // The loop relies only on its own share of the request: a message handled in
  // it may run any event, one that starts another request on this object too.
  for (;;) {
    const DWORD wait = ::MsgWaitForMultipleObjectsEx(1, &done, kWatchdogPeriodMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (wait == WAIT_OBJECT_0) break;
    if (wait == WAIT_FAILED) {
      const DWORD error = ::GetLastError();
      last_ = request->Facts(FailureCause::Call, L"MsgWaitForMultipleObjectsEx", error);
      request->Cancel();
      return {};
    }
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        last_ = request->Facts(FailureCause::Other, L"the program is ending");
        request->Cancel();
        ::PostQuitMessage(static_cast<int>(message.wParam));  // the caller's loop must still see it
        return {};
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    const Overdue overdue = CheckOverdue(::GetTickCount64(), request->started, request->lastActivity, kTimeoutMs, true);
    if (overdue != Overdue::No) {
      last_ = request->Facts(FailureCause::Silent, OverdueText(overdue));
      request->Cancel();
      return {};
    }
  }
  last_ = request->Facts();
  NoteOnce(*request);
  if (!request->succeeded) return {};
  return request;
}

std::wstring WinInetTransfer::GetHeader(const std::wstring& name) { return FindHeader(headers_, name); }

std::vector<std::uint8_t> WinInetTransfer::GetChunk(std::int32_t size) {
  if (!landed_) return {};
  return chunks_.Take(size, [this](std::uint8_t* into, std::size_t wanted) {
    DWORD got = 0;
    CheckFile(::ReadFile(landed_.get(), into, static_cast<DWORD>(wanted), &got, nullptr), L"ReadFile", target_);
    return static_cast<std::size_t>(got);
  });
}

void WinInetTransfer::ReplaceTarget() {
  if (!landed_) ThrowError(ErrorNumber::InvalidCall, L"ReplaceTarget", target_, ERROR_INVALID_HANDLE);
  chunks_.Reset();
  win32::ReplaceTarget(landed_, target_);
}

TransferFacts WinInetTransfer::LastTransfer() const { return last_; }

void WinInetTransfer::OnState(std::uint32_t generation, std::int16_t state) {
  if (generation != generation_ || !current_) return;
  TellTries(*current_);
  if (state == icResponseCompleted || state == icError) {
    const std::shared_ptr<InetRequest> finished = std::move(current_);
    Abandon();
    last_ = finished->Facts();
    NoteOnce(*finished);
    if (state == icResponseCompleted) {
      headers_ = std::move(finished->headers);
      landed_ = std::move(finished->landed);
    }
  }
  // Last: the handler may start the next request from here.
  if (StateChanged) StateChanged(state);
}

void WinInetTransfer::OnProgress(std::uint32_t generation) {
  if (generation != generation_ || !current_) return;
  current_->progressPending = false;
  const std::uint64_t received = current_->received;
  const std::uint64_t declared = current_->declared;
  if (BytesReceived) BytesReceived(received, declared);
}

void WinInetTransfer::OnWatchdog() {
  if (!current_) return;
  const Overdue overdue = CheckOverdue(::GetTickCount64(), current_->started, current_->lastActivity, kTimeoutMs, false);
  if (overdue == Overdue::No) return;
  // A download's silent try is ended, and its worker tries again if it may;
  // a worker that stays silent even then is let go of.
  if (overdue == Overdue::Silent && current_->download && current_->lastActivity != endedTryAt_) {
    current_->EndTry();
    endedTryAt_ = current_->lastActivity;
    return;
  }
  if (current_->ended.exchange(true)) return;  // the worker's own end is already queued
  TellTries(*current_);
  last_ = current_->Facts(FailureCause::Silent, OverdueText(overdue));
  Abandon();
  if (StateChanged) StateChanged(icError);
}

}  // namespace norq::win32
