#include "platform/win32/InetBody.h"

#include <algorithm>
#include <vector>

#include "platform/TransferRules.h"
#include "platform/win32/Cng.h"
#include "platform/win32/WriteAll.h"

namespace norq::win32 {

namespace {

constexpr wchar_t kShortBody[] = L"body shorter than its Content-Length";

UniqueFile CreateSpool() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return {};
  wchar_t name[MAX_PATH];
  if (!::GetTempFileNameW(folder, L"nrq", 0, name)) return {};
  UniqueFile file(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(name);
    ::SetLastError(error);
  }
  return file;
}

}  // namespace

bool Spool(InetRequest& r, HINTERNET request) {
  UniqueFile file = CreateSpool();
  if (!file) return r.Fail(L"CreateFileW (spool)");
  // Hashed as it arrives: the body is checked before anyone sees it.
  Sha256 hash;
  if (r.check.pinned && !hash.Start()) return r.Fail(L"BCryptCreateHash");
  std::string head;
  std::vector<std::uint8_t> buffer(ReadSizer::kLargest);
  std::uint64_t total = 0;
  ReadSizer sizer;
  for (;;) {
    DWORD available = 0;
    if (!WinInet().InternetQueryDataAvailable(request, &available, 0, 0)) return r.Fail(L"InternetQueryDataAvailable");
    if (r.cancelled) return false;
    const DWORD wanted = sizer.Next(available);
    const ULONGLONG before = ::GetTickCount64();
    DWORD got = 0;
    if (!WinInet().InternetReadFile(request, buffer.data(), wanted, &got)) return r.Fail(L"InternetReadFile");
    if (r.cancelled) return false;
    sizer.After(wanted, got, ::GetTickCount64() - before);
    if (got == 0) break;
    if (!WriteAll(file.get(), buffer.data(), got)) return r.Fail(L"WriteFile (spool)");
    if (r.check.pinned && !hash.Add(buffer.data(), got)) return r.Fail(L"BCryptHashData");
    if (head.size() < 2) head.append(reinterpret_cast<const char*>(buffer.data()), std::min<DWORD>(got, 2));
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
  if (r.check.pinned && !hash.Finish(digest)) return r.Fail(L"BCryptFinishHash");
  if (!BodyPasses(r.check, total, head, r.check.pinned ? &digest : nullptr)) {
    r.failure = L"body refused: empty, not a program, or not as the signed index lists it";
    return false;
  }
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return r.Fail(L"SetFilePointerEx (spool)");
  r.spool = std::move(file);
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
