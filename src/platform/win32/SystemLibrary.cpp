#include "platform/win32/SystemLibrary.h"

#include <shlobj.h>

#include <cstring>

#include "core/RuntimeError.h"
#include "platform/win32/Handles.h"
#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {

// The owner argument is reserved; this is the value the product has always passed.
constexpr INT_PTR kSpecialFolderOwner = 100;

struct ItemListTraits {
  using Type = LPITEMIDLIST;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type list) noexcept { ::CoTaskMemFree(list); }
};
using UniqueItemList = Unique<ItemListTraits>;

HMODULE LoadFromSystemFolder(const wchar_t* name) {
  HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    // A Windows 7 without its 2011 loader update lacks the flag: the full path
    // names the same file, and its own folder is searched for what it imports.
    const std::wstring folder = SystemFolder();
    if (folder.empty()) ThrowError(ErrorNumber::FileNotFound, L"SHGetSpecialFolderLocation", name, 0);
    const std::wstring path = folder + L"\\" + name;
    module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  Check(module, ErrorNumber::FileNotFound, L"LoadLibraryExW", name);
  return module;
}

// Fills one function pointer; the name is the export's.
template <typename Function>
void Bind(HMODULE module, const wchar_t* dll, const char* name, Function& slot) {
  slot = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
  if (slot == nullptr) {
    const DWORD error = ::GetLastError();
    ThrowError(ErrorNumber::FileNotFound, L"GetProcAddress", std::wstring(dll) + L"!" + std::wstring(name, name + std::strlen(name)), error);
  }
}

#define NORQ_BIND(api, dll, module, name) Bind(module, dll, #name, api.name)

WinInetApi LoadWinInet() {
  constexpr wchar_t kDll[] = L"wininet.dll";
  const HMODULE m = LoadFromSystemFolder(kDll);
  WinInetApi api{};
  NORQ_BIND(api, kDll, m, InternetOpenW);
  NORQ_BIND(api, kDll, m, InternetConnectW);
  NORQ_BIND(api, kDll, m, InternetCloseHandle);
  NORQ_BIND(api, kDll, m, InternetSetOptionW);
  NORQ_BIND(api, kDll, m, InternetQueryOptionW);
  NORQ_BIND(api, kDll, m, InternetSetStatusCallbackW);
  NORQ_BIND(api, kDll, m, InternetCrackUrlW);
  NORQ_BIND(api, kDll, m, InternetQueryDataAvailable);
  NORQ_BIND(api, kDll, m, InternetReadFile);
  NORQ_BIND(api, kDll, m, HttpOpenRequestW);
  NORQ_BIND(api, kDll, m, HttpSendRequestW);
  NORQ_BIND(api, kDll, m, HttpQueryInfoW);
  return api;
}

BCryptApi LoadBCrypt() {
  constexpr wchar_t kDll[] = L"bcrypt.dll";
  const HMODULE m = LoadFromSystemFolder(kDll);
  BCryptApi api{};
  NORQ_BIND(api, kDll, m, BCryptOpenAlgorithmProvider);
  NORQ_BIND(api, kDll, m, BCryptCloseAlgorithmProvider);
  NORQ_BIND(api, kDll, m, BCryptGetProperty);
  NORQ_BIND(api, kDll, m, BCryptCreateHash);
  NORQ_BIND(api, kDll, m, BCryptHashData);
  NORQ_BIND(api, kDll, m, BCryptFinishHash);
  NORQ_BIND(api, kDll, m, BCryptDestroyHash);
  NORQ_BIND(api, kDll, m, BCryptImportKeyPair);
  NORQ_BIND(api, kDll, m, BCryptDestroyKey);
  NORQ_BIND(api, kDll, m, BCryptVerifySignature);
  NORQ_BIND(api, kDll, m, BCryptGenRandom);
  return api;
}

#undef NORQ_BIND

}  // namespace

std::wstring SystemFolder() {
  LPITEMIDLIST list = nullptr;
  const HRESULT status = ::SHGetSpecialFolderLocation(reinterpret_cast<HWND>(kSpecialFolderOwner), CSIDL_SYSTEM, &list);
  const UniqueItemList owned(list);
  if (status != S_OK || !owned) return {};
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(owned.get(), path)) return {};
  return path;
}

// Initialised once, on first use, and never changed after.
const WinInetApi& WinInet() {
  static const WinInetApi api = LoadWinInet();
  return api;
}

const BCryptApi& BCrypt() {
  static const BCryptApi api = LoadBCrypt();
  return api;
}

}  // namespace norq::win32
