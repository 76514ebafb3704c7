#pragma once
// The signed index of a published tree: which product and server it is for,
// how new it is, and what each body must be before the installer lets it
// replace anything or runs it.
//
//   norq-index 2\n
//   product <name>\n                   (letters, digits, ".", "_", "-"; 1 to 32)
//   base <address>\n                   (the base address as the installer requests it)
//   serial <decimal>\n                 (1 or more, no leading zeros, at most 18 digits)
//   expires <YYYY-MM-DDTHH:MM:SSZ>\n    (UTC)
//   <sha256, 64 lowercase hex> <size, decimal> <server path>\n     (one per path asked for, in order)
//
// The signature covers these exact bytes, so the reader is strict: LF line
// ends only, single blanks, no leading zeros, every field once and in this
// order, nothing before, between or after. Version 1 named no product,
// server, serial or expiry and is not read: accepting it would let anyone
// replay a tree signed before, from any host.
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

// What the index vouches for besides the bodies.
struct IndexHeader {
  std::string product;
  std::string base;           // printable ASCII without blanks or "|"
  std::uint64_t serial = 0;
  std::int64_t expires = 0;   // seconds since 1970-01-01 00:00:00 UTC; the index holds before this second
};

struct TreeIndex {
  IndexHeader header;
  std::vector<IndexLine> lines;
};

inline constexpr char kIndexFormat[] = "norq-index 2";
inline constexpr char kIndexServerPath[] = "/norq/Soft/norq_index.txt";
inline constexpr char kSignatureServerPath[] = "/norq/Soft/norq_index.sig";
// Ten lines of well under 200 bytes; anything longer is not an index.
inline constexpr std::size_t kMaxIndexBytes = 8192;
// Far beyond any component, far below what 64-bit arithmetic could overflow on.
inline constexpr std::uint64_t kMaxIndexedSize = 1ull << 44;
inline constexpr std::uint64_t kMaxIndexSerial = 999'999'999'999'999'999ull;
// A pointer reply is at most 49 characters, and cleaning only shortens it.
inline constexpr std::size_t kMaxIndexBase = 49;

// Whether the reader takes these as the index's product name and base address.
bool IsIndexProduct(std::string_view name);
bool IsIndexBase(std::string_view base);

// The writer assumes a header the reader takes (the fields' own checks above,
// a serial from 1 to kMaxIndexSerial, a time FormatUtcTime writes exactly).
std::string FormatIndex(const IndexHeader& header, const std::vector<IndexLine>& lines);

// A well-formed index listing exactly `paths`, in that order; nothing for
// anything else, an index of version 1 included.
std::optional<TreeIndex> ParseIndex(std::string_view bytes, const std::vector<std::string>& paths);

std::string HexDigest(const Sha256Digest& digest);

}  // namespace norq
