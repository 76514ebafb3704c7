#include "tools/publish/ServedReply.h"

#include "core/Text.h"
#include "platform/ResumeRules.h"

namespace norq::publish {

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(static_cast<unsigned char>(a[i])) != AsciiLower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

std::optional<std::uint64_t> Decimal(std::string_view text) { return DecimalDigits(text, 19); }

// Read as the installer reads a resumed download's Content-Range.
bool RangeIsTheRest(const std::string& contentRange, std::uint64_t from, std::uint64_t size) {
  const auto range = ParseContentRange(Widen(contentRange));
  return range && range->first == from && range->last + 1 == size && range->complete == size;
}

bool IsPlainHttp(std::string_view address) { return SameLetters(address.substr(0, 7), "http://"); }
bool IsHttps(std::string_view address) { return SameLetters(address.substr(0, 8), "https://"); }

}  // namespace

void TakeHeaderLine(ServedReply& reply, std::string_view line) {
  line = Trimmed(line);
  if (line.starts_with("HTTP/")) {
    const auto blank = line.find(' ');
    const auto code = blank == std::string_view::npos ? std::nullopt : Decimal(line.substr(blank + 1, 3));
    reply.status = code ? static_cast<long>(*code) : 0;
    reply.contentEncoding.reset();
    reply.contentLength.reset();
    reply.contentRange.reset();
    return;
  }
  const auto colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view name = line.substr(0, colon);
  const std::string value(Trimmed(line.substr(colon + 1)));
  if (SameLetters(name, "Content-Encoding")) reply.contentEncoding = value;
  else if (SameLetters(name, "Content-Length")) reply.contentLength = value;
  else if (SameLetters(name, "Content-Range")) reply.contentRange = value;
}

std::vector<std::string> ReplyProblems(const std::string& path, const ServedReply& reply,
                                       std::optional<std::uint64_t> expected) {
  std::vector<std::string> problems;
  const auto add = [&](const std::string& what) { problems.push_back(path + ": " + what); };
  if (!reply.error.empty()) {
    add("no answer: " + reply.error);
    return problems;
  }
  for (std::size_t i = 1; i < reply.addresses.size(); ++i) {
    if (IsHttps(reply.addresses[i - 1]) && IsPlainHttp(reply.addresses[i])) {
      add("redirected from https to plain http (" + reply.addresses[i] + "), which the installer refuses");
    }
  }
  if (reply.status != 200) {
    add("status " + std::to_string(reply.status) + ", not 200");
    return problems;
  }
  if (reply.contentEncoding) {
    // The installer saves the bytes as they come: compressed, they are not the signed file.
    add("sent with Content-Encoding: " + *reply.contentEncoding + "; serve it byte for byte (gzip off)");
    return problems;
  }
  std::uint64_t declared = reply.received;  // a body cut short is told once, not again as a wrong size
  if (!reply.contentLength) {
    add("no Content-Length (the installer's percentage then stands still until the end)");
  } else if (const auto length = Decimal(*reply.contentLength); !length) {
    add("Content-Length \"" + *reply.contentLength + "\" is not a number");
  } else if (declared = *length; declared != reply.received) {
    add("Content-Length " + *reply.contentLength + " but " + std::to_string(reply.received) + " bytes came");
  }
  if (expected && reply.received != *expected && declared == reply.received) {
    add(std::to_string(reply.received) + " bytes, the index says " + std::to_string(*expected));
  }
  return problems;
}

std::vector<std::string> RangeProblems(const std::string& path, const ServedReply& reply, std::uint64_t from,
                                       std::uint64_t size) {
  const std::string asked = "a request for bytes=" + std::to_string(from) + "- ";
  if (!reply.error.empty()) return {path + ": " + asked + "had no answer: " + reply.error};
  if (reply.status != 206) {
    return {path + ": " + asked + "was answered with status " + std::to_string(reply.status) +
            ", not 206 (a download that breaks must then start again from byte 0)"};
  }
  std::vector<std::string> problems;
  if (!reply.contentRange) {
    problems.push_back(path + ": " + asked + "was answered with 206 but no Content-Range");
  } else if (!RangeIsTheRest(*reply.contentRange, from, size)) {
    problems.push_back(path + ": " + asked + "was answered with Content-Range \"" + *reply.contentRange +
                       "\", not \"bytes " + std::to_string(from) + "-" + std::to_string(size - 1) + "/" +
                       std::to_string(size) + "\"");
  }
  if (reply.contentEncoding) {
    problems.push_back(path + ": " + asked + "was answered with Content-Encoding: " + *reply.contentEncoding);
  } else if (reply.received != size - from) {
    problems.push_back(path + ": " + asked + "brought " + std::to_string(reply.received) + " bytes, not " +
                       std::to_string(size - from));
  }
  return problems;
}

}  // namespace norq::publish
