#include "trust/IndexPolicy.h"

#include "trust/UtcTime.h"

namespace norq {

namespace {
// The index's fields are ASCII (the reader saw to it), and so are the build's.
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
}  // namespace

std::wstring IndexRefusal(const IndexHeader& header, const IndexPolicy& policy, const std::wstring& requestedBase,
                          std::int64_t now) {
  if (header.product != policy.product) {
    return L"the index is for the product \"" + Wide(header.product) + L"\", this installer is for \"" +
           Wide(policy.product) + L"\"";
  }
  if (Wide(header.base) != requestedBase) {
    return L"the index is for the base address \"" + Wide(header.base) + L"\", not \"" + requestedBase + L"\"";
  }
  if (header.serial < policy.minSerial) {
    return L"the index's serial " + std::to_wstring(header.serial) + L" is below this installer's minimum " +
           std::to_wstring(policy.minSerial);
  }
  if (now >= header.expires) {
    return L"the index expired at " + Wide(FormatUtcTime(header.expires)) + L"; this computer's clock says " +
           Wide(FormatUtcTime(now));
  }
  return {};
}

}  // namespace norq
