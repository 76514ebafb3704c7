#pragma once
// The HTTP client of `norq-publish --verify`: libcurl where the tool is built
// against it (Linux); elsewhere none, and --verify says so.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tools/publish/ServedReply.h"

namespace norq::publish {

class HttpGet {
 public:
  virtual ~HttpGet() = default;
  // GETs `address`, with "Range: bytes=RANGE" unless `range` is empty, and
  // follows redirects (each target lands in the reply's addresses). The last
  // answer's body goes to `body` piece by piece, as it arrives.
  virtual ServedReply Get(const std::string& address, const std::string& range,
                          const std::function<void(std::string_view)>& body) = 0;
};

// The client of this build, or nothing where it has none.
std::unique_ptr<HttpGet> MakeHttpGet();

}  // namespace norq::publish
