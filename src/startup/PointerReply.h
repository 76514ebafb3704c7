#pragma once
#include <string>

namespace norq {

// The pointer pages whose body is the download server's base address. Their
// hosts are compiled in (NORQ_PRIMARY_HOST, NORQ_SECONDARY_HOST).
std::wstring PrimaryPointerUrl();
std::wstring SecondaryPointerUrl();

// A reply of 16 to 49 characters, taken as it came (a trailing line break
// counts and stays). "|" has no place in an address (a URL must escape it),
// so a reply holding one is a damaged or foreign page, refused like one of the
// wrong length; the signed index's base address excludes it for the same reason.
bool IsAcceptedReply(const std::wstring& reply);
// Why a reply is refused, for the support log; nullptr when it is accepted.
const wchar_t* RefusalOf(const std::wstring& reply);

}  // namespace norq
