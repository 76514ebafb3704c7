#pragma once
// Lays out the download server's file tree from a folder of the ten files,
// exactly as the installer asks for them, plus the two pointer pages.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "trust/TreeIndex.h"

namespace norq::publish {

struct Request {
  std::filesystem::path components;  // the nine components and norq_setup.exe
  std::string baseAddress;           // what the pointer pages will hold
  std::filesystem::path out;         // the tree to write
  bool replace = false;              // allowed to replace an earlier tree in `out`
  std::filesystem::path signKey{};   // the vendor's private key: sign the index with openssl
  std::string product = NORQ_PRODUCT_NAME;  // the product the installers are built for
  std::uint64_t serial = 0;          // this publication's serial: required, above the tree it replaces
  int validDays = 365;               // the index expires this many days after `now`
  std::int64_t now = 0;              // the time of publishing, seconds since 1970 (UTC)
};

inline constexpr int kMaxValidDays = 3650;

// Everything wrong with a request, one sentence each; empty when it can go ahead.
std::vector<std::string> Check(const Request& request);

// What the index says besides its lines: the base as the installer will
// request it (the pointer page's body after its clean-up of control characters).
IndexHeader MakeHeader(const Request& request);

// The tree index (norq/Soft/norq_index.txt) of the ten files in `folder`,
// laid out as TreeLayout says.
std::string MakeIndex(const std::filesystem::path& tree, const IndexHeader& header);

// Whether `folder` holds nothing but what Publish lays out, an index
// included: the only folder --replace may take the place of.
bool LooksLikeTree(const std::filesystem::path& folder);

// Writes the tree into a new folder of its own beside `out` and moves it
// into place only when it is complete, so `out` is never left half-written.
// It removes only folders it made itself, and the earlier tree it replaces.
// Returns the relative paths written. Throws std::runtime_error on failure.
std::vector<std::string> Publish(const Request& request);

// The server path (without its leading "/") of every entry, and the names of
// the two pointer pages.
std::vector<std::pair<std::string, std::string>> TreeLayout();  // local name -> relative path
inline constexpr const char* kPointerPages[] = {"quindle_www.html", "brisel_www.html"};

}  // namespace norq::publish
