// The end-to-end tests' eyes and hands: a second Wine process in the
// installer's prefix that reads its windows the way a user or a screen reader
// does (captions, texts, visibility, boxes) and closes them or presses a
// message box's button. It never links the installer's code, so it sees only
// what is on the screen.
//
// Results go to files: Wine's standard output reaches a test through pipes
// that stay open as long as the wineserver lives.
//
//   probe dump TITLE OUTFILE       the top-level window with that caption, all descendants
//   probe msgbox TITLE OUTFILE     a visible message box with that title: text and buttons
//   probe press-ok TITLE           press OK on that message box (or close it)
//   probe press TITLE ID           press the button with control id ID on that message box
//   probe click TITLE ID           click the button with control id ID in that window
//   probe close TITLE              post WM_CLOSE to that window
//   probe windows OUTFILE          visible top-level windows: title, class, pid
//   probe info OUTFILE             code pages, DPI and screen size of this session
//
// Exit code: 0 found, 1 not found, 2 usage or system error.
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
constexpr UINT kReplyTimeoutMs = 2000;
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageBoxStaticId = 0xFFFF;

class ProbeError : public std::runtime_error {
 public:
  ProbeError(const char* call, DWORD error)
      : std::runtime_error(std::string(call) + " failed, error " + std::to_string(error)) {}
};

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw ProbeError("WideCharToMultiByte", ::GetLastError());
  std::string out(static_cast<size_t>(size), '\0');
  size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  if (size <= 0) throw ProbeError("WideCharToMultiByte", ::GetLastError());
  return out;
}

// Control characters are escaped so that a test sees a label's line breaks exactly.
std::string JsonString(std::wstring_view text) {
  std::string out = "\"";
  for (char c : Utf8(text)) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonRect(const RECT& r) {
  return "{\"left\": " + std::to_string(r.left) + ", \"top\": " + std::to_string(r.top) +
         ", \"right\": " + std::to_string(r.right) + ", \"bottom\": " + std::to_string(r.bottom) +
         ", \"width\": " + std::to_string(r.right - r.left) + ", \"height\": " + std::to_string(r.bottom - r.top) + "}";
}

const char* JsonBool(bool value) { return value ? "true" : "false"; }

void WriteFileUtf8(const std::wstring& path, const std::string& content) {
  norq::win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw ProbeError("CreateFileW", ::GetLastError());
  DWORD written = 0;
  if (!::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
      written != content.size()) {
    throw ProbeError("WriteFile", ::GetLastError());
  }
}

// A window of another process answers WM_GETTEXT from its own thread; a hung
// installer must not hang the probe.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReplyTimeoutMs, &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kReplyTimeoutMs, &copied)) {
    return {};
  }
  text.resize(copied);
  return text;
}

// The caption as the window manager holds it: no message to the owner.
std::wstring CaptionOf(HWND window) {
  int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied < 0 ? 0 : copied));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  if (::GetClassNameW(window, name, 256) == 0) return {};
  return name;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  if (!::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows))) {
    throw ProbeError("EnumWindows", ::GetLastError());
  }
  return windows;
}

// EnumChildWindows walks every descendant, parents before their children.
std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> windows;
  ::EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

enum class Kind { Any, MessageBox, NotMessageBox };

// A visible window wins over a hidden one of the same caption.
HWND FindTopLevel(std::wstring_view title, Kind kind) {
  HWND hidden = nullptr;
  for (HWND window : TopLevelWindows()) {
    if (CaptionOf(window) != title) continue;
    bool dialog = ClassOf(window) == kDialogClass;
    if ((kind == Kind::MessageBox && !dialog) || (kind == Kind::NotMessageBox && dialog)) continue;
    if (::IsWindowVisible(window)) return window;
    if (!hidden) hidden = window;
  }
  return kind == Kind::MessageBox ? nullptr : hidden;
}

HWND FindChild(HWND window, int id) {
  for (HWND child : Descendants(window)) {
    if (::GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  return pid;
}

RECT WindowRect(HWND window) {
  RECT r{};
  if (!::GetWindowRect(window, &r)) throw ProbeError("GetWindowRect", ::GetLastError());
  return r;
}

RECT ClientRectOnScreen(HWND window) {
  RECT r{};
  if (!::GetClientRect(window, &r)) throw ProbeError("GetClientRect", ::GetLastError());
  POINT origin{0, 0};
  if (!::ClientToScreen(window, &origin)) throw ProbeError("ClientToScreen", ::GetLastError());
  ::OffsetRect(&r, origin.x, origin.y);
  return r;
}

int Dump(std::wstring_view title, const std::wstring& out) {
  HWND main = FindTopLevel(title, Kind::NotMessageBox);
  if (!main) {
    WriteFileUtf8(out, "{\"found\": false}\n");
    return kNotFound;
  }
  RECT client = ClientRectOnScreen(main);
  std::string json = "{\"found\": true, \"title\": " + JsonString(CaptionOf(main)) +
                     ", \"class\": " + JsonString(ClassOf(main)) + ", \"pid\": " + std::to_string(ProcessOf(main)) +
                     ", \"visible\": " + JsonBool(::IsWindowVisible(main)) +
                     ", \"enabled\": " + JsonBool(::IsWindowEnabled(main)) +
                     ", \"style\": " + std::to_string(::GetWindowLongW(main, GWL_STYLE)) +
                     ", \"window\": " + JsonRect(WindowRect(main)) + ", \"client\": " + JsonRect(client) +
                     ", \"controls\": [";
  bool first = true;
  for (HWND child : Descendants(main)) {
    RECT r = WindowRect(child);
    ::OffsetRect(&r, -client.left, -client.top);
    HWND parent = ::GetParent(child);
    int parentId = (parent == nullptr || parent == main) ? 0 : ::GetDlgCtrlID(parent);
    LONG style = ::GetWindowLongW(child, GWL_STYLE);
    json += first ? "\n  " : ",\n  ";
    first = false;
    json += "{\"id\": " + std::to_string(::GetDlgCtrlID(child)) + ", \"class\": " + JsonString(ClassOf(child)) +
            ", \"text\": " + JsonString(TextOf(child)) + ", \"visible\": " + JsonBool(::IsWindowVisible(child)) +
            ", \"own_visible\": " + JsonBool((style & WS_VISIBLE) != 0) +
            ", \"enabled\": " + JsonBool(::IsWindowEnabled(child)) + ", \"style\": " + std::to_string(style) +
            ", \"parent\": " + std::to_string(parentId) + ", \"rect\": " + JsonRect(r) + "}";
  }
  json += "]}\n";
  WriteFileUtf8(out, json);
  return kFound;
}

int MessageBoxText(std::wstring_view title, const std::wstring& out) {
  HWND box = FindTopLevel(title, Kind::MessageBox);
  if (!box) {
    WriteFileUtf8(out, "{\"found\": false}\n");
    return kNotFound;
  }
  std::wstring text;
  std::string buttons;
  for (HWND child : Descendants(box)) {
    int id = ::GetDlgCtrlID(child);
    if (id == kMessageBoxStaticId && ClassOf(child) == L"Static") {
      text = TextOf(child);
    } else if (ClassOf(child) == L"Button" && ::IsWindowVisible(child)) {
      if (!buttons.empty()) buttons += ", ";
      buttons += "{\"id\": " + std::to_string(id) + ", \"text\": " + JsonString(TextOf(child)) + "}";
    }
  }
  WriteFileUtf8(out, "{\"found\": true, \"title\": " + JsonString(CaptionOf(box)) + ", \"text\": " +
                         JsonString(text) + ", \"pid\": " + std::to_string(ProcessOf(box)) +
                         ", \"window\": " + JsonRect(WindowRect(box)) + ", \"buttons\": [" + buttons + "]}\n");
  return kFound;
}

void PostOrThrow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!::PostMessageW(window, message, wParam, lParam)) throw ProbeError("PostMessageW", ::GetLastError());
}

// The dialog answers WM_COMMAND from the button exactly as if it had been clicked.
int PressMessageBoxButton(std::wstring_view title, int id) {
  HWND box = FindTopLevel(title, Kind::MessageBox);
  if (!box) return kNotFound;
  HWND button = FindChild(box, id);
  if (!button) {
    if (id != IDOK) return kNotFound;
    PostOrThrow(box, WM_CLOSE, 0, 0);
    return kFound;
  }
  PostOrThrow(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return kFound;
}

int ClickButton(std::wstring_view title, int id) {
  HWND main = FindTopLevel(title, Kind::NotMessageBox);
  if (!main) return kNotFound;
  HWND button = FindChild(main, id);
  if (!button) return kNotFound;
  PostOrThrow(button, BM_CLICK, 0, 0);
  return kFound;
}

int Close(std::wstring_view title) {
  HWND window = FindTopLevel(title, Kind::Any);
  if (!window) return kNotFound;
  PostOrThrow(window, WM_CLOSE, 0, 0);
  return kFound;
}

int Windows(const std::wstring& out) {
  std::string json = "{\"windows\": [";
  bool first = true;
  for (HWND window : TopLevelWindows()) {
    if (!::IsWindowVisible(window)) continue;
    json += first ? "\n  " : ",\n  ";
    first = false;
    json += "{\"title\": " + JsonString(CaptionOf(window)) + ", \"class\": " + JsonString(ClassOf(window)) +
            ", \"pid\": " + std::to_string(ProcessOf(window)) + ", \"window\": " + JsonRect(WindowRect(window)) + "}";
  }
  json += "]}\n";
  WriteFileUtf8(out, json);
  return kFound;
}

int Info(const std::wstring& out) {
  HDC screen = ::GetDC(nullptr);
  if (!screen) throw ProbeError("GetDC", ::GetLastError());
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  WriteFileUtf8(out, "{\"acp\": " + std::to_string(::GetACP()) + ", \"oemcp\": " + std::to_string(::GetOEMCP()) +
                         ", \"dpi\": " + std::to_string(dpi) +
                         ", \"screen_width\": " + std::to_string(::GetSystemMetrics(SM_CXSCREEN)) +
                         ", \"screen_height\": " + std::to_string(::GetSystemMetrics(SM_CYSCREEN)) + "}\n");
  return kFound;
}

int ParseId(const wchar_t* text) {
  wchar_t* end = nullptr;
  long value = std::wcstol(text, &end, 0);
  if (end == text || *end != L'\0') throw std::invalid_argument("control id is not a number");
  return static_cast<int>(value);
}

int Usage() {
  std::fputs("usage: probe dump|msgbox TITLE OUTFILE | press-ok|close TITLE | press|click TITLE ID |"
             " windows|info OUTFILE\n",
             stderr);
  return kFailed;
}

int Run(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring_view command = argv[1];
  if (command == L"dump" && argc == 4) return Dump(argv[2], argv[3]);
  if (command == L"msgbox" && argc == 4) return MessageBoxText(argv[2], argv[3]);
  if (command == L"press-ok" && argc == 3) return PressMessageBoxButton(argv[2], IDOK);
  if (command == L"press" && argc == 4) return PressMessageBoxButton(argv[2], ParseId(argv[3]));
  if (command == L"click" && argc == 4) return ClickButton(argv[2], ParseId(argv[3]));
  if (command == L"close" && argc == 3) return Close(argv[2]);
  if (command == L"windows" && argc == 3) return Windows(argv[2]);
  if (command == L"info" && argc == 3) return Info(argv[2]);
  return Usage();
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
