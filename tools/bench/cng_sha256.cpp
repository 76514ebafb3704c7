// The floor under a checked download's speed under Wine: the system's SHA-256
// (CNG) alone, hashing a body's worth of bytes from memory in 1 MB pieces, as
// the installer's hashing thread is handed them. scripts/bench.py runs it beside
// the installer, so that a slow keyed transfer can be put down to the hash.
//
//   norq_cng_sha256 MEGABYTES OUTFILE
//                          OUTFILE gets {"bytes": N, "seconds": S}
//
// Exit code: 0 hashed, 1 failed (the call and its status on standard error).
#include <windows.h>

#include <bcrypt.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "tools/bench/Timing.h"

namespace {

int Failed(const char* call, long status) {
  std::fprintf(stderr, "%s failed, status 0x%08lx\n", call, static_cast<unsigned long>(status));
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: norq_cng_sha256 MEGABYTES OUTFILE\n", stderr);
    return 2;
  }
  const unsigned long long pieces = std::wcstoull(argv[1], nullptr, 10);
  std::vector<UCHAR> buffer(1 << 20);
  for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<UCHAR>(i * 7);
  const double started = norq::bench::Seconds();
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  NTSTATUS status = ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  if (status < 0) return Failed("BCryptOpenAlgorithmProvider", status);
  BCRYPT_HASH_HANDLE hash = nullptr;
  status = ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
  if (status < 0) return Failed("BCryptCreateHash", status);
  for (unsigned long long i = 0; i < pieces; ++i) {
    status = ::BCryptHashData(hash, buffer.data(), static_cast<ULONG>(buffer.size()), 0);
    if (status < 0) return Failed("BCryptHashData", status);
  }
  UCHAR digest[32];
  status = ::BCryptFinishHash(hash, digest, sizeof digest, 0);
  if (status < 0) return Failed("BCryptFinishHash", status);
  const double took = norq::bench::Seconds() - started;
  ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  if (!norq::bench::WriteResult(argv[2], pieces * buffer.size(), took)) return Failed("_wfopen", 0);
  return 0;
}
