#include "core/Text.h"

#include <cstdint>

namespace norq {

std::string_view FirstLine(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\r'));
}

std::string TextLineBytes(std::string encoded) {
  encoded += "\r\n";
  return encoded;
}

namespace {
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
}  // namespace

CommandLineParts SplitCommandLine(std::wstring_view commandLine) {
  std::size_t i = 0;
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  std::wstring_view program;
  if (i < commandLine.size() && commandLine[i] == L'"') {
    const auto close = commandLine.find(L'"', i + 1);
    const auto end = close == std::wstring_view::npos ? commandLine.size() : close;
    program = commandLine.substr(i + 1, end - i - 1);
    i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
  } else {
    const std::size_t start = i;
    while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
    program = commandLine.substr(start, i - start);
  }
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  return {program, commandLine.substr(i)};
}

std::wstring OneLine(std::wstring_view text) {
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  std::wstring line;
  line.reserve(text.size());
  for (const wchar_t c : text) {
    if (c == L'\r') {
      line += L"\\r";
    } else if (c == L'\n') {
      line += L"\\n";
    } else if (c == L'\t') {
      line += L"\\t";
    } else if (c < 0x20 || c == 0x7f) {
      line += {L'\\', L'x', kHex[(c >> 4) & 0xf], kHex[c & 0xf]};
    } else {
      line += c;
    }
  }
  return line;
}

std::string Narrow(std::wstring_view ascii) {
  std::string bytes;
  bytes.reserve(ascii.size());
  for (const wchar_t c : ascii) bytes += static_cast<std::uint32_t>(c) < 0x80 ? static_cast<char>(c) : '?';
  return bytes;
}

std::wstring Widen(std::string_view ascii) {
  std::wstring text;
  text.reserve(ascii.size());
  for (const char c : ascii) text += static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'\xFFFD';
  return text;
}

namespace {
bool IsHighSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& bytes, std::uint32_t c) {
  if (c < 0x80) {
    bytes += static_cast<char>(c);
    return;
  }
  if (c < 0x800) {
    bytes += static_cast<char>(0xC0 | (c >> 6));
  } else if (c < 0x10000) {
    bytes += static_cast<char>(0xE0 | (c >> 12));
    bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (c >> 18));
    bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  bytes += static_cast<char>(0x80 | (c & 0x3F));
}
}  // namespace

std::string Utf8Of(std::wstring_view text) {
  constexpr std::uint32_t kReplacement = 0xFFFD;
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = static_cast<std::uint32_t>(text[i]);
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
      c = kReplacement;
    }
    AppendUtf8(bytes, c);
  }
  return bytes;
}

std::optional<std::uint64_t> DecimalDigits(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

}  // namespace norq
