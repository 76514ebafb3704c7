#include "tools/publish/VerifyCommand.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>

#include "core/Text.h"
#include "tools/publish/OpensslVerify.h"
#include "tools/publish/VerifyServer.h"
#include "trust/Signature.h"

#ifndef NORQ_MIN_INDEX_SERIAL
#error "The build defines NORQ_MIN_INDEX_SERIAL: --verify asks at least that of an index by default"
#endif

namespace norq::publish {

namespace {

bool IsP256PublicKey(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string pem{std::istreambuf_iterator<char>(in), {}};
  return in && PublicKeyFromPem(pem).has_value();
}

bool Serial(const std::string& text, std::uint64_t& serial) {
  const auto value = text.starts_with('0') ? std::nullopt : DecimalDigits(text, 18);
  if (value) serial = *value;
  return value.has_value();
}

int Usage(const char* why) {
  std::fprintf(stderr,
               "norq-publish: %s\n"
               "usage: norq-publish --verify ADDRESS --key PUBLIC.pem [--product NAME] [--min-serial N]\n",
               why);
  return 2;
}

}  // namespace

int VerifyCommand(int argc, char** argv) {
  VerifyRequest request{"", NORQ_PRODUCT_NAME, NORQ_MIN_INDEX_SERIAL, 0};
  std::string key;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--verify" && hasValue) request.base = argv[++i];
    else if (arg == "--key" && hasValue) key = argv[++i];
    else if (arg == "--product" && hasValue) request.product = argv[++i];
    else if (arg == "--min-serial" && hasValue && Serial(argv[i + 1], request.minSerial)) ++i;
    else return Usage(("unknown or incomplete argument \"" + arg + "\" for --verify").c_str());
  }
  if (request.base.empty() || key.empty()) return Usage("--verify needs the base address and --key");
  const auto http = MakeHttpGet();
  if (!http) return Usage("this build has no HTTP client: --verify runs in the Linux build, which has libcurl");
  if (!IsP256PublicKey(key)) return Usage(("no P-256 public key PEM at " + key + " (openssl ec -pubout writes one)").c_str());
  request.now = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  try {
    const Verdict verdict = VerifyServer(*http, OpensslSignatureCheck(key), request);
    for (const auto& problem : verdict.problems) std::printf("%s\n", problem.c_str());
    if (!verdict.problems.empty()) {
      std::fprintf(stderr, "norq-publish: %zu problem%s: %s does not serve the signed tree as installers need it\n",
                   verdict.problems.size(), verdict.problems.size() == 1 ? "" : "s", request.base.c_str());
      return 1;
    }
    std::printf("%s\n", verdict.summary.c_str());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "norq-publish: the check could not be made: %s\n", error.what());
    return 1;
  }
  return 0;
}

}  // namespace norq::publish
