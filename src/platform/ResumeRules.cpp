#include "platform/ResumeRules.h"

namespace norq {

namespace {

constexpr std::uint32_t kPartialContent = 206;

// Decimal digits from `at` on, moving `at` past them; nothing without any,
// or for a number beyond 64 bits.
std::optional<std::uint64_t> Number(const std::wstring& text, std::size_t& at) {
  const std::size_t start = at;
  std::uint64_t value = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    const auto digit = static_cast<std::uint64_t>(text[at] - L'0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (at == start) return std::nullopt;
  return value;
}

const wchar_t* Meaning(TryAnswer answer) {
  switch (answer) {
    case TryAnswer::Append: return L"the rest of the body, appended";
    case TryAnswer::StartOver: return L"the whole body, started over";
    case TryAnswer::FailedTry: return L"no use, a failed try";
    case TryAnswer::Final: return L"refused, no more tries";
  }
  return L"";
}

}  // namespace

std::uint32_t RetryPauseMs(int retry, std::uint32_t unitMs) {
  if (retry < 1) return 0;
  return unitMs << (retry > kMoreTries ? kMoreTries - 1 : retry - 1);
}

std::wstring RangeValidator(const Headers& headers) {
  const std::wstring etag = FindHeader(headers, L"ETag");
  if (!etag.empty() && etag.rfind(L"W/", 0) != 0) return etag;
  return FindHeader(headers, L"Last-Modified");
}

std::uint64_t ResumeFrom(std::uint64_t landed, const std::wstring& validator, bool hashChecked) {
  return validator.empty() && !hashChecked ? 0 : landed;
}

std::wstring RangeRequestHeaders(std::uint64_t from, const std::wstring& validator) {
  if (from == 0) return {};
  std::wstring text = L"Range: bytes=" + std::to_wstring(from) + L"-\r\n";
  if (!validator.empty()) text += L"If-Range: " + validator + L"\r\n";
  return text;
}

std::optional<ContentRange> ParseContentRange(const std::wstring& text) {
  const std::wstring value = Trim(text);
  if (value.size() < 6 || !SameName(value.substr(0, 5), L"bytes") || value[5] != L' ') return std::nullopt;
  std::size_t at = 6;
  while (at < value.size() && value[at] == L' ') ++at;
  const auto first = Number(value, at);
  if (!first || at >= value.size() || value[at++] != L'-') return std::nullopt;
  const auto last = Number(value, at);
  if (!last || at >= value.size() || value[at++] != L'/') return std::nullopt;
  const auto complete = Number(value, at);
  if (!complete || at != value.size() || *first > *last || *last >= *complete) return std::nullopt;
  return ContentRange{*first, *last, *complete};
}

TryAnswer JudgeAnswer(std::uint32_t status, const std::wstring& contentRange, std::uint64_t from,
                      std::uint64_t fullLength) {
  if (status >= 400 && status <= 499) return TryAnswer::Final;
  if (status == kPartialContent) {
    // A part nobody asked for cannot be placed.
    if (from == 0) return TryAnswer::FailedTry;
    const auto range = ParseContentRange(contentRange);
    const bool fits = range && range->first == from && range->last + 1 == range->complete &&
                      (fullLength == 0 || range->complete == fullLength);
    return fits ? TryAnswer::Append : TryAnswer::FailedTry;
  }
  return StatusSucceeds(status) ? TryAnswer::StartOver : TryAnswer::FailedTry;
}

bool TryAgain(bool bodyBegun, int retriesDone) { return bodyBegun && retriesDone < kMoreTries; }

std::wstring RetryText(const std::wstring& url, int retry, std::uint64_t from, const std::wstring& validator,
                       std::uint32_t pauseMs, const std::wstring& why) {
  std::wstring text = url + L": try " + std::to_wstring(retry + 1) + L" of " + std::to_wstring(kMoreTries + 1) +
                      L" in " + std::to_wstring(pauseMs) + L" ms, ";
  text += from == 0 ? std::wstring(L"from the start") : L"from byte " + std::to_wstring(from);
  if (from != 0) text += validator.empty() ? std::wstring(L" (no validator)") : L" (If-Range " + validator + L")";
  return text + L", after: " + why;
}

std::wstring AnswerText(const std::wstring& url, int retry, std::uint32_t status, const std::wstring& contentRange,
                        TryAnswer answer) {
  std::wstring text = url + L": try " + std::to_wstring(retry + 1) + L" answered HTTP " + std::to_wstring(status);
  if (!contentRange.empty()) text += L" (Content-Range " + contentRange + L")";
  return text + L": " + Meaning(answer);
}

}  // namespace norq
