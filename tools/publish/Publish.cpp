#include "tools/publish/Publish.h"

#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <stdexcept>
#include <system_error>

#include "core/Text.h"
#include "install/Manifest.h"
#include "platform/Http.h"
#include "startup/PointerReply.h"
#include "tools/publish/RunProgram.h"
#include "tools/publish/Sha256.h"
#include "trust/BodyCheck.h"
#include "trust/UtcTime.h"

namespace fs = std::filesystem;

namespace norq::publish {

namespace {

bool IsAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

void CopyExact(const fs::path& from, const fs::path& to) {
  fs::create_directories(to.parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

void WriteText(const fs::path& to, const std::string& text) {
  std::ofstream file(to, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw std::runtime_error("cannot write " + to.string());
}

// Why the installer would refuse this file's body, or nothing.
std::string Refusal(const fs::path& file, const std::string& name) {
  std::ifstream in(file, std::ios::binary);
  char head[2] = {};
  in.read(head, 2);
  const auto got = static_cast<std::size_t>(in.gcount());
  const BodyCheck check = CheckForName(Widen(name), std::nullopt);
  if (BodyPasses(check, got, std::string_view(head, got), nullptr)) return {};
  if (got == 0) return "empty file: " + name + " (the installer refuses an empty body)";
  return "not a Windows program: " + name + " (the installer refuses a body for this name that does not begin with \"MZ\")";
}

// Both paths absolute, so that neither can be read as an option.
void Sign(const fs::path& key, const fs::path& index, const fs::path& signature) {
  if (RunProgram({"openssl", "dgst", "-sha256", "-sign", key, "-out", signature, index}) != 0) {
    throw std::runtime_error("openssl could not sign the index with " + key.string());
  }
}

std::string ReadText(const fs::path& from) {
  std::ifstream file(from, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// Every path Publish writes, relative to the tree, folders included.
std::set<fs::path> TreePaths() {
  std::set<fs::path> paths;
  auto add = [&](const fs::path& file) {
    for (fs::path at = file; !at.empty(); at = at.parent_path()) paths.insert(at);
  };
  for (const auto& [name, path] : TreeLayout()) add(path);
  add(std::string(kIndexServerPath).substr(1));
  add(std::string(kSignatureServerPath).substr(1));
  for (const char* page : kPointerPages) add(page);
  return paths;
}

// A new, empty folder beside `near`, made by this call and so ours to remove:
// a folder of that kind left by anyone else (an earlier run included) is
// never taken over.
fs::path MakeOwnFolder(const fs::path& near, const std::string& purpose) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = near.parent_path() / (near.filename().string() + "." + purpose + "-" + std::to_string(random()));
    if (fs::create_directory(folder)) return folder;
  }
  throw std::runtime_error("cannot make a folder of its own beside " + near.string());
}

}  // namespace

IndexHeader MakeHeader(const Request& request) {
  return {request.product, Narrow(RequestAddress(Widen(request.baseAddress))), request.serial,
          request.now + std::int64_t{request.validDays} * 86400};
}

bool LooksLikeTree(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(folder, error))) return false;
  if (!fs::is_regular_file(fs::symlink_status(folder / std::string(kIndexServerPath).substr(1), error))) return false;
  const auto expected = TreePaths();
  for (fs::recursive_directory_iterator it(folder, error), end; it != end; it.increment(error)) {
    if (error) return false;
    const auto status = it->symlink_status(error);
    if (!fs::is_regular_file(status) && !fs::is_directory(status)) return false;
    if (!expected.count(fs::relative(it->path(), folder, error))) return false;
  }
  return !error;
}

std::string MakeIndex(const fs::path& tree, const IndexHeader& header) {
  std::vector<IndexLine> lines;
  const auto paths = ManifestServerPaths();
  const auto layout = TreeLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    IndexLine line;
    line.sha256 = Sha256OfFile(tree / layout[i].second, line.size);
    line.path = paths[i];
    lines.push_back(std::move(line));
  }
  return FormatIndex(header, lines);
}

std::vector<std::pair<std::string, std::string>> TreeLayout() {
  std::vector<std::pair<std::string, std::string>> layout;
  for (const auto& entry : kManifest) {
    layout.emplace_back(Narrow(entry.fileName), Narrow(entry.serverPath).substr(1));
  }
  return layout;
}

std::vector<std::string> Check(const Request& request) {
  std::vector<std::string> problems;
  const std::string& base = request.baseAddress;
  if (!IsAscii(base)) {
    problems.push_back("the base address must be plain ASCII (give an international host name in its xn-- form)");
  } else if (!IsAcceptedReply(Widen(base))) {
    problems.push_back("the installer accepts a base address of 16 to 49 characters without \"|\"; \"" + base +
                       "\" has " + std::to_string(base.size()) + (base.find('|') != std::string::npos ? " and a \"|\"" : ""));
  }
  if (base.rfind("http://", 0) != 0 && base.rfind("https://", 0) != 0) {
    problems.push_back("the base address must begin with http:// or https://");
  }
  if (IsAscii(base) && !IsIndexBase(MakeHeader(request).base)) {
    problems.push_back("the base address must not hold a blank");
  }
  if (!IsIndexProduct(request.product)) {
    problems.push_back("the product name is 1 to 32 letters, digits, \".\", \"_\" or \"-\": \"" + request.product + "\"");
  }
  if (request.serial < 1 || request.serial > kMaxIndexSerial) {
    problems.push_back("--serial is a number from 1 to " + std::to_string(kMaxIndexSerial));
  }
  if (request.validDays < 1 || request.validDays > kMaxValidDays ||
      MakeHeader(request).expires > kLatestUtcTime || request.now < 0) {
    problems.push_back("--valid-days is a number from 1 to " + std::to_string(kMaxValidDays));
  }

  std::error_code error;
  if (!fs::is_directory(request.components, error)) {
    problems.push_back("no folder of components at " + request.components.string());
  } else {
    std::set<std::string> expected, found;
    for (const auto& [name, path] : TreeLayout()) expected.insert(name);
    for (const auto& item : fs::directory_iterator(request.components)) found.insert(item.path().filename().string());
    for (const auto& name : expected) {
      if (!found.count(name)) problems.push_back("missing file: " + name);
      else if (!fs::is_regular_file(request.components / name)) problems.push_back("not a file: " + name);
      else if (auto refusal = Refusal(request.components / name, name); !refusal.empty()) problems.push_back(refusal);
    }
    for (const auto& name : found) {
      if (!expected.count(name)) problems.push_back("unexpected file: " + name + " (the installer never asks for it)");
    }
  }

  if (!request.signKey.empty() && !fs::is_regular_file(request.signKey, error)) {
    problems.push_back("no key file at " + request.signKey.string());
  }
  const bool present = fs::exists(fs::symlink_status(request.out, error));
  const bool empty = fs::is_directory(fs::symlink_status(request.out, error)) && fs::is_empty(request.out, error);
  if (present && !empty) {
    if (!request.replace) {
      problems.push_back("the output folder " + request.out.string() + " is not empty (use --replace to replace it)");
    } else if (!LooksLikeTree(request.out)) {
      problems.push_back("the output folder " + request.out.string() +
                         " holds more than a tree norq-publish laid out, or no index; --replace replaces only such a tree");
    } else if (const auto earlier = ParseIndex(ReadText(request.out / std::string(kIndexServerPath).substr(1)),
                                               ManifestServerPaths());
               earlier && earlier->header.serial >= request.serial) {
      problems.push_back("the tree in " + request.out.string() + " has serial " + std::to_string(earlier->header.serial) +
                         "; give a higher --serial");
    }
  }
  return problems;
}

std::vector<std::string> Publish(const Request& request) {
  fs::path out = fs::absolute(request.out).lexically_normal();
  if (out.filename().empty()) out = out.parent_path();  // "tree/": its folders go beside "tree", not inside
  fs::create_directories(out.parent_path());
  const fs::path staging = MakeOwnFolder(out, "publishing");
  fs::path previous;  // a folder of our own that takes the earlier tree until the new one is in place
  std::vector<std::string> written;
  try {
    for (const auto& [name, path] : TreeLayout()) {
      CopyExact(request.components / name, staging / path);
      written.push_back(path);
    }
    // Hashed from the copies, so the index describes exactly what is served.
    const fs::path index = staging / std::string(kIndexServerPath).substr(1);
    WriteText(index, MakeIndex(staging, MakeHeader(request)));
    written.push_back(std::string(kIndexServerPath).substr(1));
    if (!request.signKey.empty()) {
      Sign(fs::absolute(request.signKey), index, staging / std::string(kSignatureServerPath).substr(1));
      written.push_back(std::string(kSignatureServerPath).substr(1));
    }
    for (const char* page : kPointerPages) {
      WriteText(staging / page, request.baseAddress);
      written.push_back(page);
    }
    if (fs::exists(fs::symlink_status(out))) {
      previous = MakeOwnFolder(out, "previous");
      fs::rename(out, previous / "tree");
    }
    fs::rename(staging, out);
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    if (!previous.empty()) {
      if (!fs::exists(fs::symlink_status(out, ignored))) fs::rename(previous / "tree", out, ignored);
      fs::remove(previous, ignored);  // only when empty: an earlier tree that could not go back stays
    }
    throw;
  }
  if (!previous.empty()) fs::remove_all(previous);
  return written;
}

}  // namespace norq::publish
