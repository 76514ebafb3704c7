#pragma once
// Hands out a completed body in the pieces its caller asks for (1 KB, millions
// of times), reading the body's file in large blocks.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace norq {

class ChunkReader {
 public:
  // Reads up to `size` bytes into `into`: how many it read, 0 at the end.
  using Source = std::function<std::size_t(std::uint8_t* into, std::size_t size)>;

  explicit ChunkReader(std::size_t blockSize = 256 * 1024) : blockSize_(blockSize) {}

  // `size` bytes while that many remain, then the rest, then nothing; nothing
  // for a size of 0 or less.
  std::vector<std::uint8_t> Take(std::int32_t size, const Source& read);
  // Forgets what is buffered, for the next body.
  void Reset();

 private:
  std::size_t blockSize_;
  std::vector<std::uint8_t> buffer_;
  std::size_t position_ = 0;
};

}  // namespace norq
