#include "startup/ServerDiscovery.h"

#include "trust/Signature.h"
#include "trust/TreeIndex.h"
#include "ui/FrmUpdate.h"

namespace norq {

std::wstring PrimaryPointerUrl() { return std::wstring(L"http://") + NORQ_PRIMARY_HOST + L"/quindle_www.html"; }
std::wstring SecondaryPointerUrl() { return std::wstring(L"http://") + NORQ_SECONDARY_HOST + L"/brisel_www.html"; }

bool IsAcceptedReply(const std::wstring& reply) {
  return reply.size() > 15 && reply.size() < 50 && reply.find(L'|') == std::wstring::npos;
}

namespace {
// A DER signature of P-256 is at most 72 bytes.
constexpr std::size_t kMaxSignatureBytes = 256;

std::wstring Widen(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }
}  // namespace

// The secondary page is asked only when the primary one fails; a server
// whose index does not verify counts as a failed page.
bool FrmUpdate::DiscoverServer() {
  for (const auto& url : {PrimaryPointerUrl(), SecondaryPointerUrl()}) {
    std::wstring reply = inet2_.OpenURL(url);
    if (IsAcceptedReply(reply) && TrustServer(reply)) {
      ui_.SetCaption(ControlId::Label_www, std::move(reply));
      return true;
    }
  }
  return false;
}

// The index and its signature are fetched from the server the reply names,
// joined as the downloads will be; nothing is kept unless both are sound.
bool FrmUpdate::TrustServer(const std::wstring& serverUrl) {
  index_.clear();
  if (!indexKey_) return true;
  const auto index = inet2_.FetchBytes(serverUrl + Widen(kIndexServerPath), kMaxIndexBytes);
  if (!index) return false;
  const auto der = inet2_.FetchBytes(serverUrl + Widen(kSignatureServerPath), kMaxSignatureBytes);
  if (!der) return false;
  const auto signature = DerToRawSignature(*der);
  if (!signature || !sys_.VerifySignature(*indexKey_, *index, *signature)) return false;
  auto lines = ParseIndex(*index, ManifestServerPaths());
  if (!lines) return false;
  index_ = std::move(*lines);
  return true;
}

}  // namespace norq
