#include "tools/publish/VerifyServer.h"

#include <optional>

#include "core/Text.h"
#include "install/Manifest.h"
#include "platform/Http.h"
#include "tools/publish/Sha256.h"
#include "trust/IndexPolicy.h"
#include "trust/Signature.h"
#include "trust/UtcTime.h"

namespace norq::publish {

namespace {

// A DER signature of P-256 is at most 72 bytes; the installer reads at most this much.
constexpr std::size_t kMaxSignatureBytes = 256;

class Verifier {
 public:
  Verifier(HttpGet& http, const SignatureCheck& signedByVendor, const VerifyRequest& request)
      : http_(http), signedByVendor_(signedByVendor), request_(request) {}

  Verdict Run() {
    const auto index = Fetch(kIndexServerPath, kMaxIndexBytes);
    const auto signature = Fetch(kSignatureServerPath, kMaxSignatureBytes);
    if (!index || !signature) return std::move(verdict_);
    const auto parsed = CheckIndex(*index, *signature);
    if (!parsed) return std::move(verdict_);
    // The largest file is the one a broken connection is most likely to cut.
    std::size_t resumed = 0;
    for (std::size_t i = 1; i < parsed->lines.size(); ++i) {
      if (parsed->lines[i].size > parsed->lines[resumed].size) resumed = i;
    }
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < parsed->lines.size(); ++i) {
      total += parsed->lines[i].size;
      CheckFile(parsed->lines[i], i == resumed);
    }
    const IndexLine& line = parsed->lines[resumed];
    verdict_.summary = request_.base + " serves the signed tree: product " + parsed->header.product + ", serial " +
                       std::to_string(parsed->header.serial) + ", valid until " + FormatUtcTime(parsed->header.expires) +
                       "; " + std::to_string(parsed->lines.size()) + " files, " + std::to_string(total) +
                       " bytes, each as signed; bytes=" + std::to_string(line.size / 2) + "- of " + line.path +
                       " answered with 206";
    return std::move(verdict_);
  }

 private:
  void Add(std::vector<std::string> problems) {
    for (auto& problem : problems) verdict_.problems.push_back(std::move(problem));
  }

  // A small file whole, or nothing when anything about it is wrong.
  std::optional<std::string> Fetch(const std::string& path, std::size_t limit) {
    std::string body;
    const ServedReply reply = http_.Get(request_.base + path, "", [&](std::string_view piece) {
      if (body.size() <= limit) body.append(piece.substr(0, limit + 1 - body.size()));
    });
    auto problems = ReplyProblems(path, reply, std::nullopt);
    if (problems.empty() && body.size() > limit) {
      problems.push_back(path + ": longer than " + std::to_string(limit) + " bytes, which the installer refuses");
    }
    if (!problems.empty()) {
      Add(std::move(problems));
      return std::nullopt;
    }
    return body;
  }

  // The index as a keyed installer would take it, or nothing when it could not be read at all.
  std::optional<TreeIndex> CheckIndex(const std::string& index, const std::string& signature) {
    const std::string indexPath = kIndexServerPath;
    if (!DerToRawSignature(signature)) {
      Add({std::string(kSignatureServerPath) + ": not a DER ECDSA P-256 signature as openssl writes it"});
    } else if (!signedByVendor_(index, signature)) {
      Add({std::string(kSignatureServerPath) + ": does not verify the index under the given key"});
    }
    if (index.starts_with("norq-index 1\n")) {
      Add({indexPath + ": an index of version 1, which installers refuse: publish the tree again"});
      return std::nullopt;
    }
    auto parsed = ParseIndex(index, ManifestServerPaths());
    if (!parsed) {
      Add({indexPath + ": not a version 2 index listing the installer's files"});
      return std::nullopt;
    }
    const std::wstring why = IndexRefusal(parsed->header, {request_.product, request_.minSerial},
                                          RequestAddress(Widen(request_.base)), request_.now);
    if (!why.empty()) Add({indexPath + ": installers would refuse it: " + Narrow(why)});
    return parsed;
  }

  void CheckFile(const IndexLine& line, bool resumed) {
    // For the file asked for a range, the digest of its first half is kept:
    // the range's bytes then continue it, and must end at the signed digest.
    const std::uint64_t from = line.size / 2;
    Sha256 whole;
    std::optional<Sha256> firstHalf;
    std::uint64_t count = 0;
    const ServedReply reply = http_.Get(request_.base + line.path, "", [&](std::string_view piece) {
      if (resumed && !firstHalf && count + piece.size() >= from) {
        const auto before = static_cast<std::size_t>(from - count);
        whole.Add(piece.substr(0, before));
        firstHalf = whole;
        piece.remove_prefix(before);
        count += before;
      }
      whole.Add(piece);
      count += piece.size();
    });
    auto problems = ReplyProblems(line.path, reply, line.size);
    if (problems.empty() && whole.Finish() != line.sha256) {
      problems.push_back(line.path + ": its SHA-256 is not the index's (a changed file: publish again)");
    }
    const bool intact = problems.empty();
    Add(std::move(problems));
    if (!resumed) return;

    Sha256 rest = firstHalf.value_or(Sha256{});
    const ServedReply range = http_.Get(request_.base + line.path, std::to_string(from) + "-",
                                        [&](std::string_view piece) { rest.Add(piece); });
    auto rangeProblems = RangeProblems(line.path, range, from, line.size);
    if (rangeProblems.empty() && intact && rest.Finish() != line.sha256) {
      rangeProblems.push_back(line.path + ": the bytes from " + std::to_string(from) +
                              " on, asked for as a range, are not the file's");
    }
    Add(std::move(rangeProblems));
  }

  HttpGet& http_;
  const SignatureCheck& signedByVendor_;
  const VerifyRequest& request_;
  Verdict verdict_;
};

}  // namespace

Verdict VerifyServer(HttpGet& http, const SignatureCheck& signedByVendor, const VerifyRequest& request) {
  return Verifier(http, signedByVendor, request).Run();
}

}  // namespace norq::publish
