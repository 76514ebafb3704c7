#pragma once
// SHA-256 for the publishing tool, which runs on the vendor's machine (Linux
// or Windows) without the installer's system cryptography.
#include <filesystem>

#include "trust/TreeIndex.h"

namespace norq::publish {

Sha256Digest Sha256Of(std::string_view bytes);
// The digest of a file's bytes and its size; throws std::runtime_error when it cannot be read.
Sha256Digest Sha256OfFile(const std::filesystem::path& file, std::uint64_t& size);

}  // namespace norq::publish
