#pragma once
// The signed index of a published tree: what each body must be before the
// installer lets it replace anything or runs it.
//
//   norq-index 1\n
//   <sha256, 64 lowercase hex> <size, decimal> <server path>\n     (one per manifest entry, in order)
//
// The signature covers these exact bytes, so the reader is strict: LF line
// ends only, single blanks, no leading zeros, nothing before, between or after.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norq {

using Sha256Digest = std::array<std::uint8_t, 32>;

struct IndexLine {
  Sha256Digest sha256{};
  std::uint64_t size = 0;
  std::string path;  // the server path exactly as the installer appends it to the base address
};

inline constexpr char kIndexFormat[] = "norq-index 1";
inline constexpr char kIndexServerPath[] = "/norq/Soft/norq_index.txt";
inline constexpr char kSignatureServerPath[] = "/norq/Soft/norq_index.sig";
// Ten lines of well under 200 bytes; anything longer is not an index.
inline constexpr std::size_t kMaxIndexBytes = 8192;
// Far beyond any component, far below what 64-bit arithmetic could overflow on.
inline constexpr std::uint64_t kMaxIndexedSize = 1ull << 44;

std::string FormatIndex(const std::vector<IndexLine>& lines);

// The lines of a well-formed index listing exactly `paths`, in that order;
// nothing for anything else.
std::optional<std::vector<IndexLine>> ParseIndex(std::string_view bytes, const std::vector<std::string>& paths);

// The server paths of the installer's manifest, in its order.
std::vector<std::string> ManifestServerPaths();

std::string HexDigest(const Sha256Digest& digest);

}  // namespace norq
