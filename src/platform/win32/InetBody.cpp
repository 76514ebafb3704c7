#include "platform/win32/InetBody.h"

#include <algorithm>

#include "platform/TransferRules.h"
#include "platform/win32/BodySink.h"

namespace norq::win32 {

namespace {

constexpr wchar_t kShortBody[] = L"body shorter than its Content-Length";

}  // namespace

bool Land(InetRequest& r, HINTERNET request) {
  const HANDLE file = r.landed.get();
  const std::uint64_t limit = r.check.pinned ? r.check.pinned->size : kNoBodyLimit;
  const auto tooLong = [&r, limit] {
    r.failure = L"body longer than its signed " + std::to_wstring(limit) + L" bytes";
    return false;
  };
  // A length beyond the signed size is refused before a byte is read.
  if (BeyondLimit(r.declared, limit)) return tooLong();
  // Hashed as it arrives: the body is checked before anyone sees it.
  BodySink body(file, r.check.pinned.has_value());
  if (!body.Start()) return r.Fail(body.FailedCall());
  std::string head;
  std::uint64_t total = 0;
  ReadSizer sizer;
  for (;;) {
    DWORD available = 0;
    if (!WinInet().InternetQueryDataAvailable(request, &available, 0, 0)) return r.Fail(L"InternetQueryDataAvailable");
    if (r.cancelled) return false;
    const DWORD wanted = BoundedRead(sizer.Next(available), total, limit);
    std::uint8_t* const buffer = body.Space();
    if (!buffer) return r.Fail(body.FailedCall());
    const ULONGLONG before = ::GetTickCount64();
    DWORD got = 0;
    if (!WinInet().InternetReadFile(request, buffer, wanted, &got)) return r.Fail(L"InternetReadFile");
    if (r.cancelled) return false;
    sizer.After(wanted, got, ::GetTickCount64() - before);
    if (got == 0) break;
    if (BeyondLimit(total + got, limit)) {
      r.received = total + got;
      return tooLong();
    }
    if (head.size() < 2) head.append(reinterpret_cast<const char*>(buffer), std::min<DWORD>(got, 2));
    if (!body.Add(got)) return r.Fail(body.FailedCall());
    total += got;
    r.received = total;
    r.Touch();
    // One progress message at a time: the window reads the latest count when
    // it gets to it, so a fast body cannot fill the queue.
    if (!r.progressPending.exchange(true)) r.Post(kProgressMessage, 0);
  }
  if (EndedShort(total, r.declared)) {
    r.failure = kShortBody;
    return false;
  }
  Sha256Digest digest{};
  if (!body.Finish(r.check.pinned ? &digest : nullptr)) return r.Fail(body.FailedCall());
  if (!BodyPasses(r.check, total, head, r.check.pinned ? &digest : nullptr)) {
    r.failure = L"body refused: empty, not a program, or not as the signed index lists it";
    return false;
  }
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
  if (EndedShort(text.size(), r.declared, r.textCap)) {
    r.failure = kShortBody;
    return false;
  }
  r.text = std::move(text);
  return true;
}

}  // namespace norq::win32
