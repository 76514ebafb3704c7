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

Sha256::~Sha256() { Close(); }

void Sha256::Close() noexcept {
  if (!hash_ && !algorithm_) return;
  const BCryptApi& api = BCrypt();
  if (hash_) api.BCryptDestroyHash(hash_);
  if (algorithm_) api.BCryptCloseAlgorithmProvider(algorithm_, 0);
  hash_ = nullptr;
  algorithm_ = nullptr;
}

bool Sha256::Start() {
  Close();
  const BCryptApi& api = BCrypt();
  if (!Succeeded(api.BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return false;
  // Windows 7 wants the hash object's memory from the caller.
  DWORD objectSize = 0, written = 0;
  if (!Succeeded(api.BCryptGetProperty(algorithm_, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                                       sizeof objectSize, &written, 0))) {
    return false;
  }
  object_.assign(objectSize, 0);
  return Succeeded(api.BCryptCreateHash(algorithm_, &hash_, object_.data(), objectSize, nullptr, 0, 0));
}

bool Sha256::Add(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const std::size_t part = std::min(size, kMaxHashCall);
    if (!Succeeded(BCrypt().BCryptHashData(hash_, const_cast<PUCHAR>(data), static_cast<ULONG>(part), 0))) return false;
    data += part;
    size -= part;
  }
  return true;
}

bool Sha256::Finish(Sha256Digest& digest) {
  const bool ok = Succeeded(BCrypt().BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0));
  Close();
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
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!Succeeded(api.BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) return false;
  std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(key.size() / 2)};
  std::copy_n(reinterpret_cast<const std::uint8_t*>(&header), sizeof header, blob.begin());
  std::copy(key.begin(), key.end(), blob.begin() + sizeof header);
  BCRYPT_KEY_HANDLE imported = nullptr;
  bool verified = Succeeded(api.BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported, blob.data(),
                                                    static_cast<ULONG>(blob.size()), 0));
  if (verified) {
    verified = Succeeded(api.BCryptVerifySignature(imported, nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                                   const_cast<PUCHAR>(signature.data()),
                                                   static_cast<ULONG>(signature.size()), 0));
    api.BCryptDestroyKey(imported);
  }
  api.BCryptCloseAlgorithmProvider(algorithm, 0);
  return verified;
}

}  // namespace norq::win32
