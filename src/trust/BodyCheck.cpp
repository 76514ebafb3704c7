#include "trust/BodyCheck.h"

#include "core/Text.h"

namespace norq {

namespace {

bool EndsWithNoCase(const std::wstring& text, std::wstring_view tail) {
  if (text.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (AsciiLower(text[text.size() - tail.size() + i]) != tail[i]) return false;
  }
  return true;
}

}  // namespace

BodyCheck CheckForName(const std::wstring& name, std::optional<IndexLine> pinned) {
  BodyCheck check;
  for (std::wstring_view tail : {L".dll", L".ocx", L".exe"}) check.program = check.program || EndsWithNoCase(name, tail);
  check.pinned = std::move(pinned);
  return check;
}

BodyVerdict JudgeBody(const BodyCheck& check, std::uint64_t size, std::string_view head, const Sha256Digest* digest) {
  if (size == 0) return BodyVerdict::Empty;
  if (check.program && (head.size() < 2 || head[0] != 'M' || head[1] != 'Z')) return BodyVerdict::NotAProgram;
  if (check.pinned) {
    if (size != check.pinned->size || digest == nullptr || *digest != check.pinned->sha256) {
      return BodyVerdict::NotAsSigned;
    }
  }
  return BodyVerdict::Passes;
}

bool BodyPasses(const BodyCheck& check, std::uint64_t size, std::string_view head, const Sha256Digest* digest) {
  return JudgeBody(check, size, head, digest) == BodyVerdict::Passes;
}

}  // namespace norq
