#include "platform/TransferText.h"

namespace norq {

namespace {
std::wstring Seconds(std::uint32_t milliseconds) {
  std::wstring fraction = std::to_wstring(milliseconds % 1000);
  return std::to_wstring(milliseconds / 1000) + L"." + std::wstring(3 - fraction.size(), L'0') + fraction + L" s";
}
}  // namespace

std::wstring TransferText(const std::wstring& url, const TransferFacts& facts) {
  std::wstring text = url + L": ";
  text += facts.status ? L"HTTP " + std::to_wstring(facts.status) : std::wstring(L"no HTTP status");
  text += L", declared " + (facts.declared ? std::to_wstring(facts.declared) + L" bytes" : std::wstring(L"no length"));
  text += L", received " + std::to_wstring(facts.received) + L" bytes in " + Seconds(facts.milliseconds);
  if (!facts.failure.empty()) text += L", failed: " + facts.failure;
  return text;
}

}  // namespace norq
