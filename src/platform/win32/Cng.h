#pragma once
// SHA-256 and P-256 signature checks with the system's own cryptography (CNG).
#include <windows.h>

#include <bcrypt.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/win32/Handles.h"
#include "trust/Signature.h"
#include "trust/TreeIndex.h"

namespace norq::win32 {

// The handles of the system's cryptography, each closed by its own function
// of bcrypt.dll (loaded from the system folder, see SystemLibrary.h).
struct AlgorithmTraits {
  using Type = BCRYPT_ALG_HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type algorithm) noexcept;
};
struct HashTraits {
  using Type = BCRYPT_HASH_HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type hash) noexcept;
};
struct KeyTraits {
  using Type = BCRYPT_KEY_HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type key) noexcept;
};
using UniqueAlgorithm = Unique<AlgorithmTraits>;
using UniqueHash = Unique<HashTraits>;
using UniqueKey = Unique<KeyTraits>;

// A running SHA-256. Every method reports a failure of the system's
// cryptography as false, with GetLastError() holding its NTSTATUS.
class Sha256 {
 public:
  Sha256() = default;
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  bool Start();
  bool Add(const std::uint8_t* data, std::size_t size);
  bool Finish(Sha256Digest& digest);

 private:
  // Destroyed last to first: the hash before the memory it lives in and
  // before its algorithm.
  UniqueAlgorithm algorithm_;
  std::vector<std::uint8_t> object_;
  UniqueHash hash_;
};

// A number from the system's random generator; false with the NTSTATUS in
// GetLastError() when it has none to give.
bool RandomNumber(std::uint64_t& value);

bool VerifyP256(const P256PublicKey& key, std::string_view message, const P256Signature& signature);

}  // namespace norq::win32
