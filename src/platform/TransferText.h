#pragma once
#include <string>

#include "platform/Inet.h"

namespace norq {

// A request's outcome in one line of the support log: the address, the status,
// the declared and received lengths, how long it took and why it failed.
std::wstring TransferText(const std::wstring& url, const TransferFacts& facts);

}  // namespace norq
