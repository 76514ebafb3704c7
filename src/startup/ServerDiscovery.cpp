#include "startup/ServerDiscovery.h"

#include "ui/FrmUpdate.h"

namespace norq {

std::wstring PrimaryPointerUrl() { return std::wstring(L"http://") + NORQ_PRIMARY_HOST + L"/quindle_www.html"; }
std::wstring SecondaryPointerUrl() { return std::wstring(L"http://") + NORQ_SECONDARY_HOST + L"/brisel_www.html"; }

bool IsAcceptedReply(const std::wstring& reply) {
  return reply.size() > 15 && reply.size() < 50 && reply.find(L'|') == std::wstring::npos;
}

// The secondary page is asked only when the primary one fails.
bool FrmUpdate::DiscoverServer() {
  for (const auto& url : {PrimaryPointerUrl(), SecondaryPointerUrl()}) {
    std::wstring reply = inet2_.OpenURL(url);
    if (IsAcceptedReply(reply)) {
      ui_.SetCaption(ControlId::Label_www, std::move(reply));
      return true;
    }
  }
  return false;
}

}  // namespace norq
