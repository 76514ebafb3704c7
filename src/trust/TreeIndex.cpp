#include "trust/TreeIndex.h"

#include "core/Text.h"
#include "trust/UtcTime.h"

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

// A decimal of 1 to `maxDigits` digits without a leading zero (so never 0).
std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::size_t maxDigits) {
  if (text.starts_with('0')) return std::nullopt;
  return DecimalDigits(text, maxDigits);
}

std::optional<std::uint64_t> ParseSize(std::string_view text) {
  // An empty body is never accepted, so neither is a size of 0.
  const auto size = ParseDecimal(text, 15);
  if (!size || *size > kMaxIndexedSize) return std::nullopt;
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

// The value of the next line, which must be "<name> <value>".
std::optional<std::string_view> NextField(std::string_view& rest, std::string_view name) {
  const auto line = NextLine(rest);
  if (!line || line->size() <= name.size() + 1 || line->substr(0, name.size()) != name || (*line)[name.size()] != ' ') {
    return std::nullopt;
  }
  return line->substr(name.size() + 1);
}

std::optional<IndexHeader> ParseHeader(std::string_view& rest) {
  const auto format = NextLine(rest);
  if (!format || *format != kIndexFormat) return std::nullopt;
  const auto product = NextField(rest, "product");
  if (!product || !IsIndexProduct(*product)) return std::nullopt;
  const auto base = NextField(rest, "base");
  if (!base || !IsIndexBase(*base)) return std::nullopt;
  const auto serialText = NextField(rest, "serial");
  const auto serial = serialText ? ParseDecimal(*serialText, 18) : std::nullopt;
  if (!serial) return std::nullopt;
  const auto expiresText = NextField(rest, "expires");
  const auto expires = expiresText ? ParseUtcTime(*expiresText) : std::nullopt;
  if (!expires) return std::nullopt;
  return IndexHeader{std::string(*product), std::string(*base), *serial, *expires};
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

bool IsIndexProduct(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  for (char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                         c == '_' || c == '-';
    if (!allowed) return false;
  }
  return true;
}

bool IsIndexBase(std::string_view base) {
  if (base.empty() || base.size() > kMaxIndexBase) return false;
  for (char c : base) {
    if (c <= ' ' || c > '~' || c == '|') return false;
  }
  return true;
}

std::string FormatIndex(const IndexHeader& header, const std::vector<IndexLine>& lines) {
  std::string text = std::string(kIndexFormat) + "\nproduct " + header.product + "\nbase " + header.base + "\nserial " +
                     std::to_string(header.serial) + "\nexpires " + FormatUtcTime(header.expires) + "\n";
  for (const auto& line : lines) text += HexDigest(line.sha256) + " " + std::to_string(line.size) + " " + line.path + "\n";
  return text;
}

std::optional<TreeIndex> ParseIndex(std::string_view bytes, const std::vector<std::string>& paths) {
  if (bytes.size() > kMaxIndexBytes) return std::nullopt;
  std::string_view rest = bytes;
  auto header = ParseHeader(rest);
  if (!header) return std::nullopt;
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
  return TreeIndex{std::move(*header), std::move(lines)};
}

}  // namespace norq
