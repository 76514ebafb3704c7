#include "platform/ChunkReader.h"

#include <algorithm>

namespace norq {

std::vector<std::uint8_t> ChunkReader::Take(std::int32_t size, const Source& read) {
  std::vector<std::uint8_t> piece;
  if (size <= 0) return piece;
  const auto wanted = static_cast<std::size_t>(size);
  piece.reserve(wanted);
  while (piece.size() < wanted) {
    if (position_ == buffer_.size()) {
      buffer_.resize(blockSize_);
      buffer_.resize(std::min(read(buffer_.data(), buffer_.size()), blockSize_));
      position_ = 0;
      if (buffer_.empty()) break;
    }
    const std::size_t take = std::min(wanted - piece.size(), buffer_.size() - position_);
    const auto from = buffer_.begin() + static_cast<std::ptrdiff_t>(position_);
    piece.insert(piece.end(), from, from + static_cast<std::ptrdiff_t>(take));
    position_ += take;
  }
  return piece;
}

void ChunkReader::Reset() {
  buffer_.clear();
  position_ = 0;
}

}  // namespace norq
