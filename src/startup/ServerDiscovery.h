#pragma once
#include <string>

namespace norq {

// The pointer pages whose body is the download server's base address. Their
// hosts are compiled in (NORQ_PRIMARY_HOST, NORQ_SECONDARY_HOST).
std::wstring PrimaryPointerUrl();
std::wstring SecondaryPointerUrl();

// A reply of 16 to 49 characters, taken as it came (a trailing line break
// counts and stays). A "|" would split the manifest's address list against the
// other lists and fetch a component from another entry's address, so a reply
// holding one is refused like a page of the wrong length.
bool IsAcceptedReply(const std::wstring& reply);
// Why a reply is refused, for the support log; nullptr when it is accepted.
const wchar_t* RefusalOf(const std::wstring& reply);

}  // namespace norq
