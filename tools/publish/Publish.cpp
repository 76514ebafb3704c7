#include "tools/publish/Publish.h"

#include <fstream>
#include <set>
#include <stdexcept>
#include <system_error>

#include <cstdlib>

#include "install/Manifest.h"
#include "startup/ServerDiscovery.h"
#include "tools/publish/Sha256.h"
#include "trust/BodyCheck.h"

namespace fs = std::filesystem;

namespace norq::publish {

namespace {

// Entry names and server paths are plain ASCII.
std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out += static_cast<char>(*text);
  return out;
}

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
  const BodyCheck check = CheckForName(std::wstring(name.begin(), name.end()), std::nullopt);
  if (BodyPasses(check, got, std::string_view(head, got), nullptr)) return {};
  if (got == 0) return "empty file: " + name + " (the installer refuses an empty body)";
  return "not a Windows program: " + name + " (the installer refuses a body for this name that does not begin with \"MZ\")";
}

void Sign(const fs::path& key, const fs::path& index, const fs::path& signature) {
  const std::string command = "openssl dgst -sha256 -sign \"" + key.string() + "\" -out \"" + signature.string() +
                              "\" \"" + index.string() + "\"";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl could not sign the index with " + key.string());
}

}  // namespace

std::string MakeIndex(const fs::path& tree) {
  std::vector<IndexLine> lines;
  const auto paths = ManifestServerPaths();
  const auto layout = TreeLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    IndexLine line;
    line.sha256 = Sha256OfFile(tree / layout[i].second, line.size);
    line.path = paths[i];
    lines.push_back(std::move(line));
  }
  return FormatIndex(lines);
}

std::vector<std::pair<std::string, std::string>> TreeLayout() {
  std::vector<std::pair<std::string, std::string>> layout;
  for (const auto& entry : kManifestEntries) {
    layout.emplace_back(Narrow(entry.displayName), Narrow(entry.serverPath).substr(1));
  }
  return layout;
}

std::vector<std::string> Check(const Request& request) {
  std::vector<std::string> problems;
  const std::string& base = request.baseAddress;
  if (!IsAscii(base)) {
    problems.push_back("the base address must be plain ASCII (give an international host name in its xn-- form)");
  } else if (!IsAcceptedReply(std::wstring(base.begin(), base.end()))) {
    problems.push_back("the installer accepts a base address of 16 to 49 characters without \"|\"; \"" + base +
                       "\" has " + std::to_string(base.size()) + (base.find('|') != std::string::npos ? " and a \"|\"" : ""));
  }
  if (base.rfind("http://", 0) != 0 && base.rfind("https://", 0) != 0) {
    problems.push_back("the base address must begin with http:// or https://");
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

  if (!request.signKey.empty()) {
    if (!fs::is_regular_file(request.signKey, error)) problems.push_back("no key file at " + request.signKey.string());
    if (request.signKey.string().find('"') != std::string::npos || request.out.string().find('"') != std::string::npos) {
      problems.push_back("the key and output paths must not hold a '\"' when signing");
    }
  }
  if (fs::exists(request.out, error) && !request.replace &&
      (!fs::is_directory(request.out, error) || !fs::is_empty(request.out, error))) {
    problems.push_back("the output folder " + request.out.string() + " is not empty (use --replace to replace it)");
  }
  return problems;
}

std::vector<std::string> Publish(const Request& request) {
  const fs::path out = fs::absolute(request.out);
  const fs::path staging = out.parent_path() / (out.filename().string() + ".publishing");
  const fs::path previous = out.parent_path() / (out.filename().string() + ".previous");
  fs::remove_all(staging);
  fs::remove_all(previous);
  std::vector<std::string> written;
  try {
    for (const auto& [name, path] : TreeLayout()) {
      CopyExact(request.components / name, staging / path);
      written.push_back(path);
    }
    // Hashed from the copies, so the index describes exactly what is served.
    const fs::path index = staging / std::string(kIndexServerPath).substr(1);
    WriteText(index, MakeIndex(staging));
    written.push_back(std::string(kIndexServerPath).substr(1));
    if (!request.signKey.empty()) {
      Sign(fs::absolute(request.signKey), index, staging / std::string(kSignatureServerPath).substr(1));
      written.push_back(std::string(kSignatureServerPath).substr(1));
    }
    for (const char* page : kPointerPages) {
      WriteText(staging / page, request.baseAddress);
      written.push_back(page);
    }
    if (fs::exists(out)) fs::rename(out, previous);
    fs::rename(staging, out);
    fs::remove_all(previous);
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    if (!fs::exists(out, ignored) && fs::exists(previous, ignored)) fs::rename(previous, out, ignored);
    throw;
  }
  return written;
}

}  // namespace norq::publish
