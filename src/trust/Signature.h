#pragma once
// The vendor's P-256 key and signatures as openssl writes them, in the raw
// forms the system's cryptography (CNG) takes.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace norq {

// X then Y, 32 bytes each, big-endian: the body of a BCRYPT_ECCPUBLIC_BLOB.
using P256PublicKey = std::array<std::uint8_t, 64>;
// r then s, 32 bytes each, big-endian.
using P256Signature = std::array<std::uint8_t, 64>;

// A DER ECDSA-Sig-Value (what `openssl dgst -sha256 -sign` writes) as r||s.
// Strict DER only: another encoding of the same numbers is not what openssl
// made, and nothing but openssl's output is expected.
std::optional<P256Signature> DerToRawSignature(std::string_view der);

// The key of a "BEGIN PUBLIC KEY" PEM (what `openssl ec -pubout` writes) for
// a P-256 key; nothing for any other key or text.
std::optional<P256PublicKey> PublicKeyFromPem(std::string_view pem);

// The key this build was made with (NORQ_INDEX_KEY), if any.
std::optional<P256PublicKey> BuiltInIndexKey();

}  // namespace norq
