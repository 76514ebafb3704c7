#include "platform/win32/InetBody.h"

#include <algorithm>
#include <vector>

#include "platform/TransferRules.h"
#include "platform/win32/WriteAll.h"

namespace norq::win32 {

namespace {

constexpr wchar_t kShortBody[] = L"body shorter than its Content-Length";

}  // namespace

bool StartOver(InetRequest& r, LandedBody& body) {
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(r.landed.get(), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(r.landed.get())) {
    return r.Fail(L"SetEndOfFile (landed body)");
  }
  if (r.check.pinned && !body.hash.Start()) return r.Fail(L"BCryptCreateHash");
  body.head.clear();
  body.total = 0;
  return true;
}

TryEnd Land(InetRequest& r, HINTERNET request, LandedBody& body) {
  const HANDLE file = r.landed.get();
  const std::uint64_t limit = r.check.pinned ? r.check.pinned->size : kNoBodyLimit;
  const auto tooLong = [&r, limit] {
    r.failure = L"body longer than its signed " + std::to_wstring(limit) + L" bytes";
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
  std::string& head = body.head;
  std::uint64_t& total = body.total;
  std::vector<std::uint8_t> buffer(ReadSizer::kLargest);
  ReadSizer sizer;
  for (;;) {
    DWORD available = 0;
    if (!WinInet().InternetQueryDataAvailable(request, &available, 0, 0)) return broken(L"InternetQueryDataAvailable");
    if (r.cancelled) return TryEnd::Final;
    const DWORD wanted = BoundedRead(sizer.Next(available), total, limit);
    const ULONGLONG before = ::GetTickCount64();
    DWORD got = 0;
    if (!WinInet().InternetReadFile(request, buffer.data(), wanted, &got)) return broken(L"InternetReadFile");
    if (r.cancelled) return TryEnd::Final;
    sizer.After(wanted, got, ::GetTickCount64() - before);
    if (got == 0) break;
    if (BeyondLimit(total + got, limit)) {
      r.received = total + got;
      return tooLong();
    }
    if (!WriteAll(file, buffer.data(), got)) return final(L"WriteFile (landed body)");
    // Hashed as it arrives: the body is checked before anyone sees it.
    if (r.check.pinned && !body.hash.Add(buffer.data(), got)) return final(L"BCryptHashData");
    if (head.size() < 2) head.append(reinterpret_cast<const char*>(buffer.data()), std::min<DWORD>(got, 2));
    total += got;
    r.received = total;
    r.Touch();
    // One progress message at a time: the window reads the latest count when
    // it gets to it, so a fast body cannot fill the queue.
    if (!r.progressPending.exchange(true)) r.Post(kProgressMessage, 0);
  }
  // A connection that closed early: the usual way a broken body ends.
  if (EndedShort(total, r.declared)) {
    r.failure = kShortBody;
    return TryEnd::FailedTry;
  }
  return TryEnd::Done;
}

bool FinishLanding(InetRequest& r, LandedBody& body) {
  const HANDLE file = r.landed.get();
  Sha256Digest digest{};
  if (r.check.pinned && !body.hash.Finish(digest)) return r.Fail(L"BCryptFinishHash");
  if (!BodyPasses(r.check, body.total, body.head, r.check.pinned ? &digest : nullptr)) {
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
