#pragma once
// The marker files that tie the installer to the product it installs: the
// edition (OEM) marker beside the installer, its copies and the server markers
// in the roots of C: and D:. Their bytes are read by programs outside this one.
#include <optional>
#include <string>

#include "platform/System.h"

namespace norq {

inline constexpr const wchar_t* kOemCopies[] = {L"C:\\norqoem.dat", L"D:\\norqoem.dat"};
inline constexpr const wchar_t* kServerMarkers[] = {L"C:\\norq_url.dat", L"D:\\norq_url.dat"};

// The marker beside the installer; appended without looking for a backslash,
// so a drive root gives two in a row, which Windows accepts.
std::wstring OemMarkerPath(const std::wstring& appPath);

// The edition name, the first line of the marker beside the installer, or why
// there is none (for the support log): no plain file there (the package was
// not unpacked), or one without a single byte (a damaged package). A marker
// whose first line is empty but that has more lines gives the empty name.
struct EditionName {
  std::optional<std::wstring> name;
  std::wstring missing;
};
EditionName ReadEditionName(System& system, const std::wstring& appPath);

// Writes each copy that does not exist yet; an existing copy is never rewritten.
void WriteOemCopies(System& system, const std::wstring& oemName);
// Creates or rewrites both server markers.
void WriteServerMarkers(System& system, const std::wstring& serverUrl);

}  // namespace norq
