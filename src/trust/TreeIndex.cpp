#include "trust/TreeIndex.h"

#include "install/Manifest.h"

namespace norq {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;  // upper case included: the writer never makes it, so it is not an index of ours
}

std::optional<Sha256Digest> ParseDigest(std::string_view text) {
  if (text.size() != 64) return std::nullopt;
  Sha256Digest digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) {
    const int high = HexValue(text[2 * i]);
    const int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    digest[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return digest;
}

std::optional<std::uint64_t> ParseSize(std::string_view text) {
  // An empty body is never accepted, so neither is a size of 0.
  if (text.empty() || text.size() > 15 || text[0] == '0') return std::nullopt;
  std::uint64_t size = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    size = size * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (size > kMaxIndexedSize) return std::nullopt;
  return size;
}

// Cuts the next line, which must end in LF; advances `rest` past it.
std::optional<std::string_view> NextLine(std::string_view& rest) {
  const auto end = rest.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view line = rest.substr(0, end);
  rest.remove_prefix(end + 1);
  return line;
}

std::optional<IndexLine> ParseLine(std::string_view line) {
  const auto first = line.find(' ');
  if (first == std::string_view::npos) return std::nullopt;
  const auto second = line.find(' ', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  auto digest = ParseDigest(line.substr(0, first));
  auto size = ParseSize(line.substr(first + 1, second - first - 1));
  if (!digest || !size) return std::nullopt;
  return IndexLine{*digest, *size, std::string(line.substr(second + 1))};
}

}  // namespace

std::string HexDigest(const Sha256Digest& digest) {
  std::string hex;
  for (std::uint8_t byte : digest) {
    hex += kHexDigits[byte >> 4];
    hex += kHexDigits[byte & 15];
  }
  return hex;
}

std::string FormatIndex(const std::vector<IndexLine>& lines) {
  std::string text = std::string(kIndexFormat) + "\n";
  for (const auto& line : lines) text += HexDigest(line.sha256) + " " + std::to_string(line.size) + " " + line.path + "\n";
  return text;
}

std::optional<std::vector<IndexLine>> ParseIndex(std::string_view bytes, const std::vector<std::string>& paths) {
  if (bytes.size() > kMaxIndexBytes) return std::nullopt;
  std::string_view rest = bytes;
  const auto format = NextLine(rest);
  if (!format || *format != kIndexFormat) return std::nullopt;
  std::vector<IndexLine> lines;
  for (const auto& path : paths) {
    const auto text = NextLine(rest);
    if (!text) return std::nullopt;
    auto line = ParseLine(*text);
    // The path must be the one the installer asks for at this place: a line
    // for another path would vouch for a body the vendor never published there.
    if (!line || line->path != path) return std::nullopt;
    lines.push_back(std::move(*line));
  }
  if (!rest.empty()) return std::nullopt;
  return lines;
}

std::vector<std::string> ManifestServerPaths() {
  std::vector<std::string> paths;
  for (const auto& entry : kManifestEntries) {
    std::string path;
    for (const wchar_t* c = entry.serverPath; *c; ++c) path += static_cast<char>(*c);  // plain ASCII
    paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace norq
