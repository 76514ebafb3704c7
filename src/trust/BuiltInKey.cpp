// Compiled into each installer program on its own, so that the key is a
// property of the program and not of the shared logic.
#include "trust/Signature.h"

namespace norq {

std::optional<P256PublicKey> BuiltInIndexKey() {
#ifdef NORQ_INDEX_KEY_PEM
  // The build checked the key when it was configured. Should it still not
  // read, the all-zero key verifies no signature: never an unkeyed installer.
  return PublicKeyFromPem(NORQ_INDEX_KEY_PEM).value_or(P256PublicKey{});
#else
  return std::nullopt;
#endif
}

}  // namespace norq
