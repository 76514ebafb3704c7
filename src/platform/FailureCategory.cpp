#include "platform/FailureCategory.h"

#include <algorithm>
#include <initializer_list>

#include "core/Win32Values.h"
#include "platform/Http.h"

namespace norq {

namespace {

bool OneOf(std::uint32_t code, std::initializer_list<std::uint32_t> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Certificates and the secure channel itself: on Windows 7 the channel most
// often fails because TLS 1.2 is not turned on for WinINet.
bool IsTlsCode(std::uint32_t code) {
  return OneOf(code, {kErrorInternetSecCertDateInvalid, kErrorInternetSecCertCnInvalid,
                      kErrorInternetClientAuthCertNeeded, kErrorInternetInvalidCa, kErrorInternetClientAuthNotSetup,
                      kErrorInternetSecCertErrors, kErrorInternetSecCertNoRev, kErrorInternetSecCertRevFailed,
                      kErrorInternetSecurityChannelError, kErrorInternetSecInvalidCert, kErrorInternetSecCertRevoked});
}

FailureKind KindOfCall(const TransferFacts& facts) {
  const std::uint32_t code = facts.win32Code;
  if (OneOf(code, {kErrorInternetNameNotResolved, kWsaHostNotFound, kWsaTryAgain, kWsaNoData})) {
    return FailureKind::NameNotResolved;
  }
  if (IsTlsCode(code)) return FailureKind::Tls;
  if (OneOf(code, {kErrorInternetCannotConnect, kErrorInternetServerUnreachable, kErrorInternetProxyServerUnreachable,
                   kWsaConnectionRefused, kWsaNetUnreachable, kWsaHostUnreachable})) {
    return FailureKind::NoConnection;
  }
  // A time-out after the connection was made is the server or the line
  // going quiet; one before it, a connection that never came.
  if (OneOf(code, {kErrorInternetTimeout, kWsaTimedOut})) {
    return facts.connected || facts.status ? FailureKind::Stall : FailureKind::NoConnection;
  }
  // A connection that breaks once the reply has begun leaves its body short.
  if (OneOf(code, {kErrorInternetConnectionAborted, kErrorInternetConnectionReset, kWsaConnectionAborted,
                   kWsaConnectionReset})) {
    return facts.status ? FailureKind::ShortBody : FailureKind::NoConnection;
  }
  return FailureKind::Other;
}

const wchar_t* NameOf(FailureKind kind) {
  switch (kind) {
    case FailureKind::None: return L"";
    case FailureKind::NameNotResolved: return L"name not resolved";
    case FailureKind::NoConnection: return L"connection refused or timed out";
    case FailureKind::Tls: return L"TLS failure";
    case FailureKind::ProxyLogin: return L"proxy asks for a login";
    case FailureKind::HttpStatus: return L"HTTP status";
    case FailureKind::Stall: return L"stall";
    case FailureKind::ShortBody: return L"short body";
    case FailureKind::WebPage: return L"a web page where a program was expected";
    case FailureKind::BodyRefused: return L"body refused";
    case FailureKind::Other: return L"other";
  }
  return L"other";
}

}  // namespace

FailureKind KindOf(const TransferFacts& facts) {
  switch (facts.cause) {
    case FailureCause::None: return FailureKind::None;
    case FailureCause::Call: return KindOfCall(facts);
    case FailureCause::Status:
      if (facts.status == 407) return FailureKind::ProxyLogin;
      // "Network Authentication Required": a captive portal that says so.
      if (facts.status == 511) return FailureKind::WebPage;
      return FailureKind::HttpStatus;
    case FailureCause::ShortBody: return FailureKind::ShortBody;
    case FailureCause::Silent: return facts.connected || facts.status ? FailureKind::Stall : FailureKind::NoConnection;
    case FailureCause::WebPage: return FailureKind::WebPage;
    case FailureCause::Refused: return FailureKind::BodyRefused;
    case FailureCause::Other: return FailureKind::Other;
  }
  return FailureKind::Other;
}

std::wstring FailureCategory(const TransferFacts& facts) {
  const FailureKind kind = KindOf(facts);
  if (kind == FailureKind::None) return {};
  if (kind == FailureKind::HttpStatus) return L"HTTP status " + std::to_wstring(facts.status);
  std::wstring text = NameOf(kind);
  std::wstring code;
  if (facts.cause == FailureCause::Status) code = L"HTTP " + std::to_wstring(facts.status);
  if (facts.cause == FailureCause::Call && facts.win32Code) code = L"Win32 code " + std::to_wstring(facts.win32Code);
  if (kind == FailureKind::Tls) {
    code += std::wstring(code.empty() ? L"" : L"; ") + L"on Windows 7, TLS 1.2 may be off in Internet Options";
  }
  if (!code.empty()) text += L" (" + code + L")";
  return text;
}

bool LooksLikeWebPage(std::string_view head, const std::wstring& contentType) {
  const std::wstring type = Trim(contentType.substr(0, contentType.find(L';')));
  if (SameName(type, L"text/html") || SameName(type, L"application/xhtml+xml")) return true;
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  const auto first = head.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && head[first] == '<';
}

}  // namespace norq
