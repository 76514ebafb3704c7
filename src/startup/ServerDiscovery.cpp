#include "startup/ServerDiscovery.h"

#include "platform/TransferText.h"
#include "ui/FrmUpdate.h"

namespace norq {

std::wstring PrimaryPointerUrl() { return std::wstring(L"http://") + NORQ_PRIMARY_HOST + L"/quindle_www.html"; }
std::wstring SecondaryPointerUrl() { return std::wstring(L"http://") + NORQ_SECONDARY_HOST + L"/brisel_www.html"; }

const wchar_t* RefusalOf(const std::wstring& reply) {
  if (reply.size() <= 15) return L"refused: 15 characters or fewer";
  if (reply.size() >= 50) return L"refused: 50 characters or more";
  if (reply.find(L'|') != std::wstring::npos) return L"refused: it holds \"|\"";
  return nullptr;
}

bool IsAcceptedReply(const std::wstring& reply) { return RefusalOf(reply) == nullptr; }

// The secondary page is asked only when the primary one fails.
bool FrmUpdate::DiscoverServer() {
  for (const auto& url : {PrimaryPointerUrl(), SecondaryPointerUrl()}) {
    std::wstring reply = inet2_.OpenURL(url);
    const wchar_t* refusal = RefusalOf(reply);
    sys_.Log(L"pointer page " + TransferText(url, inet2_.LastTransfer()) + L", reply of " +
             std::to_wstring(reply.size()) + L" characters, " + (refusal ? refusal : L"accepted"));
    if (!refusal) {
      ui_.SetCaption(ControlId::Label_www, std::move(reply));
      return true;
    }
  }
  return false;
}

}  // namespace norq
