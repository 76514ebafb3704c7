#include "platform/win32/Cng.h"

#include <algorithm>

#include "platform/win32/SystemLibrary.h"

namespace norq::win32 {

namespace {

bool Succeeded(NTSTATUS status) {
  if (status >= 0) return true;
  ::SetLastError(static_cast<DWORD>(status));
  return false;
}

// BCryptHashData takes a ULONG; bodies may be larger.
constexpr std::size_t kMaxHashCall = 1u << 30;

}  // namespace

void AlgorithmTraits::Close(Type algorithm) noexcept { BCrypt().BCryptCloseAlgorithmProvider(algorithm, 0); }
void HashTraits::Close(Type hash) noexcept { BCrypt().BCryptDestroyHash(hash); }
void KeyTraits::Close(Type key) noexcept { BCrypt().BCryptDestroyKey(key); }

bool Sha256::Start() {
  hash_.reset();
  algorithm_.reset();
  const BCryptApi& api = BCrypt();
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!Succeeded(api.BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return false;
  algorithm_.reset(algorithm);
  // Windows 7 wants the hash object's memory from the caller.
  DWORD objectSize = 0, written = 0;
  if (!Succeeded(api.BCryptGetProperty(algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                                       sizeof objectSize, &written, 0))) {
    return false;
  }
  object_.assign(objectSize, 0);
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!Succeeded(api.BCryptCreateHash(algorithm, &hash, object_.data(), objectSize, nullptr, 0, 0))) return false;
  hash_.reset(hash);
  return true;
}

bool Sha256::Add(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const std::size_t part = std::min(size, kMaxHashCall);
    if (!Succeeded(BCrypt().BCryptHashData(hash_.get(), const_cast<PUCHAR>(data), static_cast<ULONG>(part), 0))) {
      return false;
    }
    data += part;
    size -= part;
  }
  return true;
}

bool Sha256::Finish(Sha256Digest& digest) {
  const bool ok =
      Succeeded(BCrypt().BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
  // Its NTSTATUS stays in GetLastError(): letting go of the handles keeps it.
  hash_.reset();
  algorithm_.reset();
  return ok;
}

bool RandomNumber(std::uint64_t& value) {
  return Succeeded(BCrypt().BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value,
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool VerifyP256(const P256PublicKey& key, std::string_view message, const P256Signature& signature) {
  Sha256 hash;
  Sha256Digest digest{};
  if (!hash.Start() || !hash.Add(reinterpret_cast<const std::uint8_t*>(message.data()), message.size()) ||
      !hash.Finish(digest)) {
    return false;
  }
  const BCryptApi& api = BCrypt();
  BCRYPT_ALG_HANDLE opened = nullptr;
  if (!Succeeded(api.BCryptOpenAlgorithmProvider(&opened, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) return false;
  const UniqueAlgorithm algorithm(opened);
  std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(key.size() / 2)};
  std::copy_n(reinterpret_cast<const std::uint8_t*>(&header), sizeof header, blob.begin());
  std::copy(key.begin(), key.end(), blob.begin() + sizeof header);
  BCRYPT_KEY_HANDLE imported = nullptr;
  if (!Succeeded(api.BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported, blob.data(),
                                         static_cast<ULONG>(blob.size()), 0))) {
    return false;
  }
  const UniqueKey publicKey(imported);
  return Succeeded(api.BCryptVerifySignature(publicKey.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                             const_cast<PUCHAR>(signature.data()),
                                             static_cast<ULONG>(signature.size()), 0));
}

}  // namespace norq::win32
