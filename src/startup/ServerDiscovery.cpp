#include "startup/ServerDiscovery.h"

#include "core/Text.h"
#include "platform/Http.h"
#include "trust/IndexPolicy.h"
#include "trust/Signature.h"
#include "trust/TreeIndex.h"
#include "trust/UtcTime.h"
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

namespace {
// A DER signature of P-256 is at most 72 bytes.
constexpr std::size_t kMaxSignatureBytes = 256;
}  // namespace

// The secondary page is asked only when the primary one fails; a server
// whose index does not verify counts as a failed page.
bool FrmUpdate::DiscoverServer() {
  for (const auto& url : {PrimaryPointerUrl(), SecondaryPointerUrl()}) {
    std::wstring reply = inet2_.OpenURL(url);
    const wchar_t* refusal = RefusalOf(reply);
    sys_.Log(L"pointer page " + TransferText(url, inet2_.LastTransfer()) + L", reply of " +
             std::to_wstring(reply.size()) + L" characters, " + (refusal ? refusal : L"accepted"));
    if (!refusal && TrustServer(reply)) {
      ui_.SetCaption(ControlId::Label_www, std::move(reply));
      return true;
    }
  }
  return false;
}

// The index and its signature are fetched from the server the reply names,
// joined as the downloads will be; nothing is kept unless both are sound and
// the index names this product and that server as the requests will name it,
// with a serial this build accepts, unexpired by this computer's clock.
bool FrmUpdate::TrustServer(const std::wstring& serverUrl) {
  index_.clear();
  if (!indexKey_) return true;
  const auto refuse = [&](const std::wstring& why) {
    sys_.Log(L"server " + serverUrl + L" not used: " + why);
    return false;
  };
  const std::wstring indexUrl = serverUrl + Widen(kIndexServerPath);
  const auto index = inet2_.FetchBytes(indexUrl, kMaxIndexBytes);
  if (!index) return refuse(L"no index, " + TransferText(indexUrl, inet2_.LastTransfer()));
  const std::wstring signatureUrl = serverUrl + Widen(kSignatureServerPath);
  const auto der = inet2_.FetchBytes(signatureUrl, kMaxSignatureBytes);
  if (!der) return refuse(L"no signature, " + TransferText(signatureUrl, inet2_.LastTransfer()));
  const auto signature = DerToRawSignature(*der);
  if (!signature) return refuse(L"the signature is not a DER ECDSA signature");
  if (!sys_.VerifySignature(*indexKey_, *index, *signature)) return refuse(L"the index is not signed by the built-in key");
  if (index->starts_with("norq-index 1\n")) {
    return refuse(L"the signed index is of version 1, which names no product, base address, serial or expiry");
  }
  auto parsed = ParseIndex(*index, ManifestServerPaths());
  if (!parsed) return refuse(L"the signed index is not a version 2 index listing the manifest's files");
  const std::wstring why = IndexRefusal(parsed->header, policy_, RequestAddress(serverUrl), sys_.UtcNow());
  if (!why.empty()) return refuse(why);
  index_ = std::move(parsed->lines);
  sys_.Log(L"server " + serverUrl + L": its signed index verifies, serial " + std::to_wstring(parsed->header.serial) +
           L", valid until " + Widen(FormatUtcTime(parsed->header.expires)));
  return true;
}

}  // namespace norq
