#pragma once
// The system folder, and the DLLs loaded from it. DLLs that are not known
// DLLs (wininet.dll, bcrypt.dll) are loaded at run time from there only. A static import would be resolved before
// the program's first line runs, with the program's own folder searched
// first: a DLL planted beside the installer would run as administrator.
#include <windows.h>

#include <wininet.h>
#include <bcrypt.h>

#include <string>

namespace norq::win32 {

// The Windows system folder as the shell names it, for every use: where the
// components go and where a DLL is loaded from. The empty text when the shell
// names none.
std::wstring SystemFolder();

// The system folder's DLL of this name; throws RuntimeError when it cannot be
// loaded or lacks one of the functions asked for. Loaded once and kept for
// the life of the process: a worker left behind may still call into it.
struct WinInetApi {
  decltype(&::InternetOpenW) InternetOpenW;
  decltype(&::InternetConnectW) InternetConnectW;
  decltype(&::InternetCloseHandle) InternetCloseHandle;
  decltype(&::InternetSetOptionW) InternetSetOptionW;
  decltype(&::InternetQueryOptionW) InternetQueryOptionW;
  decltype(&::InternetSetStatusCallbackW) InternetSetStatusCallbackW;
  decltype(&::InternetCrackUrlW) InternetCrackUrlW;
  decltype(&::InternetQueryDataAvailable) InternetQueryDataAvailable;
  decltype(&::InternetReadFile) InternetReadFile;
  decltype(&::HttpOpenRequestW) HttpOpenRequestW;
  decltype(&::HttpSendRequestW) HttpSendRequestW;
  decltype(&::HttpQueryInfoW) HttpQueryInfoW;
};
const WinInetApi& WinInet();

// Windows 7's bcrypt.dll: no BCryptHash, so hashing goes through a hash object.
struct BCryptApi {
  decltype(&::BCryptOpenAlgorithmProvider) BCryptOpenAlgorithmProvider;
  decltype(&::BCryptCloseAlgorithmProvider) BCryptCloseAlgorithmProvider;
  decltype(&::BCryptGetProperty) BCryptGetProperty;
  decltype(&::BCryptCreateHash) BCryptCreateHash;
  decltype(&::BCryptHashData) BCryptHashData;
  decltype(&::BCryptFinishHash) BCryptFinishHash;
  decltype(&::BCryptDestroyHash) BCryptDestroyHash;
  decltype(&::BCryptImportKeyPair) BCryptImportKeyPair;
  decltype(&::BCryptDestroyKey) BCryptDestroyKey;
  decltype(&::BCryptVerifySignature) BCryptVerifySignature;
  decltype(&::BCryptGenRandom) BCryptGenRandom;
};
const BCryptApi& BCrypt();

}  // namespace norq::win32
