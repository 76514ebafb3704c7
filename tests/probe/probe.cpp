// The end-to-end tests' eyes and hands: a second Wine process in the installer's prefix that
// reads its windows as a user or a screen reader does and closes them or presses a message box's
// OK. It never links the installer's code, so it sees only what is on the screen. Results go to
// files: Wine's standard output reaches a test through pipes that stay open as long as the
// wineserver lives. Exit code: 0 found, 1 not found, 2 usage or system error.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/Handles.h"

namespace {

constexpr int kFound = 0;
constexpr int kNotFound = 1;
constexpr int kFailed = 2;
constexpr UINT kReplyMs = 2000;
constexpr int kMessageBoxStaticId = 0xFFFF;

[[noreturn]] void Fail(const char* call) {
  const DWORD error = ::GetLastError();
  throw std::runtime_error(std::string(call) + " failed, error " + std::to_string(error));
}

// Everything but printable ASCII is escaped, UTF-16 unit by unit as JSON allows, so that a
// test sees a label's line breaks exactly.
std::string Str(std::wstring_view text) {
  std::string out = "\"";
  for (const wchar_t c : text) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
    out += c >= 0x20 && c < 0x7F && c != L'"' && c != L'\\' ? std::string(1, static_cast<char>(c)) : escaped;
  }
  return out + "\"";
}

std::string Num(double value) { return std::to_string(static_cast<long long>(value)); }
std::string Bool(bool value) { return value ? "true" : "false"; }

// A JSON object of name, value pairs; the values are JSON text already.
std::string Object(const std::vector<std::pair<const char*, std::string>>& fields) {
  std::string out = "{";
  for (const auto& [name, value] : fields) out += (out.size() > 1 ? ", \"" : "\"") + std::string(name) + "\": " + value;
  return out + "}";
}

std::string Array(const std::vector<std::string>& items) {
  std::string out = "[";
  for (const auto& item : items) out += (out.size() > 1 ? ",\n  " : "\n  ") + item;
  return out + "]";
}

std::string Rect(const RECT& r) {
  return Object({{"left", Num(r.left)}, {"top", Num(r.top)}, {"right", Num(r.right)}, {"bottom", Num(r.bottom)},
                 {"width", Num(r.right - r.left)}, {"height", Num(r.bottom - r.top)}});
}

int Write(const std::wstring& path, const std::string& json, int result = kFound) {
  norq::win32::UniqueFile file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) Fail("CreateFileW");
  const auto size = static_cast<DWORD>(json.size());
  DWORD written = 0;
  if (!::WriteFile(file.get(), json.data(), size, &written, nullptr) || written != size) Fail("WriteFile");
  return result;
}

int NotFound(const std::wstring& path) { return Write(path, "{\"found\": false}", kNotFound); }

// A window of another process answers WM_GETTEXT from its own thread; a hung
// installer must not hang the probe.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0, copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReplyMs, &length)) return {};
  std::wstring text(length + 1, L'\0');
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kReplyMs, &copied)) {
    copied = 0;
  }
  text.resize(copied);
  return text;
}

std::wstring CaptionOf(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  return ::GetClassNameW(window, name, 256) ? name : L"";
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> WindowsUnder(HWND parent) {
  std::vector<HWND> windows;
  const auto list = reinterpret_cast<LPARAM>(&windows);
  if (parent) {
    ::EnumChildWindows(parent, Collect, list);
  } else if (!::EnumWindows(Collect, list)) {
    Fail("EnumWindows");
  }
  return windows;
}

// A visible window wins over a hidden one of the same caption; a message box counts only when shown.
HWND FindTopLevel(std::wstring_view title, bool messageBox) {
  HWND hidden = nullptr;
  for (HWND window : WindowsUnder(nullptr)) {
    if (CaptionOf(window) != title || (ClassOf(window) == L"#32770") != messageBox) continue;
    if (::IsWindowVisible(window)) return window;
    if (!hidden && !messageBox) hidden = window;
  }
  return hidden;
}

std::string Pid(HWND window) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  return Num(pid);
}

RECT WindowRect(HWND window) {
  RECT r{};
  if (!::GetWindowRect(window, &r)) Fail("GetWindowRect");
  return r;
}

int Dump(std::wstring_view title, const std::wstring& out) {
  HWND main = FindTopLevel(title, false);
  if (!main) return NotFound(out);
  RECT client{};
  POINT origin{0, 0};
  if (!::GetClientRect(main, &client)) Fail("GetClientRect");
  if (!::ClientToScreen(main, &origin)) Fail("ClientToScreen");
  ::OffsetRect(&client, origin.x, origin.y);
  std::vector<std::string> controls;
  for (HWND child : WindowsUnder(main)) {
    RECT r = WindowRect(child);
    ::OffsetRect(&r, -client.left, -client.top);
    HWND parent = ::GetParent(child);
    controls.push_back(Object({{"id", Num(::GetDlgCtrlID(child))}, {"text", Str(TextOf(child))},
                               {"visible", Bool(::IsWindowVisible(child))}, {"enabled", Bool(::IsWindowEnabled(child))},
                               {"parent", Num(parent == main ? 0 : ::GetDlgCtrlID(parent))}, {"rect", Rect(r)}}));
  }
  return Write(out, Object({{"found", "true"}, {"title", Str(CaptionOf(main))}, {"pid", Pid(main)},
                            {"visible", Bool(::IsWindowVisible(main))}, {"window", Rect(WindowRect(main))},
                            {"client", Rect(client)}, {"controls", Array(controls)}}));
}

int MessageBoxText(std::wstring_view title, const std::wstring& out) {
  HWND box = FindTopLevel(title, true);
  if (!box) return NotFound(out);
  std::wstring text;
  std::vector<std::string> buttons;
  for (HWND child : WindowsUnder(box)) {
    const int id = ::GetDlgCtrlID(child);
    if (id == kMessageBoxStaticId && ClassOf(child) == L"Static") {
      text = TextOf(child);
    } else if (ClassOf(child) == L"Button" && ::IsWindowVisible(child)) {
      buttons.push_back(Object({{"id", Num(id)}, {"text", Str(TextOf(child))}}));
    }
  }
  return Write(out, Object({{"found", "true"}, {"title", Str(CaptionOf(box))}, {"text", Str(text)},
                            {"pid", Pid(box)}, {"window", Rect(WindowRect(box))}, {"buttons", Array(buttons)}}));
}

int Post(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  if (!window) return kNotFound;
  if (!::PostMessageW(window, message, wParam, lParam)) Fail("PostMessageW");
  return kFound;
}

// The dialog answers WM_COMMAND from the button exactly as if it had been clicked.
int PressOk(std::wstring_view title) {
  HWND box = FindTopLevel(title, true);
  HWND ok = box ? ::GetDlgItem(box, IDOK) : nullptr;
  return ok ? Post(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok)) : Post(box, WM_CLOSE);
}

// As a user's click: the button presses itself and tells its parent. A disabled or hidden
// button cannot be clicked, so it counts as not found.
int Click(std::wstring_view title, const wchar_t* id) {
  HWND main = FindTopLevel(title, false);
  if (!main) return kNotFound;
  const int wanted = static_cast<int>(std::wcstol(id, nullptr, 10));
  for (HWND child : WindowsUnder(main)) {
    if (::GetDlgCtrlID(child) == wanted && ::IsWindowVisible(child) && ::IsWindowEnabled(child)) {
      return Post(child, BM_CLICK);
    }
  }
  return kNotFound;
}

int Info(const std::wstring& out) {
  std::vector<std::string> windows;
  for (HWND window : WindowsUnder(nullptr)) {
    if (::IsWindowVisible(window)) windows.push_back(Object({{"title", Str(CaptionOf(window))}}));
  }
  return Write(out, Object({{"acp", Num(::GetACP())}, {"screen_width", Num(::GetSystemMetrics(SM_CXSCREEN))},
                            {"screen_height", Num(::GetSystemMetrics(SM_CYSCREEN))}, {"windows", Array(windows)}}));
}

// How long the window takes to answer another program, as a screen reader or
// the system's hung-window check would see it.
constexpr DWORD kAskEveryMs = 25;
constexpr UINT kAnswerBoundMs = 10000;
constexpr double kSlowMs = 50;  // waits at least this long are listed with when they began

double NowMs() {
  LARGE_INTEGER count, frequency;
  ::QueryPerformanceCounter(&count);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int Answer(std::wstring_view title, const wchar_t* seconds, const std::wstring& out) {
  const double end = NowMs() + 1000.0 * std::wcstod(seconds, nullptr);
  Write(out, "{}");  // watching: whoever waits for that may start the window now
  HWND window = nullptr;
  while (!(window = FindTopLevel(title, false))) {
    if (NowMs() > end) return NotFound(out);
    ::Sleep(kAskEveryMs);
  }
  std::vector<std::string> slow;
  const double first = NowMs();
  double longest = 0, asked = 0;
  bool gone = false;
  for (; NowMs() < end; ::Sleep(kAskEveryMs)) {
    const double before = NowMs();
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerBoundMs, &result) &&
        (::GetLastError() == ERROR_INVALID_WINDOW_HANDLE || !::IsWindow(window))) {
      gone = true;
      break;
    }
    const double took = NowMs() - before;
    ++asked;
    if (took >= kSlowMs) slow.push_back("[" + Num(before - first) + ", " + Num(took) + "]");
    if (took > longest) longest = took;
  }
  return Write(out, Object({{"found", "true"}, {"asked", Num(asked)}, {"gone", Bool(gone)}, {"longest_ms", Num(longest)},
                            {"watched_ms", Num(NowMs() - first)}, {"slow", Array(slow)}}));
}

int Run(int argc, wchar_t** argv) {
  const std::wstring_view command = argc > 1 ? argv[1] : L"";
  if (command == L"dump" && argc == 4) return Dump(argv[2], argv[3]);
  if (command == L"msgbox" && argc == 4) return MessageBoxText(argv[2], argv[3]);
  if (command == L"press-ok" && argc == 3) return PressOk(argv[2]);
  if (command == L"close" && argc == 3) return Post(FindTopLevel(argv[2], false), WM_CLOSE);
  if (command == L"click" && argc == 4) return Click(argv[2], argv[3]);
  if (command == L"info" && argc == 3) return Info(argv[2]);
  if (command == L"answer" && argc == 5) return Answer(argv[2], argv[3], argv[4]);
  std::fputs("usage: probe dump|msgbox TITLE OUTFILE | press-ok|close TITLE | info OUTFILE"
             " | click TITLE CONTROL-ID | answer TITLE SECONDS OUTFILE\n", stderr);
  return kFailed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "probe: %s\n", e.what());
    return kFailed;
  }
}
