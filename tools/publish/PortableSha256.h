#pragma once
// SHA-256 in plain C++: the digest of the tool's builds that link no
// cryptographic library (Windows), and the reference the other is tested against.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "trust/TreeIndex.h"

namespace norq::publish {

// A digest taken piece by piece, as a body arrives. A copy carries on from
// the same point: the digest of a prefix continued with other bytes.
class PortableSha256 {
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

}  // namespace norq::publish
