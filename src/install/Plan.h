#pragma once
// The installation as planned once the server is known: each manifest entry
// with its download address, its local path and what its body must be.
#include <optional>
#include <string>
#include <vector>

#include "install/Manifest.h"
#include "trust/BodyCheck.h"
#include "trust/TreeIndex.h"

namespace norq {

struct PlannedEntry {
  EntryKind kind;
  std::wstring fileName;
  std::wstring url;        // the server address exactly as accepted, then the entry's server path
  std::wstring localPath;  // a component's in the system folder; the setup program's beside the installer
  std::optional<IndexLine> pinned;  // its line of the server's signed index, in a build with a key
};

// The manifest in its order. `pins` is the verified index's lines in the same
// order, or empty in a build without a key.
std::vector<PlannedEntry> PlanInstallation(const std::wstring& serverUrl, const std::wstring& systemFolder,
                                           const std::wstring& appPath, const std::vector<IndexLine>& pins);

// What the entry's downloaded body must be, and its file before it is started.
BodyCheck CheckOf(const PlannedEntry& entry);

// The system folder with one trailing backslash: added when missing, never
// doubled; an empty folder gives "\" alone.
std::wstring SystemPrefix(const std::wstring& systemFolder);

// The setup program's local path: the installer's folder and "\norq_setup.exe",
// joined without looking for a backslash.
std::wstring SetupPath(const std::wstring& appPath);

}  // namespace norq
