#include "platform/win32/InetConnection.h"

#include "core/Win32Values.h"
#include "platform/Http.h"
#include "platform/TransferRules.h"
#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {

// Set on the session and again on the request: Wine takes a request's
// receive time-out only from the request itself.
bool SetTimeouts(HINTERNET handle) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                       INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
    DWORD value = kTimeoutMs;
    if (!WinInet().InternetSetOptionW(handle, option, &value, sizeof value)) return false;
  }
  return true;
}

// Each status the callback hears, by the system's own name, and the state it
// stands for; a status that is no step of the request is no state.
static_assert(StateOf(INTERNET_STATUS_RESOLVING_NAME) == icResolvingHost);
static_assert(StateOf(INTERNET_STATUS_NAME_RESOLVED) == icHostResolved);
static_assert(StateOf(INTERNET_STATUS_CONNECTING_TO_SERVER) == icConnecting);
static_assert(StateOf(INTERNET_STATUS_CONNECTED_TO_SERVER) == icConnected);
static_assert(StateOf(INTERNET_STATUS_SENDING_REQUEST) == icRequesting);
static_assert(StateOf(INTERNET_STATUS_REQUEST_SENT) == icRequestSent);
static_assert(StateOf(INTERNET_STATUS_RECEIVING_RESPONSE) == icReceivingResponse);
static_assert(StateOf(INTERNET_STATUS_RESPONSE_RECEIVED) == icResponseReceived);
static_assert(StateOf(INTERNET_STATUS_CLOSING_CONNECTION) == icDisconnecting);
static_assert(StateOf(INTERNET_STATUS_CONNECTION_CLOSED) == icDisconnected);
static_assert(StateOf(INTERNET_STATUS_HANDLE_CREATED) == icNone && StateOf(INTERNET_STATUS_HANDLE_CLOSING) == icNone &&
              StateOf(INTERNET_STATUS_REQUEST_COMPLETE) == icNone && StateOf(INTERNET_STATUS_REDIRECT) == icNone);

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  auto* r = reinterpret_cast<InetRequest*>(context);
  r->Touch();
  if (status == INTERNET_STATUS_CONNECTED_TO_SERVER) r->connected = true;
  // Closing from the GUI thread also reports here; only the worker posts.
  if (::GetCurrentThreadId() != r->workerThread) return;
  if (!r->download || r->quiet || r->ended) return;
  const std::int16_t state = StateOf(status);
  if (r->posted.Pass(state)) r->Post(kStateMessage, state);
}


// Whether an https request still ended at an https address after WinINet
// followed its redirects: a body that came over http could be anyone's.
bool StillSecure(HINTERNET request) {
  DWORD bytes = 0;
  WinInet().InternetQueryOptionW(request, INTERNET_OPTION_URL, nullptr, &bytes);
  if (bytes == 0) return false;
  std::wstring url(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(url.size() * sizeof(wchar_t));
  if (!WinInet().InternetQueryOptionW(request, INTERNET_OPTION_URL, url.data(), &bytes)) return false;
  return IsSecureAddress(url);
}

// The failures of the option that ServerAuthUnsupported takes for a WinINet
// that does not know it.
static_assert(kErrorNotSupported == ERROR_NOT_SUPPORTED && kErrorInvalidParameter == ERROR_INVALID_PARAMETER &&
              kErrorCallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED &&
              kErrorInternetInvalidOption == ERROR_INTERNET_INVALID_OPTION &&
              kErrorInternetBadOptionLength == ERROR_INTERNET_BAD_OPTION_LENGTH &&
              kErrorInternetIncorrectHandleType == ERROR_INTERNET_INCORRECT_HANDLE_TYPE);

// The codes FailureCategory sorts a failed call's Win32 code by.
static_assert(kErrorInternetTimeout == ERROR_INTERNET_TIMEOUT &&
              kErrorInternetNameNotResolved == ERROR_INTERNET_NAME_NOT_RESOLVED &&
              kErrorInternetCannotConnect == ERROR_INTERNET_CANNOT_CONNECT &&
              kErrorInternetConnectionAborted == ERROR_INTERNET_CONNECTION_ABORTED &&
              kErrorInternetConnectionReset == ERROR_INTERNET_CONNECTION_RESET &&
              kErrorInternetServerUnreachable == ERROR_INTERNET_SERVER_UNREACHABLE &&
              kErrorInternetProxyServerUnreachable == ERROR_INTERNET_PROXY_SERVER_UNREACHABLE);
static_assert(kErrorInternetSecCertDateInvalid == ERROR_INTERNET_SEC_CERT_DATE_INVALID &&
              kErrorInternetSecCertCnInvalid == ERROR_INTERNET_SEC_CERT_CN_INVALID &&
              kErrorInternetClientAuthCertNeeded == ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED &&
              kErrorInternetInvalidCa == ERROR_INTERNET_INVALID_CA &&
              kErrorInternetClientAuthNotSetup == ERROR_INTERNET_CLIENT_AUTH_NOT_SETUP &&
              kErrorInternetSecCertErrors == ERROR_INTERNET_SEC_CERT_ERRORS &&
              kErrorInternetSecCertNoRev == ERROR_INTERNET_SEC_CERT_NO_REV &&
              kErrorInternetSecCertRevFailed == ERROR_INTERNET_SEC_CERT_REV_FAILED &&
              kErrorInternetSecurityChannelError == ERROR_INTERNET_SECURITY_CHANNEL_ERROR &&
              kErrorInternetSecInvalidCert == ERROR_INTERNET_SEC_INVALID_CERT &&
              kErrorInternetSecCertRevoked == ERROR_INTERNET_SEC_CERT_REVOKED);
static_assert(kWsaNetUnreachable == WSAENETUNREACH && kWsaConnectionAborted == WSAECONNABORTED &&
              kWsaConnectionReset == WSAECONNRESET && kWsaTimedOut == WSAETIMEDOUT &&
              kWsaConnectionRefused == WSAECONNREFUSED && kWsaHostUnreachable == WSAEHOSTUNREACH &&
              kWsaHostNotFound == WSAHOST_NOT_FOUND && kWsaTryAgain == WSATRY_AGAIN && kWsaNoData == WSANO_DATA);

// The user's Windows logon goes to no server, whose name the network gave
// (see ServerAuthUnsupported in platform/TransferRules.h); a proxy of the
// user's settings still gets it.
bool KeepLogonFromServer(InetRequest& r, HINTERNET request) {
  if (WinInet().InternetSetOptionW(request, INTERNET_OPTION_SUPPRESS_SERVER_AUTH, nullptr, 0)) return true;
  const DWORD error = ::GetLastError();
  if (!ServerAuthUnsupported(error)) return r.Fail(L"InternetSetOptionW");
  r.note = L"this WinINet cannot keep the logon from servers (Win32 code " + std::to_wstring(error) +
           L"); going on without";
  return true;
}

// The session, the connection and the request, each kept where the GUI
// thread can close it; false when one failed or the request was cancelled.
bool Open(InetRequest& r, const URL_COMPONENTSW& parts, HINTERNET& requestHandle) {
  auto part = [](const wchar_t* text, DWORD length) { return text ? std::wstring(text, length) : std::wstring(); };
  const std::wstring host = part(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring user = part(parts.lpszUserName, parts.dwUserNameLength);
  const std::wstring password = part(parts.lpszPassword, parts.dwPasswordLength);
  // The path goes out exactly as written: the servers publish paths such as "//Soft/...".
  std::wstring path = part(parts.lpszUrlPath, parts.dwUrlPathLength) + part(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  UniqueInternet session(WinInet().InternetOpenW(r.agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return r.Fail(L"InternetOpenW");
  if (!SetTimeouts(session.get())) return r.Fail(L"InternetSetOptionW");
  // One attempt: each retry would add another whole time-out to the wait.
  DWORD retries = 1;
  if (!WinInet().InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries)) {
    return r.Fail(L"InternetSetOptionW");
  }
  if (WinInet().InternetSetStatusCallbackW(session.get(), OnStatus) == INTERNET_INVALID_STATUS_CALLBACK) {
    return r.Fail(L"InternetSetStatusCallbackW");
  }
  const HINTERNET sessionHandle = session.get();
  if (!r.Keep(r.session, std::move(session))) return false;

  const auto context = reinterpret_cast<DWORD_PTR>(&r);
  UniqueInternet connection(WinInet().InternetConnectW(sessionHandle, host.c_str(), parts.nPort,
                                                       user.empty() ? nullptr : user.c_str(),
                                                       password.empty() ? nullptr : password.c_str(),
                                                       INTERNET_SERVICE_HTTP, 0, context));
  if (!connection) return r.Fail(L"InternetConnectW");
  const HINTERNET connectionHandle = connection.get();
  if (!r.Keep(r.connection, std::move(connection))) return false;

  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  UniqueInternet request(WinInet().HttpOpenRequestW(connectionHandle, r.verb.c_str(), path.c_str(), nullptr, nullptr,
                                                    nullptr, flags, context));
  if (!request) return r.Fail(L"HttpOpenRequestW");
  requestHandle = request.get();
  if (!r.Keep(r.request, std::move(request))) return false;
  if (!SetTimeouts(requestHandle)) return r.Fail(L"InternetSetOptionW");
  return KeepLogonFromServer(r, requestHandle);
}

}  // namespace

Headers ResponseHeaders(HINTERNET request) {
  DWORD bytes = 0;
  WinInet().HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &bytes, nullptr);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return {};
  std::wstring raw(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(raw.size() * sizeof(wchar_t));
  if (!WinInet().HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, raw.data(), &bytes, nullptr)) return {};
  raw.resize(bytes / sizeof(wchar_t));
  return ParseHeaderBlock(raw);
}

TryEnd Ask(InetRequest& r, const URL_COMPONENTSW& parts, const std::wstring& headers, HINTERNET& request) {
  const auto broken = [&r](const wchar_t* call) {
    r.Fail(call);
    return r.cancelled ? TryEnd::Final : TryEnd::FailedTry;
  };
  if (!Open(r, parts, request)) return r.cancelled ? TryEnd::Final : TryEnd::FailedTry;
  if (!WinInet().HttpSendRequestW(request, headers.empty() ? nullptr : headers.c_str(),
                                  static_cast<DWORD>(headers.size()), nullptr, 0)) {
    return broken(L"HttpSendRequestW");
  }
  if (r.cancelled) return TryEnd::Final;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS && !StillSecure(request)) {
    r.Refuse(FailureCause::Other, L"redirected from https to another scheme");
    return TryEnd::Final;
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinInet().HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    return broken(L"HttpQueryInfoW");
  }
  r.status = status;
  return TryEnd::Done;
}

}  // namespace norq::win32
