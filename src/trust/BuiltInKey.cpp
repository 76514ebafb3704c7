// Compiled into each installer program on its own, so that the key and what
// it asks of an index are properties of the program and not of the shared
// logic: a second build with another minimum serial recompiles only this file.
#include "trust/IndexPolicy.h"
#include "trust/Signature.h"

#ifndef NORQ_PRODUCT_NAME
#error "The build defines NORQ_PRODUCT_NAME, the product every signed index must name"
#endif
#ifndef NORQ_MIN_INDEX_SERIAL
#error "The build defines NORQ_MIN_INDEX_SERIAL, the lowest index serial the program accepts"
#endif

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

IndexPolicy BuiltInIndexPolicy() { return {NORQ_PRODUCT_NAME, NORQ_MIN_INDEX_SERIAL}; }

}  // namespace norq
