#include "platform/win32/InetWorker.h"

#include "platform/Http.h"
#include "platform/ResumeRules.h"
#include "platform/TransferRules.h"
#include "platform/win32/InetBody.h"
#include "platform/win32/InetConnection.h"
#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {

// What the tries of one download carry from one to the next.
struct Resume {
  bool begun = false;          // an answer started the body
  std::wstring validator;      // that answer's, for If-Range
  std::uint64_t fullLength = 0;
};

// One try of a download, asking from byte `from` of the body (0: all of it).
TryEnd TryBody(InetRequest& r, const URL_COMPONENTSW& parts, LandedBody& body, Resume& resume, std::uint64_t from,
               int retry) {
  r.posted = StateFilter();  // each connection shows its own steps
  HINTERNET request = nullptr;
  const TryEnd asked = Ask(r, parts, RangeRequestHeaders(from, resume.validator), request);
  if (asked != TryEnd::Done) return asked;
  Headers headers = ResponseHeaders(request);
  const std::wstring contentRange = FindHeader(headers, L"Content-Range");
  const TryAnswer answer = JudgeAnswer(r.status, contentRange, from, resume.fullLength);
  if (retry > 0) r.NoteTry(AnswerText(r.url, retry, r.status, contentRange, answer));
  // The answer that starts the body gives its length and headers; a part keeps them.
  if (!resume.begun || answer == TryAnswer::StartOver) {
    r.declared = static_cast<std::uint64_t>(ParseContentLength(FindHeader(headers, L"Content-Length")));
    r.headers = std::move(headers);
  }
  switch (answer) {
    case TryAnswer::Final:
    case TryAnswer::FailedTry:
      if (r.status == 206) {
        r.Refuse(FailureCause::Other, L"HTTP status 206 with Content-Range \"" + contentRange + L"\", not the part asked for");
      } else {
        r.Refuse(FailureCause::Status, {});
      }
      return answer == TryAnswer::Final ? TryEnd::Final : TryEnd::FailedTry;
    case TryAnswer::StartOver:
      if (!StartOver(r, body)) return TryEnd::Final;
      r.received = 0;
      resume = {true, RangeValidator(r.headers), r.declared};
      break;
    case TryAnswer::Append:
      break;
  }
  return Land(r, request, body);
}

// A download's body, tried again from where it broke off while tries remain.
bool Download(InetRequest& r, const URL_COMPONENTSW& parts) {
  LandedBody body(r.landed.get(), r.check.pinned.has_value());  // its hash starts with the answer that starts the body
  Resume resume;
  for (int retry = 0;; ++retry) {
    std::uint64_t from = 0;
    if (retry > 0) {
      from = ResumeFrom(body.total, resume.validator, r.check.pinned.has_value());
      const DWORD pause = RetryPauseMs(retry, kRetryPauseMs);
      r.NoteTry(RetryText(r.url, retry, from, resume.validator, pause, FailureText(r.Facts())));
      r.CloseHandles();  // the broken connection goes; the next try makes its own
      if (!r.Pause(pause)) return false;
    }
    const TryEnd end = TryBody(r, parts, body, resume, from, retry);
    if (end == TryEnd::Done) return FinishLanding(r, body);
    if (r.stalled.exchange(false)) r.Refuse(FailureCause::Silent, SilenceText());  // the watchdog ended the try
    if (end == TryEnd::Final || r.cancelled || !TryAgain(resume.begun, retry)) return false;
  }
}

bool Transfer(InetRequest& r) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = 1;
  parts.dwUserNameLength = 1;
  parts.dwPasswordLength = 1;
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!WinInet().InternetCrackUrlW(r.url.c_str(), static_cast<DWORD>(r.url.size()), 0, &parts)) {
    return r.Fail(L"InternetCrackUrlW");
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    return r.Refuse(FailureCause::Other, L"not an http address");
  }
  if (r.download) return Download(r, parts);
  // A pointer page is asked once: the other page is its second try.
  HINTERNET request = nullptr;
  if (Ask(r, parts, {}, request) != TryEnd::Done) return false;
  r.headers = ResponseHeaders(request);
  r.declared = static_cast<std::uint64_t>(ParseContentLength(FindHeader(r.headers, L"Content-Length")));
  if (!StatusSucceeds(r.status)) return r.Refuse(FailureCause::Status, {});
  return ReadText(r, request);
}

DWORD WINAPI Work(void* parameter) {
  // The worker's own share of the request: it lives until this thread is done with it.
  const std::unique_ptr<std::shared_ptr<InetRequest>> share(static_cast<std::shared_ptr<InetRequest>*>(parameter));
  InetRequest& r = **share;
  r.workerThread = ::GetCurrentThreadId();
  bool ok = false;
  try {
    ok = Transfer(r);
  } catch (...) {  // nothing may leave a thread; a failure is a failed request
    r.Refuse(FailureCause::Other, L"unexpected failure");
  }
  r.succeeded = ok;
  if (!ok && r.cause == FailureCause::None) r.Refuse(FailureCause::Other, L"cancelled");
  // A failed body goes now, on this thread: nobody else will read it, and
  // deleting a large one must not hold up the window.
  if (!ok) r.landed.reset();
  r.quiet = true;  // closing our own handles below is not news
  // The outcome is complete: report it before closing, which may take a while.
  if (r.download && !r.ended.exchange(true)) r.Post(kStateMessage, ok ? icResponseCompleted : icError);
  ::SetEvent(r.done.get());
  r.CloseHandles();
  return 0;
}

}  // namespace

UniqueHandle StartWorker(const std::shared_ptr<InetRequest>& request) {
  auto share = std::make_unique<std::shared_ptr<InetRequest>>(request);
  UniqueHandle worker(::CreateThread(nullptr, 0, Work, share.get(), 0, nullptr));
  Check(worker, ErrorNumber::InternalError, L"CreateThread", request->url);
  (void)share.release();  // the thread owns it now
  return worker;
}

}  // namespace norq::win32
