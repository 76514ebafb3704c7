#pragma once
// The vendor's check of a deployed server: that it serves the tree they
// signed, to every installer, as the installer fetches it. It reads the index
// with the installer's own rules (the signature, then product, base address,
// serial and expiry), fetches every file and compares it with its line, and
// asks one file for the second half of its bytes as a resumed download would.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/publish/HttpGet.h"

namespace norq::publish {

// Whether `signature` (DER, as openssl writes it) is the vendor's over the
// index's exact bytes. Throws std::runtime_error when it cannot tell.
using SignatureCheck = std::function<bool(std::string_view index, std::string_view signature)>;

struct VerifyRequest {
  std::string base;            // the base address exactly as installers request it (the pointer page's body)
  std::string product;         // the product installers are built for
  std::uint64_t minSerial = 1; // the index's serial must be at least this
  std::int64_t now = 0;        // seconds since 1970 (UTC): the index must not have expired
};

struct Verdict {
  std::vector<std::string> problems;  // one line each; none when the server serves what was signed
  std::string summary;                // what was checked, for a verdict without problems
};

Verdict VerifyServer(HttpGet& http, const SignatureCheck& signedByVendor, const VerifyRequest& request);

}  // namespace norq::publish
