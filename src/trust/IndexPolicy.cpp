#include "trust/IndexPolicy.h"

#include "core/Text.h"
#include "trust/UtcTime.h"

namespace norq {

std::wstring IndexRefusal(const IndexHeader& header, const IndexPolicy& policy, const std::wstring& requestedBase,
                          std::int64_t now) {
  if (header.product != policy.product) {
    return L"the index is for the product \"" + Widen(header.product) + L"\", this installer is for \"" +
           Widen(policy.product) + L"\"";
  }
  if (Widen(header.base) != requestedBase) {
    return L"the index is for the base address \"" + Widen(header.base) + L"\", not \"" + requestedBase + L"\"";
  }
  if (header.serial < policy.minSerial) {
    return L"the index's serial " + std::to_wstring(header.serial) + L" is below this installer's minimum " +
           std::to_wstring(policy.minSerial);
  }
  if (now >= header.expires) {
    return L"the index expired at " + Widen(FormatUtcTime(header.expires)) + L"; this computer's clock says " +
           Widen(FormatUtcTime(now));
  }
  return {};
}

}  // namespace norq
