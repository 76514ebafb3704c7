#pragma once
// The ten files the installer puts in place. The table is the one source for
// the installer and for the tool that lays out the server's file tree.
#include <array>
#include <string>
#include <vector>

namespace norq {

struct ManifestEntry {
  const wchar_t* kind;         // "Z": shared component in the system folder; else the setup program
  const wchar_t* serverPath;   // appended to the server address
  const wchar_t* displayName;  // the local file name
};

inline constexpr wchar_t kComponentKind[] = L"Z";
inline constexpr wchar_t kSetupFileTail[] = L"\\norq_setup.exe";

inline constexpr std::array<ManifestEntry, 10> kManifestEntries = {{
    {L"Z", L"/Soft/System/comcat.txt", L"comcat.dll"},
    {L"Z", L"/Soft/System/MCI32.txt", L"MCI32.OCX"},
    {L"Z", L"/Soft/System/stdole2.txt", L"stdole2.tlb"},
    {L"Z", L"/Soft/System/shdocvwdll.txt", L"shdocvw.dll"},
    {L"Z", L"/Soft/System/shdocvwoca.txt", L"shdocvw.oca"},
    {L"Z", L"/Soft/System/msxml3.txt", L"msxml3.dll"},
    {L"Z", L"/Soft/System/MSINET.txt", L"MSINET.OCX"},
    {L"Z", L"/Soft/System/COMDLG32.txt", L"COMDLG32.OCX"},
    {L"Z", L"/Soft/System/MSADODC.txt", L"MSADODC.OCX"},
    {L"Y", L"/norq/Soft/norq_setup.txt", L"norq_setup.exe"},
}};

// The system folder with one trailing backslash: added when missing, never
// doubled; an empty folder gives "\" alone.
std::wstring SystemPrefix(const std::wstring& systemDir);

// The setup program's local path: the installer's folder and "\norq_setup.exe",
// joined without looking for a backslash.
std::wstring SetupPath(const std::wstring& appPath);

// The four manifest texts: each a run of "|" and one entry's value.
struct ManifestLists {
  std::wstring types, urls, names, paths;
};
ManifestLists MakeManifestLists(const std::wstring& serverUrl, const std::wstring& systemDir,
                                const std::wstring& appPath);

// Cuts a list at every "|": n separators give n + 1 elements, element 0 being
// what stands before the first one.
std::vector<std::wstring> SplitList(const std::wstring& list);

}  // namespace norq
