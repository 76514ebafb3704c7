#pragma once
// Finding the download server: the two pointer pages name it, and in a build
// with a key its signed index must vouch for it before it is used.
#include <optional>
#include <string>
#include <vector>

#include "platform/Inet.h"
#include "platform/System.h"
#include "trust/IndexPolicy.h"
#include "trust/Signature.h"
#include "trust/TreeIndex.h"

namespace norq {

// What a server must show before it is used. Without a key, a pointer reply
// of the right form is enough.
struct ServerTrust {
  std::optional<P256PublicKey> key;
  IndexPolicy policy;
  std::vector<std::string> serverPaths;  // what its index must list, in this order
};

struct FoundServer {
  std::wstring url;              // the accepted pointer reply, exactly as it came
  std::vector<IndexLine> index;  // its verified index's lines in serverPaths' order; empty without a key
};

// Asks the primary pointer page and, only when that fails, the secondary one;
// a server whose index does not verify counts as a failed page. `pointerFetch`
// is the transfer component the pages and the index are fetched with.
std::optional<FoundServer> DiscoverServer(System& system, Inet& pointerFetch, const ServerTrust& trust);

}  // namespace norq
