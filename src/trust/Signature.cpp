#include "trust/Signature.h"

#include <algorithm>
#include <string>
#include <vector>

namespace norq {

namespace {

constexpr std::size_t kCoordinate = 32;

// SubjectPublicKeyInfo of an id-ecPublicKey on prime256v1, up to the
// uncompressed point's 0x04: every P-256 public key PEM begins with it.
constexpr std::uint8_t kP256InfoPrefix[] = {
    0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01, 0x06,
    0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

constexpr std::string_view kPemBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kPemEnd = "-----END PUBLIC KEY-----";

// One non-negative, minimally encoded INTEGER of at most 32 bytes of value,
// right-aligned into `out`; advances `at`.
bool ReadInteger(std::string_view der, std::size_t& at, std::uint8_t* out) {
  if (at + 2 > der.size() || static_cast<std::uint8_t>(der[at]) != 0x02) return false;
  std::size_t length = static_cast<std::uint8_t>(der[at + 1]);
  at += 2;
  if (length == 0 || length > kCoordinate + 1 || at + length > der.size()) return false;
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(der[at + i]); };
  if (byte(0) & 0x80) return false;  // negative
  std::size_t skip = 0;
  if (byte(0) == 0) {
    if (length == 1) return false;         // zero is no valid r or s
    if (!(byte(1) & 0x80)) return false;   // a padding byte that pads nothing
    skip = 1;
  }
  const std::size_t value = length - skip;
  if (value > kCoordinate) return false;
  for (std::size_t i = 0; i < value; ++i) out[kCoordinate - value + i] = byte(skip + i);
  at += length;
  return true;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  std::uint32_t bits = 0;
  int count = 0, padding = 0;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0 || padding > 0) return std::nullopt;  // nothing may follow the padding
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    if (++count == 4) {
      bytes.push_back(static_cast<std::uint8_t>(bits >> 16));
      bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
      bytes.push_back(static_cast<std::uint8_t>(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 1 || padding > 2 || (count != 0 && count + padding != 4) || (count == 0 && padding != 0)) {
    return std::nullopt;
  }
  if (count == 2) bytes.push_back(static_cast<std::uint8_t>(bits >> 4));
  if (count == 3) {
    bytes.push_back(static_cast<std::uint8_t>(bits >> 10));
    bytes.push_back(static_cast<std::uint8_t>(bits >> 2));
  }
  return bytes;
}

}  // namespace

std::optional<P256Signature> DerToRawSignature(std::string_view der) {
  if (der.size() < 2 || static_cast<std::uint8_t>(der[0]) != 0x30) return std::nullopt;
  // At most 2 + 2 * 35 bytes: the length always fits its short form.
  if (static_cast<std::uint8_t>(der[1]) != der.size() - 2) return std::nullopt;
  P256Signature raw{};
  std::size_t at = 2;
  if (!ReadInteger(der, at, raw.data()) || !ReadInteger(der, at, raw.data() + kCoordinate)) return std::nullopt;
  if (at != der.size()) return std::nullopt;
  return raw;
}

std::optional<P256PublicKey> PublicKeyFromPem(std::string_view pem) {
  const auto begin = pem.find(kPemBegin);
  const auto end = pem.find(kPemEnd);
  if (begin == std::string_view::npos || end == std::string_view::npos || end < begin) return std::nullopt;
  const auto body = pem.substr(begin + kPemBegin.size(), end - begin - kPemBegin.size());
  const auto der = DecodeBase64(body);
  if (!der || der->size() != sizeof kP256InfoPrefix + 2 * kCoordinate) return std::nullopt;
  if (!std::equal(std::begin(kP256InfoPrefix), std::end(kP256InfoPrefix), der->begin())) return std::nullopt;
  P256PublicKey key{};
  std::copy(der->begin() + sizeof kP256InfoPrefix, der->end(), key.begin());
  return key;
}

}  // namespace norq
