#include "tools/publish/Sha256.h"

#include <fstream>
#include <stdexcept>
#include <vector>

namespace norq::publish {

Sha256Digest Sha256Of(std::string_view bytes) {
  Sha256 hasher;
  hasher.Add(bytes);
  return hasher.Finish();
}

Sha256Digest Sha256OfFile(const std::filesystem::path& file, std::uint64_t& size) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  Sha256 hasher;
  std::vector<char> buffer(1 << 20);
  size = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    hasher.Add(reinterpret_cast<const std::uint8_t*>(buffer.data()), got);
    size += got;
  }
  if (in.bad()) throw std::runtime_error("cannot read " + file.string());
  return hasher.Finish();
}

}  // namespace norq::publish
