#include "startup/ServerDiscovery.h"

#include "core/Text.h"
#include "platform/Http.h"
#include "startup/PointerReply.h"
#include "trust/UtcTime.h"

namespace norq {

namespace {
// A DER signature of P-256 is at most 72 bytes.
constexpr std::size_t kMaxSignatureBytes = 256;

// The index and its signature are fetched from the server the reply names,
// joined as the downloads will be; nothing is kept unless both are sound and
// the index names this product and that server as the requests will name it,
// with a serial this build accepts, unexpired by this computer's clock.
std::optional<std::vector<IndexLine>> VerifiedIndex(System& system, Inet& fetch, const ServerTrust& trust,
                                                    const std::wstring& serverUrl) {
  const auto refuse = [&](const std::wstring& why) -> std::optional<std::vector<IndexLine>> {
    system.Log(L"server " + serverUrl + L" not used: " + why);
    return std::nullopt;
  };
  const std::wstring indexUrl = serverUrl + Widen(kIndexServerPath);
  const auto index = fetch.FetchBytes(indexUrl, kMaxIndexBytes);
  if (!index) return refuse(L"no index, " + TransferText(indexUrl, fetch.LastTransfer()));
  const std::wstring signatureUrl = serverUrl + Widen(kSignatureServerPath);
  const auto der = fetch.FetchBytes(signatureUrl, kMaxSignatureBytes);
  if (!der) return refuse(L"no signature, " + TransferText(signatureUrl, fetch.LastTransfer()));
  const auto signature = DerToRawSignature(*der);
  if (!signature) return refuse(L"the signature is not a DER ECDSA signature");
  if (!system.VerifySignature(*trust.key, *index, *signature)) return refuse(L"the index is not signed by the built-in key");
  if (index->starts_with("norq-index 1\n")) {
    return refuse(L"the signed index is of version 1, which names no product, base address, serial or expiry");
  }
  auto parsed = ParseIndex(*index, trust.serverPaths);
  if (!parsed) return refuse(L"the signed index is not a version 2 index listing the manifest's files");
  const std::wstring why = IndexRefusal(parsed->header, trust.policy, RequestAddress(serverUrl), system.UtcNow());
  if (!why.empty()) return refuse(why);
  system.Log(L"server " + serverUrl + L": its signed index verifies, serial " + std::to_wstring(parsed->header.serial) +
             L", valid until " + Widen(FormatUtcTime(parsed->header.expires)));
  return std::move(parsed->lines);
}
}  // namespace

std::optional<FoundServer> DiscoverServer(System& system, Inet& pointerFetch, const ServerTrust& trust) {
  for (const auto& url : {PrimaryPointerUrl(), SecondaryPointerUrl()}) {
    std::wstring reply = pointerFetch.OpenURL(url);
    const wchar_t* refusal = RefusalOf(reply);
    system.Log(L"pointer page " + TransferText(url, pointerFetch.LastTransfer()) + L", reply of " +
               std::to_wstring(reply.size()) + L" characters, " + (refusal ? refusal : L"accepted"));
    if (refusal) continue;
    if (!trust.key) return FoundServer{std::move(reply), {}};
    if (auto index = VerifiedIndex(system, pointerFetch, trust, reply)) return FoundServer{std::move(reply), std::move(*index)};
  }
  return std::nullopt;
}

}  // namespace norq
