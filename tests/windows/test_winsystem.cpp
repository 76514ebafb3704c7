// Runs the real seam against a folder of its own. The exe doubles as the
// child processes the process tests need (see wmain).
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/RuntimeError.h"
#include "platform/win32/Handles.h"
#include "platform/win32/WinSystem.h"

using namespace norq;
using namespace norq::win32;

namespace {

struct Tally {
  int passed = 0;
  int failed = 0;
  void Check(bool ok, const char* what, int line, const std::wstring& note = {}) {
    if (ok) {
      ++passed;
    } else {
      ++failed;
      std::printf("FAILED line %d: %s %ls\n", line, what, note.c_str());
    }
  }
};
#define CHECK(t, cond, ...) (t).Check((cond), #cond, __LINE__ __VA_OPT__(, ) __VA_ARGS__)

std::optional<ErrorNumber> ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const RuntimeError& error) {
    return error.Number();
  }
  return std::nullopt;
}

void PutBytes(const std::wstring& path, const std::string& bytes) {
  UniqueFile file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file || !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    std::printf("cannot prepare %ls\n", path.c_str());
}

std::string GetBytes(const std::wstring& path) {
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  char block[65536];
  DWORD read = 0;
  while (file && ::ReadFile(file.get(), block, sizeof block, &read, nullptr) && read > 0) bytes.append(block, read);
  return bytes;
}

int CountMatches(const std::wstring& pattern) {
  WIN32_FIND_DATAW entry{};
  UniqueFind search(::FindFirstFileW(pattern.c_str(), &entry));
  if (!search) return 0;
  int count = 1;
  while (::FindNextFileW(search.get(), &entry)) ++count;
  return count;
}

bool WaitForFile(const std::wstring& path) {
  for (int i = 0; i < 150; ++i, ::Sleep(100))
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

void PureDecisions(Tally& t) {
  const struct {
    const wchar_t* line;
    const wchar_t* bare;
  } lines[] = {
      {L"cmd.exe /c regsvr32/s \"C:\\a b\\x.ocx\"", L"cmd.exe"},
      {L"  \"cmd.exe\" /c", L"cmd.exe"},
      {L"regsvr32", L"regsvr32"},
      {L"C:\\Windows\\system32\\cmd.exe /c", L""},
      {L"\"C:\\Program Files\\x.exe\" a", L""},
      {L".\\cmd.exe", L""},
      {L"sub/cmd.exe", L""},
      {L"C:cmd.exe", L""},
      {L"", L""},
      {L"\"\" x", L""},
  };
  for (const auto& c : lines) CHECK(t, BareProgramName(c.line) == c.bare, c.line);
  CHECK(t, SystemProgramPath(L"C:\\windows\\system32", L"cmd.exe") == L"C:\\windows\\system32\\cmd.exe");
  CHECK(t, SystemProgramPath(L"C:\\", L"regsvr32") == L"C:\\regsvr32.exe");

  const struct {
    const wchar_t* module;
    const wchar_t* folder;
  } modules[] = {
      {L"C:\\a\\b.exe", L"C:\\a"},
      {L"C:\\b.exe", L"C:\\"},
      {L"\\\\srv\\share\\b.exe", L"\\\\srv\\share"},
      {L"\\\\?\\C:\\b.exe", L"\\\\?\\C:\\"},
      {L"\\\\?\\C:\\x\\b.exe", L"\\\\?\\C:\\x"},
  };
  for (const auto& c : modules) CHECK(t, FolderOfModule(c.module) == c.folder, c.module);
}

void Existence(Tally& t, WinSystem& sys, const std::wstring& dir) {
  // Whether each file is found under the masks 0 to 7, in that order.
  const struct {
    const wchar_t* name;
    DWORD attributes;
    const char* found;
  } files[] = {
      {L"plain.dat", FILE_ATTRIBUTE_NORMAL, "11111111"},
      {L"ro.dat", FILE_ATTRIBUTE_READONLY, "11111111"},
      {L"hid.dat", FILE_ATTRIBUTE_HIDDEN, "00110011"},
      {L"sys.dat", FILE_ATTRIBUTE_SYSTEM, "00001111"},
      {L"hs.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, "00000011"},
      {L"dir", FILE_ATTRIBUTE_DIRECTORY, "00000000"},
  };
  for (const auto& f : files) {
    const std::wstring path = dir + L"\\" + f.name;
    if (f.attributes == FILE_ATTRIBUTE_DIRECTORY) {
      ::CreateDirectoryW(path.c_str(), nullptr);
    } else {
      PutBytes(path, "x");
      ::SetFileAttributesW(path.c_str(), f.attributes);
    }
    for (unsigned mask = 0; mask < 8; ++mask)
      CHECK(t, sys.FileExists(path, mask) == (f.found[mask] == '1'), (path + L" mask " + std::to_wstring(mask)));
  }
  CHECK(t, !sys.FileExists(dir + L"\\none.dat", 7));
  CHECK(t, !sys.FileExists(dir + L"\\nodir\\none.dat", 7));
  CHECK(t, !sys.FileExists(L"Q:\\none.dat", 7));  // a drive the PC does not have
}

void TextLines(Tally& t, WinSystem& sys, const std::wstring& dir) {
  CHECK(t, ::GetACP() == 936, L"(run with LANG=zh_CN.UTF-8)");
  const std::wstring path = dir + L"\\line.txt";
  const struct {
    std::string bytes;
    std::wstring line;
  } cases[] = {
      {"abc\r\ndef", L"abc"},
      {"abc\rdef", L"abc"},
      {"abc\ndef\n", L"abc\ndef\n"},
      {"abc", L"abc"},
      {"", L""},
      {"\r\nabc", L""},
      {"\xD6\xD0\xCE\xC4 http://x/\r\n", L"\u4E2D\u6587 http://x/"},
      {std::string(200000, 'x') + "\rz", std::wstring(200000, L'x')},
  };
  for (const auto& c : cases) {
    PutBytes(path, c.bytes);
    CHECK(t, sys.ReadTextLine(path) == c.line, c.line.substr(0, 20));
  }
  PutBytes(path, std::string(3 << 20, 'y'));  // not a marker: read is bounded
  CHECK(t, sys.ReadTextLine(path).size() == (1u << 20));
  CHECK(t, ErrorOf([&] { sys.ReadTextLine(dir + L"\\none.txt"); }) == ErrorNumber::FileNotFound);

  sys.WriteTextLine(path, L"\u4E2D\u6587 abc");
  CHECK(t, GetBytes(path) == "\xD6\xD0\xCE\xC4 abc\r\n");
  sys.WriteTextLine(path, L"");
  CHECK(t, GetBytes(path) == "\r\n");
  CHECK(t, ErrorOf([&] { sys.WriteTextLine(dir + L"\\nodir\\x.txt", L"a"); }) == ErrorNumber::PathNotFound);
}

void Targets(Tally& t, WinSystem& sys, const std::wstring& dir) {
  const std::wstring path = dir + L"\\t.bin";
  const std::wstring leftovers = dir + L"\\*.tmp";
  std::string body;
  for (int i = 0; i < (3 << 20) + 1; ++i) body += static_cast<char>(i % 251);
  PutBytes(path, "old");
  {
    auto target = sys.CreateTarget(path);
    for (std::size_t at = 0; at < body.size(); at += 1024)
      target->Append(reinterpret_cast<const std::uint8_t*>(body.data()) + at,
                     std::min<std::size_t>(1024, body.size() - at));
    CHECK(t, GetBytes(path) == "old");  // nothing visible before the commit
    target->Commit();
  }
  CHECK(t, GetBytes(path) == body);
  CHECK(t, CountMatches(leftovers) == 0);

  PutBytes(path, "old");
  {
    auto target = sys.CreateTarget(path);
    target->Append(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
  }
  CHECK(t, GetBytes(path) == "old" && CountMatches(leftovers) == 0);

  // A folder in the target's place cannot be replaced: the commit fails cleanly.
  auto blocked = sys.CreateTarget(dir + L"\\dir");
  blocked->Append(reinterpret_cast<const std::uint8_t*>("abc"), 3);
  CHECK(t, ErrorOf([&] { blocked->Commit(); }).has_value());
  CHECK(t, CountMatches(leftovers) == 0 && sys.FileExists(dir + L"\\dir", 7) == false);
  CHECK(t, ErrorOf([&] { sys.CreateTarget(dir + L"\\nodir\\t.bin"); }) == ErrorNumber::PathNotFound);
}

void Processes(Tally& t, WinSystem& sys, const std::wstring& dir, const std::wstring& self) {
  // A cmd.exe planted beside the program must not be what a bare "cmd.exe" starts.
  const std::wstring planted = sys.AppPath() + L"\\cmd.exe";
  ::CopyFileW(self.c_str(), planted.c_str(), FALSE);
  sys.StartHidden(L"cmd.exe /c echo ok>\"" + dir + L"\\started.txt\"");
  CHECK(t, WaitForFile(dir + L"\\started.txt"));
  CHECK(t, ::GetFileAttributesW((sys.AppPath() + L"\\planted.txt").c_str()) == INVALID_FILE_ATTRIBUTES);
  ::DeleteFileW(planted.c_str());
  ::DeleteFileW((sys.AppPath() + L"\\planted.txt").c_str());
  CHECK(t, ErrorOf([&] { sys.StartHidden(L"no-such-program.exe"); }) == ErrorNumber::FileNotFound);

  PutBytes(dir + L"\\probe.cmd", "@echo ok>\"%~dp0shellopen.txt\"\r\n");
  CHECK(t, sys.ShellOpen(dir + L"\\probe.cmd") > 32);
  CHECK(t, WaitForFile(dir + L"\\shellopen.txt"));
  CHECK(t, sys.ShellOpen(dir + L"\\none.cmd") <= 32);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  std::wstring line = L"\"" + self + L"\" --sleep";
  if (::CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
    UniqueHandle process(child.hProcess), thread(child.hThread);
    CHECK(t, sys.EndProcess(child.dwProcessId) == EndProcessResult::Ended);
    CHECK(t, ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0);  // gone when EndProcess returns
  } else {
    CHECK(t, false, L"cannot start the sleeping child");
  }
  CHECK(t, sys.EndProcess(::GetCurrentProcessId()) == EndProcessResult::CannotOpen);
  CHECK(t, sys.EndProcess(0) == EndProcessResult::CannotOpen);

  const std::wstring title = L"norq window " + std::to_wstring(::GetCurrentProcessId());
  UniqueWindow window(
      ::CreateWindowExW(0, L"STATIC", title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  CHECK(t, sys.FindTopWindow(title) == reinterpret_cast<std::uintptr_t>(window.get()) && window);
  CHECK(t, sys.FindTopWindow(title.substr(1)) == 0);
  CHECK(t, sys.WindowProcessId(sys.FindTopWindow(title)) == ::GetCurrentProcessId());
}

void Folders(Tally& t, WinSystem& sys, const std::wstring& self) {
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  CHECK(t, sys.GetSpecialFolder(37) == system, sys.GetSpecialFolder(37));
  CHECK(t, sys.GetSpecialFolder(0x11).empty());    // "My Computer": an item without a path
  CHECK(t, sys.GetSpecialFolder(0x7777).empty());  // no such folder
  const std::wstring app = sys.AppPath();
  CHECK(t, !app.empty() && app.back() != L'\\' && self.rfind(app + L"\\", 0) == 0, app);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The children the process tests start.
  if (argc > 1 && std::wstring(argv[1]) == L"/c") {  // run as a planted cmd.exe
    PutBytes(WinSystem().AppPath() + L"\\planted.txt", "planted");
    return 0;
  }
  if (argc > 1 && std::wstring(argv[1]) == L"--sleep") {
    ::Sleep(60000);
    return 0;
  }

  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // as the installer's start does
  WinSystem sys;
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring dir = sys.AppPath() + L"\\ws-work-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                           std::to_wstring(::GetTickCount());
  ::CreateDirectoryW(dir.c_str(), nullptr);

  Tally t;
  const std::pair<const char*, std::function<void()>> groups[] = {
      {"pure decisions", [&] { PureDecisions(t); }},        {"existence", [&] { Existence(t, sys, dir); }},
      {"text lines", [&] { TextLines(t, sys, dir); }},      {"targets", [&] { Targets(t, sys, dir); }},
      {"processes", [&] { Processes(t, sys, dir, self); }}, {"folders", [&] { Folders(t, sys, self); }},
  };
  for (const auto& [name, run] : groups) {
    try {
      run();
    } catch (const RuntimeError& error) {
      ++t.failed;
      std::printf("FAILED %s: unexpected error %d: %ls\n", name, static_cast<int>(error.Number()),
                  error.Detail().c_str());
    }
  }
  std::printf("%d passed, %d failed\n", t.passed, t.failed);
  return t.failed == 0 ? 0 : 1;
}
