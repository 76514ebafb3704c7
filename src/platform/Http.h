#pragma once
// What a request and its reply mean to the installer, whoever carries them:
// the address asked for, which replies count, a reply's headers and declared
// length, and the line the support log keeps of a transfer.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Inet.h"

namespace norq {

// The address a request is made for: control characters (a pointer page's
// trailing line break, carried into every download address) are removed, as
// browsers do when they parse an address. Everything else is left as it is.
std::wstring RequestAddress(const std::wstring& url);

// Whether an address is https (the scheme in any letter case).
bool IsSecureAddress(const std::wstring& url);

// Only a 2xx reply carries the body asked for; a redirect WinINet did not
// follow, a client or a server error is a failed request.
bool StatusSucceeds(std::uint32_t status);

// A response's headers as the transfer keeps them.
using Headers = std::vector<std::pair<std::wstring, std::wstring>>;

// Without leading and trailing blanks and tabs.
std::wstring Trim(const std::wstring& text);
// Header names match in any letter case. Names are ASCII tokens, so only
// ASCII letters fold: no other character can pass for a letter of a name.
bool SameName(const std::wstring& a, const std::wstring& b);
// The first header of that name, or the empty text.
std::wstring FindHeader(const Headers& headers, const std::wstring& name);
// The headers of a raw block of CR LF separated lines, the status line first.
// Each "name: value" line gives one header, both trimmed, the value keeping any
// colon of its own; a line without a colon is skipped, and the last line
// counts whether or not a CR LF ends it.
Headers ParseHeaderBlock(const std::wstring& raw);

// The declared length of a response from its "Content-length" text: blanks,
// tabs and line feeds are skipped, reading stops at the first other character
// that cannot continue the number; an empty, non-numeric or negative text
// gives 0, which means "unknown".
std::int64_t ParseContentLength(const std::wstring& text);

// A request's outcome in one line of the support log: the address, the status,
// the declared and received lengths, how long it took, and for a failure its
// category (FailureCategory) and what failed.
std::wstring TransferText(const std::wstring& url, const TransferFacts& facts);
// What went wrong: its kind with its code, then the failed call or the reason.
std::wstring FailureText(const TransferFacts& facts);

}  // namespace norq
