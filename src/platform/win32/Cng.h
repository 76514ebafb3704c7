#pragma once
// SHA-256 and P-256 signature checks with the system's own cryptography (CNG).
#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "trust/Signature.h"
#include "trust/TreeIndex.h"

namespace norq::win32 {

// A running SHA-256. Every method reports a failure of the system's
// cryptography as false, with GetLastError() holding its NTSTATUS.
class Sha256 {
 public:
  Sha256() = default;
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  bool Start();
  bool Add(const std::uint8_t* data, std::size_t size);
  bool Finish(Sha256Digest& digest);

 private:
  void Close() noexcept;
  void* algorithm_ = nullptr;  // BCRYPT_ALG_HANDLE
  void* hash_ = nullptr;       // BCRYPT_HASH_HANDLE
  std::vector<std::uint8_t> object_;
};

// A number from the system's random generator; false with the NTSTATUS in
// GetLastError() when it has none to give.
bool RandomNumber(std::uint64_t& value);

bool VerifyP256(const P256PublicKey& key, std::string_view message, const P256Signature& signature);

}  // namespace norq::win32
