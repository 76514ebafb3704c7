#include "platform/win32/WinInetTransfer.h"

#include <algorithm>
#include <atomic>

#include "platform/ContentLength.h"
#include "platform/Url.h"
#include "platform/win32/Ansi.h"
#include "platform/win32/Cng.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/WinError.h"

#ifndef NORQ_NET_TIMEOUT_MS
#error "The build defines NORQ_NET_TIMEOUT_MS, the bound on each network step"
#endif

namespace norq::win32 {

namespace {

constexpr DWORD kTimeoutMs = NORQ_NET_TIMEOUT_MS;
// WinINet's own time-outs do not bound every step everywhere (Wine ignores the
// connect time-out), so a watchdog ends a request that has heard nothing for
// a little longer than they would wait. WinINet reports each network read,
// which keeps a slow but living link from looking stalled.
constexpr ULONGLONG kWatchdogMs = kTimeoutMs + 500;
constexpr UINT kWatchdogPeriodMs = 250;
constexpr UINT_PTR kWatchdogTimer = 1;
constexpr UINT kStateMessage = WM_APP + 1;
constexpr UINT kProgressMessage = WM_APP + 2;
// Small network reads cost dearly under Wine (1 KB reads: 30x slower than 1 MB).
constexpr DWORD kNetworkReadSize = 1024 * 1024;
constexpr ULONGLONG kQuickReadMs = 100;
constexpr ULONGLONG kSlowReadMs = 400;
// Callers read the body in pieces of 1 KB, millions of times.
constexpr DWORD kSpoolReadSize = 256 * 1024;
// A pointer page is a few dozen characters; anything longer is refused anyway.
constexpr std::size_t kTextCap = 4096;
// A blocking request (a pointer page, the tree's index) ends by then however
// it trickles: a host sending a byte every few seconds never looks stalled.
constexpr ULONGLONG kBlockingDeadlineMs = 2 * kTimeoutMs;
// How long the destructor waits for a cancelled worker before leaving it behind.
constexpr DWORD kJoinMs = 500;
constexpr wchar_t kWindowClass[] = L"NorqInetTransferWindow";

struct InternetHandleTraits {
  using Type = HINTERNET;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { WinInet().InternetCloseHandle(h); }
};
using UniqueInternet = Unique<InternetHandleTraits>;

std::wstring NoDataText() { return L"no data within " + std::to_wstring(kWatchdogMs) + L" ms"; }

std::int16_t StateOf(DWORD status) {
  switch (status) {
    case INTERNET_STATUS_RESOLVING_NAME: return icResolvingHost;
    case INTERNET_STATUS_NAME_RESOLVED: return icHostResolved;
    case INTERNET_STATUS_CONNECTING_TO_SERVER: return icConnecting;
    case INTERNET_STATUS_CONNECTED_TO_SERVER: return icConnected;
    case INTERNET_STATUS_SENDING_REQUEST: return icRequesting;
    case INTERNET_STATUS_REQUEST_SENT: return icRequestSent;
    case INTERNET_STATUS_RECEIVING_RESPONSE: return icReceivingResponse;
    case INTERNET_STATUS_RESPONSE_RECEIVED: return icResponseReceived;
    case INTERNET_STATUS_CLOSING_CONNECTION: return icDisconnecting;
    case INTERNET_STATUS_CONNECTION_CLOSED: return icDisconnected;
    default: return icNone;
  }
}

std::wstring Trim(const std::wstring& text) {
  const auto first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

using Headers = std::vector<std::pair<std::wstring, std::wstring>>;

std::wstring FindHeader(const Headers& headers, const std::wstring& name) {
  for (const auto& [key, value] : headers) {
    if (SameName(key, name)) return value;
  }
  return {};
}

}  // namespace

struct WinInetTransfer::Request {
  // Fixed before the worker starts.
  HWND window = nullptr;
  std::uint32_t generation = 0;
  std::wstring url;
  std::wstring verb;
  std::wstring agent;
  bool download = false;  // Execute: spooled and reported; OpenURL: a short text, silent
  std::size_t textCap = kTextCap;  // a blocking request reads at most this much
  BodyCheck check;        // what a spooled body must pass
  UniqueHandle done;      // set once the outcome below is complete

  std::atomic<DWORD> workerThread{0};
  std::atomic<bool> cancelled{false};
  std::atomic<bool> ended{false};  // whoever sets it reports the request's end, once
  std::atomic<ULONGLONG> lastActivity{0};
  std::atomic<std::uint64_t> received{0};
  std::atomic<std::uint64_t> declared{0};
  std::atomic<std::uint32_t> status{0};
  ULONGLONG started = 0;
  std::atomic<bool> progressPending{false};

  // The worker's own record of what it posted, to keep the queue short.
  std::int16_t lastPosted = icNone;
  bool responseSeen = false;
  bool quiet = false;

  // Closed by the worker at the end, or by the GUI thread to abort a blocking call.
  SRWLOCK handleLock = SRWLOCK_INIT;
  UniqueInternet session;
  UniqueInternet connection;
  UniqueInternet request;

  // The outcome, complete before `ended` is claimed or `done` is set.
  bool succeeded = false;
  std::wstring failure;
  Headers headers;
  UniqueFile spool;
  std::string text;

  void Post(UINT message, LPARAM value) const {
    if (!cancelled) ::PostMessageW(window, message, generation, value);
  }

  void PostState(std::int16_t state) {
    if (state == lastPosted) return;
    // Each network read repeats "receiving"/"received"; after the first
    // response they would only make the status line flicker.
    if ((state == icReceivingResponse || state == icResponseReceived) && responseSeen) return;
    if (state == icResponseReceived) responseSeen = true;
    lastPosted = state;
    Post(kStateMessage, state);
  }

  void Touch() { lastActivity = ::GetTickCount64(); }

  // Keeps a new handle where the GUI thread can close it; false if the request
  // was cancelled meanwhile, and then the handle is closed at once.
  bool Keep(UniqueInternet& slot, UniqueInternet handle) {
    ::AcquireSRWLockExclusive(&handleLock);
    const bool keep = !cancelled;
    if (keep) slot = std::move(handle);
    ::ReleaseSRWLockExclusive(&handleLock);
    return keep;
  }

  // Closed outside the lock: under Wine a close reads on while the body
  // still flows, and the GUI thread must never wait for that.
  void CloseHandles() {
    ::AcquireSRWLockExclusive(&handleLock);
    // Destroyed last to first: the request, its connection, the session.
    UniqueInternet closing[] = {std::move(session), std::move(connection), std::move(request)};
    ::ReleaseSRWLockExclusive(&handleLock);
  }

  void Cancel() {
    cancelled = true;
    CloseHandles();
  }

  bool Fail(const wchar_t* call) {
    failure = std::wstring(call) + L": Win32 code " + std::to_wstring(::GetLastError());
    return false;
  }

  // Read once the outcome is complete, or with a failure of the reader's own.
  TransferFacts Facts(std::wstring why) const {
    return {status, declared, received, static_cast<std::uint32_t>(::GetTickCount64() - started), std::move(why)};
  }
};

namespace {

using Request = WinInetTransfer::Request;

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  auto* request = reinterpret_cast<Request*>(context);
  request->Touch();
  // Closing from the GUI thread also reports here; only the worker posts.
  if (::GetCurrentThreadId() != request->workerThread) return;
  const std::int16_t state = StateOf(status);
  if (state == icNone || !request->download || request->quiet || request->ended) return;
  request->PostState(state);
}

UniqueFile CreateSpool() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return {};
  wchar_t name[MAX_PATH];
  if (!::GetTempFileNameW(folder, L"nrq", 0, name)) return {};
  UniqueFile file(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(name);
    ::SetLastError(error);
  }
  return file;
}

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

Headers ResponseHeaders(HINTERNET request) {
  DWORD bytes = 0;
  WinInet().HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &bytes, nullptr);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return {};
  std::wstring raw(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(raw.size() * sizeof(wchar_t));
  if (!WinInet().HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, raw.data(), &bytes, nullptr)) return {};
  raw.resize(bytes / sizeof(wchar_t));

  Headers headers;
  std::size_t start = raw.find(L"\r\n");  // the status line carries no header
  while (start != std::wstring::npos) {
    start += 2;
    const std::size_t end = raw.find(L"\r\n", start);
    const std::wstring line = raw.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    const std::size_t colon = line.find(L':');
    if (colon != std::wstring::npos) headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    start = end;
  }
  return headers;
}

bool WriteAll(HANDLE file, const std::uint8_t* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(file, data, size, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// The body into the spool file, the count posted as it grows.
bool Spool(Request& r, HINTERNET request) {
  UniqueFile file = CreateSpool();
  if (!file) return r.Fail(L"CreateFileW (spool)");
  // Hashed as it arrives: the body is checked before anyone sees it.
  Sha256 hash;
  if (r.check.pinned && !hash.Start()) return r.Fail(L"BCryptCreateHash");
  std::string head;
  std::vector<std::uint8_t> buffer(kNetworkReadSize);
  std::uint64_t total = 0;
  DWORD ahead = 0;  // bytes a read may wait for beyond what has arrived
  for (;;) {
    // A read returns only when its buffer is full, so its size follows the
    // link: whatever has arrived plus what the last reads showed the link
    // brings in a moment. A fast link is read in 1 MB pieces (small reads cost
    // dearly under Wine), a slow one in what has arrived, so the count moves.
    DWORD available = 0;
    if (!WinInet().InternetQueryDataAvailable(request, &available, 0, 0)) return r.Fail(L"InternetQueryDataAvailable");
    if (r.cancelled) return false;
    const DWORD wanted = available == 0 ? kNetworkReadSize : std::min(std::max(available, ahead), kNetworkReadSize);
    const ULONGLONG before = ::GetTickCount64();
    DWORD got = 0;
    if (!WinInet().InternetReadFile(request, buffer.data(), wanted, &got)) return r.Fail(L"InternetReadFile");
    if (r.cancelled) return false;
    const ULONGLONG took = ::GetTickCount64() - before;
    if (took < kQuickReadMs && got == wanted) ahead = std::min(std::max(ahead, got) * 2, kNetworkReadSize);
    if (took > kSlowReadMs) ahead /= 4;
    if (got == 0) break;
    if (!WriteAll(file.get(), buffer.data(), got)) return r.Fail(L"WriteFile (spool)");
    if (r.check.pinned && !hash.Add(buffer.data(), got)) return r.Fail(L"BCryptHashData");
    if (head.size() < 2) head.append(reinterpret_cast<const char*>(buffer.data()), std::min<DWORD>(got, 2));
    total += got;
    r.received = total;
    r.Touch();
    // One progress message at a time: the window reads the latest count when
    // it gets to it, so a fast body cannot fill the queue.
    if (!r.progressPending.exchange(true)) r.Post(kProgressMessage, 0);
  }
  if (r.declared != 0 && total < r.declared) {
    r.failure = L"body shorter than its Content-Length";
    return false;
  }
  Sha256Digest digest{};
  if (r.check.pinned && !hash.Finish(digest)) return r.Fail(L"BCryptFinishHash");
  if (!BodyPasses(r.check, total, head, r.check.pinned ? &digest : nullptr)) {
    r.failure = L"body refused: empty, not a program, or not as the signed index lists it";
    return false;
  }
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return r.Fail(L"SetFilePointerEx (spool)");
  r.spool = std::move(file);
  return true;
}

bool ReadText(Request& r, HINTERNET request) {
  std::string text;
  char buffer[1024];
  while (text.size() < r.textCap) {
    DWORD got = 0;
    if (!WinInet().InternetReadFile(request, buffer, sizeof buffer, &got)) return r.Fail(L"InternetReadFile");
    if (got == 0) break;
    r.Touch();
    text.append(buffer, got);
    r.received = text.size();
  }
  // A capped reply is refused by its reader anyway; only a complete one is checked.
  if (text.size() < r.textCap && r.declared != 0 && text.size() < r.declared) {
    r.failure = L"body shorter than its Content-Length";
    return false;
  }
  r.text = std::move(text);
  return true;
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

bool Transfer(Request& r) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = 1;
  parts.dwUserNameLength = 1;
  parts.dwPasswordLength = 1;
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!WinInet().InternetCrackUrlW(r.url.c_str(), static_cast<DWORD>(r.url.size()), 0, &parts)) {
    return r.Fail(L"InternetCrackUrlW");
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    r.failure = L"not an http address";
    return false;
  }
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
  const HINTERNET requestHandle = request.get();
  if (!r.Keep(r.request, std::move(request))) return false;

  if (!SetTimeouts(requestHandle)) return r.Fail(L"InternetSetOptionW");
  if (!WinInet().HttpSendRequestW(requestHandle, nullptr, 0, nullptr, 0)) return r.Fail(L"HttpSendRequestW");
  if (r.cancelled) return false;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS && !StillSecure(requestHandle)) {
    r.failure = L"redirected from https to another scheme";
    return false;
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinInet().HttpQueryInfoW(requestHandle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    return r.Fail(L"HttpQueryInfoW");
  }
  r.status = status;
  r.headers = ResponseHeaders(requestHandle);
  r.declared = static_cast<std::uint64_t>(ParseContentLength(FindHeader(r.headers, L"Content-Length")));
  if (status < 200 || status > 299) {
    r.failure = L"HTTP status " + std::to_wstring(status);
    return false;
  }
  return r.download ? Spool(r, requestHandle) : ReadText(r, requestHandle);
}

DWORD WINAPI Work(void* parameter) {
  // The worker's own share of the request: it lives until this thread is done with it.
  const std::unique_ptr<std::shared_ptr<Request>> share(static_cast<std::shared_ptr<Request>*>(parameter));
  Request& r = **share;
  r.workerThread = ::GetCurrentThreadId();
  bool ok = false;
  try {
    ok = Transfer(r);
  } catch (...) {  // nothing may leave a thread; a failure is a failed request
    r.failure = L"unexpected failure";
  }
  r.succeeded = ok;
  r.quiet = true;  // closing our own handles below is not news
  // The outcome is complete: report it before closing, which may take a while.
  if (r.download && !r.ended.exchange(true)) r.Post(kStateMessage, ok ? icResponseCompleted : icError);
  ::SetEvent(r.done.get());
  r.CloseHandles();
  return 0;
}

}  // namespace

WinInetTransfer::WinInetTransfer(std::wstring agent) : agent_(std::move(agent)) {
  (void)WinInet();  // loaded here, on the GUI thread, where a failure can be reported
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  if (!::RegisterClassExW(&windowClass)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_CLASS_ALREADY_EXISTS) ThrowError(ErrorNumber::InternalError, L"RegisterClassExW", kWindowClass, error);
  }
  window_.reset(::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this));
  if (!window_) ThrowError(ErrorNumber::InternalError, L"CreateWindowExW", kWindowClass, ::GetLastError());
}

WinInetTransfer::~WinInetTransfer() {
  UniqueHandle worker = std::move(worker_);
  Abandon();
  // Closing its handles ends a blocking call on Windows; Wine lets the call
  // run to its own end, and then the worker is left behind with its own share
  // of the request, posting nothing.
  if (worker) ::WaitForSingleObject(worker.get(), kJoinMs);
  window_.reset();  // before the members its messages would reach
}

std::shared_ptr<WinInetTransfer::Request> WinInetTransfer::Start(const std::wstring& url, const std::wstring& verb,
                                                                 bool download, UniqueHandle& worker,
                                                                 std::size_t textCap) {
  auto request = std::make_shared<Request>();
  request->window = window_.get();
  request->generation = generation_;
  request->url = RequestAddress(url);
  request->verb = verb.empty() ? L"GET" : verb;
  request->agent = agent_;
  request->download = download;
  request->textCap = textCap;
  if (download) request->check = std::exchange(expected_, BodyCheck{});
  request->Touch();
  request->started = ::GetTickCount64();
  request->done.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!request->done) ThrowError(ErrorNumber::InternalError, L"CreateEventW", {}, ::GetLastError());
  auto* share = new std::shared_ptr<Request>(request);
  worker.reset(::CreateThread(nullptr, 0, Work, share, 0, nullptr));
  if (!worker) {
    const DWORD error = ::GetLastError();
    delete share;
    ThrowError(ErrorNumber::InternalError, L"CreateThread", url, error);
  }
  return request;
}

void WinInetTransfer::Abandon() {
  ++generation_;  // whatever the old request still has in the queue is dropped
  if (window_) ::KillTimer(window_.get(), kWatchdogTimer);
  if (current_) current_->Cancel();
  current_.reset();
  worker_.reset();
}

void WinInetTransfer::DropResponse() {
  headers_.clear();
  spool_.reset();
  chunkBuffer_.clear();
  chunkPos_ = 0;
}

void WinInetTransfer::Execute(const std::wstring& url, const std::wstring& operation) {
  Abandon();
  DropResponse();
  current_ = Start(url, operation, true, worker_, kTextCap);
  if (!::SetTimer(window_.get(), kWatchdogTimer, kWatchdogPeriodMs, nullptr)) {
    const DWORD error = ::GetLastError();
    Abandon();
    ThrowError(ErrorNumber::InternalError, L"SetTimer", url, error);
  }
}

void WinInetTransfer::ExpectBody(BodyCheck check) { expected_ = std::move(check); }

std::wstring WinInetTransfer::OpenURL(const std::wstring& url) {
  const auto request = Block(url, kTextCap);
  return request ? FromAnsi(request->text) : std::wstring();
}

std::optional<std::string> WinInetTransfer::FetchBytes(const std::wstring& url, std::size_t cap) {
  // One byte beyond the cap tells a body that is too long from one that fits.
  const auto request = Block(url, cap + 1);
  if (!request) return std::nullopt;
  if (request->text.size() > cap) {
    last_.failure = L"longer than " + std::to_wstring(cap) + L" bytes";
    return std::nullopt;
  }
  return std::move(request->text);
}

std::shared_ptr<WinInetTransfer::Request> WinInetTransfer::Block(const std::wstring& url, std::size_t cap) {
  UniqueHandle worker;
  const auto request = Start(url, L"GET", false, worker, cap);
  const HANDLE done = request->done.get();
  // The loop relies only on its own share of the request: a message handled in
  // it may run any event, one that starts another request on this object too.
  for (;;) {
    const DWORD wait = ::MsgWaitForMultipleObjectsEx(1, &done, kWatchdogPeriodMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (wait == WAIT_OBJECT_0) break;
    if (wait == WAIT_FAILED) {
      last_ = request->Facts(L"MsgWaitForMultipleObjectsEx: Win32 code " + std::to_wstring(::GetLastError()));
      request->Cancel();
      return {};
    }
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        last_ = request->Facts(L"the program is ending");
        request->Cancel();
        ::PostQuitMessage(static_cast<int>(message.wParam));  // the caller's loop must still see it
        return {};
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    const ULONGLONG now = ::GetTickCount64();
    const bool pastDeadline = now - request->started >= kBlockingDeadlineMs;
    if (pastDeadline || now - request->lastActivity >= kWatchdogMs) {
      last_ = request->Facts(pastDeadline ? L"no whole reply within the overall deadline" : NoDataText());
      request->Cancel();
      return {};
    }
  }
  last_ = request->Facts(request->failure);
  if (!request->succeeded) return {};
  return request;
}

std::wstring WinInetTransfer::GetHeader(const std::wstring& name) {
  return FindHeader(headers_, name);
}

std::vector<std::uint8_t> WinInetTransfer::GetChunk(std::int32_t size) {
  std::vector<std::uint8_t> piece;
  if (size <= 0 || !spool_) return piece;
  const auto wanted = static_cast<std::size_t>(size);
  piece.reserve(wanted);
  while (piece.size() < wanted) {
    if (chunkPos_ == chunkBuffer_.size()) {
      chunkBuffer_.resize(kSpoolReadSize);
      DWORD got = 0;
      if (!::ReadFile(spool_.get(), chunkBuffer_.data(), kSpoolReadSize, &got, nullptr)) {
        ThrowFileError(L"ReadFile", L"(downloaded body)", ::GetLastError());
      }
      chunkBuffer_.resize(got);
      chunkPos_ = 0;
      if (got == 0) break;
    }
    const std::size_t take = std::min(wanted - piece.size(), chunkBuffer_.size() - chunkPos_);
    const auto from = chunkBuffer_.begin() + static_cast<std::ptrdiff_t>(chunkPos_);
    piece.insert(piece.end(), from, from + static_cast<std::ptrdiff_t>(take));
    chunkPos_ += take;
  }
  return piece;
}

TransferFacts WinInetTransfer::LastTransfer() const { return last_; }

LRESULT CALLBACK WinInetTransfer::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<WinInetTransfer*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self) {
    switch (message) {
      case kStateMessage:
        self->OnState(static_cast<std::uint32_t>(wparam), static_cast<std::int16_t>(lparam));
        return 0;
      case kProgressMessage:
        self->OnProgress(static_cast<std::uint32_t>(wparam));
        return 0;
      case WM_TIMER:
        if (wparam == kWatchdogTimer) self->OnWatchdog();
        return 0;
      default:
        break;
    }
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void WinInetTransfer::OnState(std::uint32_t generation, std::int16_t state) {
  if (generation != generation_ || !current_) return;
  if (state == icResponseCompleted || state == icError) {
    const std::shared_ptr<Request> finished = std::move(current_);
    Abandon();
    last_ = finished->Facts(finished->failure);
    if (state == icResponseCompleted) {
      headers_ = std::move(finished->headers);
      spool_ = std::move(finished->spool);
    }
  }
  // Last: the handler may start the next request from here.
  if (StateChanged) StateChanged(state);
}

void WinInetTransfer::OnProgress(std::uint32_t generation) {
  if (generation != generation_ || !current_) return;
  current_->progressPending = false;
  const std::uint64_t received = current_->received;
  const std::uint64_t declared = current_->declared;
  if (BytesReceived) BytesReceived(received, declared);
}

void WinInetTransfer::OnWatchdog() {
  if (!current_) return;
  if (::GetTickCount64() - current_->lastActivity < kWatchdogMs) return;
  if (current_->ended.exchange(true)) return;  // the worker's own end is already queued
  last_ = current_->Facts(NoDataText());
  Abandon();
  if (StateChanged) StateChanged(icError);
}

}  // namespace norq::win32
