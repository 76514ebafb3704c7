#pragma once
// Lays out the download server's file tree from a folder of the ten files,
// exactly as the installer asks for them, plus the two pointer pages.
#include <filesystem>
#include <string>
#include <vector>

namespace norq::publish {

struct Request {
  std::filesystem::path components;  // the nine components and norq_setup.exe
  std::string baseAddress;           // what the pointer pages will hold
  std::filesystem::path out;         // the tree to write
  bool replace = false;              // allowed to replace a non-empty `out`
  std::filesystem::path signKey{};   // the vendor's private key: sign the index with openssl
};

// Everything wrong with a request, one sentence each; empty when it can go ahead.
std::vector<std::string> Check(const Request& request);

// The tree index (norq/Soft/norq_index.txt) of the ten files in `folder`,
// laid out as TreeLayout says.
std::string MakeIndex(const std::filesystem::path& tree);

// Writes the tree into a new folder beside `out` and moves it into place only
// when it is complete, so `out` is never left half-written. Returns the
// relative paths written. Throws std::runtime_error on failure.
std::vector<std::string> Publish(const Request& request);

// The server path (without its leading "/") of every entry, and the names of
// the two pointer pages.
std::vector<std::pair<std::string, std::string>> TreeLayout();  // local name -> relative path
inline constexpr const char* kPointerPages[] = {"quindle_www.html", "brisel_www.html"};

}  // namespace norq::publish
