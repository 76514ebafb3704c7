#include <openssl/evp.h>

#include <stdexcept>

#include "tools/publish/Sha256.h"

namespace norq::publish {

namespace {
void Check(int result, const char* what) {
  if (result != 1) throw std::runtime_error(std::string("libcrypto could not ") + what + " a SHA-256 digest");
}
}  // namespace

void Sha256::Free::operator()(evp_md_ctx_st* context) const { EVP_MD_CTX_free(context); }

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (!context_) throw std::runtime_error("libcrypto could not start a SHA-256 digest");
  Check(EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr), "start");
}

Sha256::Sha256(const Sha256& other) : context_(EVP_MD_CTX_new()) {
  if (!context_) throw std::runtime_error("libcrypto could not copy a SHA-256 digest");
  Check(EVP_MD_CTX_copy_ex(context_.get(), other.context_.get()), "copy");
}

Sha256& Sha256::operator=(const Sha256& other) {
  if (this != &other) *this = Sha256(other);
  return *this;
}

void Sha256::Add(std::string_view bytes) { Add(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()); }

void Sha256::Add(const std::uint8_t* data, std::size_t size) {
  Check(EVP_DigestUpdate(context_.get(), data, size), "continue");
}

Sha256Digest Sha256::Finish() {
  Sha256Digest digest{};
  unsigned int length = 0;
  Check(EVP_DigestFinal_ex(context_.get(), digest.data(), &length), "finish");
  if (length != digest.size()) throw std::runtime_error("libcrypto gave a SHA-256 digest of the wrong length");
  return digest;
}

}  // namespace norq::publish
