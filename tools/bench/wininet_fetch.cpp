// The floor under the installer's download speed on this system: WinINet alone
// reading a body in 1 MB pieces (as the installer's worker does) and dropping
// it. scripts/bench.py runs it under Wine beside curl and the installer, so that
// a slow transfer can be put down to the installer or to WinINet.
//
//   norq_wininet_fetch URL OUTFILE [SPOOL]
//                          OUTFILE gets {"bytes": N, "seconds": S}; with SPOOL the
//                          body is also written there as it arrives, as the installer spools it
//
// Exit code: 0 fetched, 1 failed (the call and its error on standard error).
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <vector>

#include "tools/bench/Timing.h"

namespace {

struct InternetHandle {
  HINTERNET handle;
  ~InternetHandle() {
    if (handle) ::InternetCloseHandle(handle);
  }
};

int Failed(const char* call) {
  std::fprintf(stderr, "%s failed, error %lu\n", call, ::GetLastError());
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 && argc != 4) {
    std::fputs("usage: norq_wininet_fetch URL OUTFILE [SPOOL]\n", stderr);
    return 2;
  }
  HANDLE spool = INVALID_HANDLE_VALUE;
  if (argc == 4) {
    spool = ::CreateFileW(argv[3], GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (spool == INVALID_HANDLE_VALUE) return Failed("CreateFileW");
  }
  const double started = norq::bench::Seconds();
  InternetHandle session{::InternetOpenW(L"norq_bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)};
  if (!session.handle) return Failed("InternetOpenW");
  InternetHandle request{::InternetOpenUrlW(session.handle, argv[1], nullptr, 0,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)};
  if (!request.handle) return Failed("InternetOpenUrlW");
  std::vector<char> buffer(1 << 20);
  unsigned long long total = 0;
  for (;;) {
    DWORD got = 0;
    if (!::InternetReadFile(request.handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
      return Failed("InternetReadFile");
    }
    if (got == 0) break;
    DWORD written = 0;
    if (spool != INVALID_HANDLE_VALUE && (!::WriteFile(spool, buffer.data(), got, &written, nullptr) || written != got)) {
      return Failed("WriteFile");
    }
    total += got;
  }
  const double took = norq::bench::Seconds() - started;
  if (spool != INVALID_HANDLE_VALUE) ::CloseHandle(spool);
  if (!norq::bench::WriteResult(argv[2], total, took)) return Failed("_wfopen");
  return 0;
}
