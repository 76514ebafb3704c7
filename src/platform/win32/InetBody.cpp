#include "platform/win32/InetBody.h"

#include <algorithm>

#include "platform/FailureCategory.h"
#include "platform/Http.h"
#include "platform/TransferRules.h"

namespace norq::win32 {

namespace {

// Enough of a body's start to tell a program from a web page.
constexpr std::size_t kHeadBytes = 64;

// A refused body is named for what it is: a web page that stood in for a
// component (the login of a hotel's or a station's network) is named so in
// the log, whichever check caught it.
bool RefuseBody(InetRequest& r, std::string_view head, std::wstring what) {
  const bool page = LooksLikeWebPage(head, FindHeader(r.headers, L"Content-Type"));
  return r.Refuse(page ? FailureCause::WebPage : FailureCause::Refused, std::move(what));
}

const wchar_t* VerdictText(BodyVerdict verdict) {
  switch (verdict) {
    case BodyVerdict::Empty: return L"empty";
    case BodyVerdict::NotAProgram: return L"not a program";
    case BodyVerdict::NotAsSigned: return L"not as the signed index lists it";
    case BodyVerdict::Passes: break;
  }
  return L"";
}

}  // namespace

LandedBody::LandedBody(HANDLE file, bool hashed) : sink(file, hashed) {}

bool StartOver(InetRequest& r, LandedBody& body) {
  if (!body.sink.Restart()) return r.Fail(body.sink.FailedCall());
  body.head.clear();
  body.total = 0;
  return true;
}

TryEnd Land(InetRequest& r, HINTERNET request, LandedBody& body) {
  const std::uint64_t limit = r.check.pinned ? r.check.pinned->size : kNoBodyLimit;
  std::string& head = body.head;
  const auto tooLong = [&r, &head, limit] {
    RefuseBody(r, head, L"longer than its signed " + std::to_wstring(limit) + L" bytes");
    return TryEnd::Final;
  };
  const auto broken = [&r](const wchar_t* call) {
    r.Fail(call);
    return r.cancelled ? TryEnd::Final : TryEnd::FailedTry;
  };
  const auto final = [&r](const wchar_t* call) {
    r.Fail(call);
    return TryEnd::Final;
  };
  // A length beyond the signed size is refused before a byte is read.
  if (BeyondLimit(r.declared, limit)) return tooLong();
  std::uint64_t& total = body.total;
  ReadSizer sizer;
  for (;;) {
    DWORD available = 0;
    if (!WinInet().InternetQueryDataAvailable(request, &available, 0, 0)) return broken(L"InternetQueryDataAvailable");
    if (r.cancelled) return TryEnd::Final;
    const DWORD wanted = BoundedRead(sizer.Next(available), total, limit);
    std::uint8_t* const buffer = body.sink.Space();
    if (!buffer) return final(body.sink.FailedCall());
    const ULONGLONG before = ::GetTickCount64();
    DWORD got = 0;
    if (!WinInet().InternetReadFile(request, buffer, wanted, &got)) return broken(L"InternetReadFile");
    if (r.cancelled) return TryEnd::Final;
    sizer.After(wanted, got, ::GetTickCount64() - before);
    if (got == 0) break;
    if (head.size() < kHeadBytes) {
      head.append(reinterpret_cast<const char*>(buffer), std::min<std::size_t>(got, kHeadBytes - head.size()));
    }
    if (BeyondLimit(total + got, limit)) {
      r.received = total + got;
      return tooLong();
    }
    // Written, and hashed beside on a thread of its own: the body is checked before anyone sees it.
    if (!body.sink.Add(got)) return final(body.sink.FailedCall());
    total += got;
    r.received = total;
    r.Touch();
    // One progress message at a time: the window reads the latest count when
    // it gets to it, so a fast body cannot fill the queue.
    if (!r.progressPending.exchange(true)) r.Post(kProgressMessage, 0);
  }
  // A connection that closed early: the usual way a broken body ends.
  if (EndedShort(total, r.declared)) {
    r.Refuse(FailureCause::ShortBody, {});
    return TryEnd::FailedTry;
  }
  return TryEnd::Done;
}

bool FinishLanding(InetRequest& r, LandedBody& body) {
  const HANDLE file = r.landed.get();
  Sha256Digest digest{};
  if (!body.sink.Finish(r.check.pinned ? &digest : nullptr)) return r.Fail(body.sink.FailedCall());
  const BodyVerdict verdict = JudgeBody(r.check, body.total, body.head, r.check.pinned ? &digest : nullptr);
  if (verdict != BodyVerdict::Passes) return RefuseBody(r, body.head, VerdictText(verdict));
  // On the disk before it may become the target; here, where a long sync
  // keeps nobody waiting.
  if (!::FlushFileBuffers(file)) return r.Fail(L"FlushFileBuffers (landed body)");
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return r.Fail(L"SetFilePointerEx (landed body)");
  return true;
}

bool ReadText(InetRequest& r, HINTERNET request) {
  std::string text;
  char buffer[1024];
  while (text.size() < r.textCap) {
    DWORD got = 0;
    if (!WinInet().InternetReadFile(request, buffer, sizeof buffer, &got)) return r.Fail(L"InternetReadFile");
    if (got == 0) break;
    r.Touch();
    text.append(buffer, got);
    r.received = text.size();
  }
  if (EndedShort(text.size(), r.declared, r.textCap)) return r.Refuse(FailureCause::ShortBody, {});
  r.text = std::move(text);
  return true;
}

}  // namespace norq::win32
