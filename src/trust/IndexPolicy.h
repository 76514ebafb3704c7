#pragma once
// What a keyed installer asks of a verified index besides its signature: a
// signature alone would let anyone on the network replay any tree the vendor
// ever signed, or serve it from a host of their own that the markers then name.
#include <cstdint>
#include <string>

#include "trust/TreeIndex.h"

namespace norq {

struct IndexPolicy {
  std::string product;          // the index's product must be this one
  std::uint64_t minSerial = 1;  // and its serial at least this
};

// Why a verified index must not be used for a server requested at
// `requestedBase` (the pointer reply as the installer requests it) when this
// computer's clock says `now` (seconds since 1970, UTC); empty when it may.
// An index holds up to the second before its expiry.
std::wstring IndexRefusal(const IndexHeader& header, const IndexPolicy& policy, const std::wstring& requestedBase,
                          std::int64_t now);

// The policy this program was built with: NORQ_PRODUCT_NAME and NORQ_MIN_INDEX_SERIAL.
IndexPolicy BuiltInIndexPolicy();

}  // namespace norq
