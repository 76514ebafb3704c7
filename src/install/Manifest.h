#pragma once
// The ten files the installer puts in place, in the order it handles them.
// The table is the one source for the installer and for the tool that lays
// out the server's file tree.
#include <array>
#include <string>
#include <vector>

namespace norq {

enum class EntryKind {
  Component,     // a shared component: kept in the system folder and registered
  SetupProgram,  // the product's setup program: kept beside the installer and started last
};

struct ManifestEntry {
  EntryKind kind;
  const wchar_t* serverPath;  // appended to the server address
  const wchar_t* fileName;    // the local file's name
};

inline constexpr std::array<ManifestEntry, 10> kManifest = {{
    {EntryKind::Component, L"/Soft/System/comcat.txt", L"comcat.dll"},
    {EntryKind::Component, L"/Soft/System/MCI32.txt", L"MCI32.OCX"},
    {EntryKind::Component, L"/Soft/System/stdole2.txt", L"stdole2.tlb"},
    {EntryKind::Component, L"/Soft/System/shdocvwdll.txt", L"shdocvw.dll"},
    {EntryKind::Component, L"/Soft/System/shdocvwoca.txt", L"shdocvw.oca"},
    {EntryKind::Component, L"/Soft/System/msxml3.txt", L"msxml3.dll"},
    {EntryKind::Component, L"/Soft/System/MSINET.txt", L"MSINET.OCX"},
    {EntryKind::Component, L"/Soft/System/COMDLG32.txt", L"COMDLG32.OCX"},
    {EntryKind::Component, L"/Soft/System/MSADODC.txt", L"MSADODC.OCX"},
    {EntryKind::SetupProgram, L"/norq/Soft/norq_setup.txt", L"norq_setup.exe"},
}};

// The server paths in the table's order, as the signed index lists them.
std::vector<std::string> ManifestServerPaths();

}  // namespace norq
