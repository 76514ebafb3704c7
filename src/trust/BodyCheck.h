#pragma once
// What a downloaded body must be before it may replace a file or be started.
// The transfer component applies it to the whole body it received, so that a
// body that fails ends as a failed transfer and never reaches the caller.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "trust/TreeIndex.h"

namespace norq {

struct BodyCheck {
  // A Windows program or library: the body must begin with "MZ". An error page
  // served with 200 would otherwise be saved as a component that counts as
  // present on every later run.
  bool program = false;
  // The signed index's line for this entry, when the build has a key.
  std::optional<IndexLine> pinned;
};

// The check for a local file name: ".dll", ".ocx" and ".exe" (any case) are programs.
BodyCheck CheckForName(const std::wstring& name, std::optional<IndexLine> pinned);

enum class BodyVerdict { Passes, Empty, NotAProgram, NotAsSigned };

// Whether a complete body passes, and if not, the first reason it fails:
// `head` holds its first bytes (two suffice), `digest` its SHA-256 (needed
// only when the check is pinned). Empty bodies never pass: saved, they would
// count as present forever.
BodyVerdict JudgeBody(const BodyCheck& check, std::uint64_t size, std::string_view head, const Sha256Digest* digest);
bool BodyPasses(const BodyCheck& check, std::uint64_t size, std::string_view head, const Sha256Digest* digest);

}  // namespace norq
