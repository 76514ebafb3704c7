#pragma once
#include <filesystem>

#include "tools/publish/VerifyServer.h"

namespace norq::publish {

// The check of a signature by `openssl dgst -sha256 -verify publicKey`,
// started without a shell, over copies in a folder of its own.
SignatureCheck OpensslSignatureCheck(const std::filesystem::path& publicKey);

}  // namespace norq::publish
