#pragma once
// SHA-256 for the publishing tool, which runs on the vendor's machine without
// the installer's system cryptography. Where the build links OpenSSL's
// libcrypto (Linux) it hashes with that: a setup program of hundreds of
// megabytes is hashed by publishing and twice more by --verify, and libcrypto
// uses the processor's SHA instructions. Elsewhere (Windows) the tool's own.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "tools/publish/PortableSha256.h"
#include "trust/TreeIndex.h"

struct evp_md_ctx_st;

namespace norq::publish {

#ifdef NORQ_PUBLISH_LIBCRYPTO
// The same interface as PortableSha256; copies carry on from the same point.
// Throws std::runtime_error when libcrypto fails.
class Sha256 {
 public:
  Sha256();
  Sha256(const Sha256& other);
  Sha256& operator=(const Sha256& other);
  Sha256(Sha256&&) noexcept = default;
  Sha256& operator=(Sha256&&) noexcept = default;
  ~Sha256() = default;

  void Add(std::string_view bytes);
  void Add(const std::uint8_t* data, std::size_t size);
  Sha256Digest Finish();

 private:
  struct Free {
    void operator()(evp_md_ctx_st* context) const;
  };
  std::unique_ptr<evp_md_ctx_st, Free> context_;
};
#else
using Sha256 = PortableSha256;
#endif

Sha256Digest Sha256Of(std::string_view bytes);
// The digest of a file's bytes and its size; throws std::runtime_error when it cannot be read.
Sha256Digest Sha256OfFile(const std::filesystem::path& file, std::uint64_t& size);

}  // namespace norq::publish
