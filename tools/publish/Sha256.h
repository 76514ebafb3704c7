#pragma once
// SHA-256 for the publishing tool, which runs on the vendor's machine (Linux
// or Windows) without the installer's system cryptography.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "trust/TreeIndex.h"

namespace norq::publish {

// A digest taken piece by piece, as a body arrives. A copy carries on from
// the same point: the digest of a prefix continued with other bytes.
class Sha256 {
 public:
  void Add(std::string_view bytes);
  void Add(const std::uint8_t* data, std::size_t size);
  Sha256Digest Finish();

 private:
  void Compress();

  std::uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::uint8_t block_[64] = {};
  std::size_t used_ = 0;
  std::uint64_t length_ = 0;
};

Sha256Digest Sha256Of(std::string_view bytes);
// The digest of a file's bytes and its size; throws std::runtime_error when it cannot be read.
Sha256Digest Sha256OfFile(const std::filesystem::path& file, std::uint64_t& size);

}  // namespace norq::publish
