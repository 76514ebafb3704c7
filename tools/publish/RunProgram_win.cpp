#include "tools/publish/RunProgram.h"

#include <windows.h>

#include <memory>
#include <stdexcept>

namespace norq::publish {

namespace {
struct CloseHandleDeleter {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, CloseHandleDeleter>;

std::runtime_error Failure(const std::string& what) {
  return std::runtime_error(what + " (error " + std::to_string(::GetLastError()) + ")");
}
}  // namespace

int RunProgram(const std::vector<std::filesystem::path>& argv) {
  std::vector<std::wstring> args;
  for (const auto& arg : argv) args.push_back(arg.wstring());
  std::wstring line = WindowsCommandLine(args);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    throw Failure("cannot start " + argv[0].string());
  }
  const Handle process(started.hProcess), thread(started.hThread);
  DWORD code = 0;
  if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !::GetExitCodeProcess(process.get(), &code)) {
    throw Failure("cannot wait for " + argv[0].string());
  }
  return static_cast<int>(code);
}

}  // namespace norq::publish
