// Builds without libcurl (the Windows ones) have no client: --verify says so.
#include "tools/publish/HttpGet.h"

namespace norq::publish {

std::unique_ptr<HttpGet> MakeHttpGet() { return nullptr; }

}  // namespace norq::publish
