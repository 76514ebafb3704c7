#include "startup/Markers.h"

#include "core/RuntimeError.h"

namespace norq {

namespace {
void LogSkipped(System& system, const wchar_t* path, const RuntimeError& error) {
  system.Log(std::wstring(L"marker skipped: ") + path + L": " + error.LogText());
}
}  // namespace

std::wstring OemMarkerPath(const std::wstring& appPath) { return appPath + L"\\norqoem.dat"; }

// An empty marker is not an edition without a name: taken as one, it would
// leave copies holding a bare line end that no later run ever rewrites.
EditionName ReadEditionName(System& system, const std::wstring& appPath) {
  const std::wstring path = OemMarkerPath(appPath);
  if (!system.FileExists(path, kAttrNormal)) return {std::nullopt, L"no " + path + L" (the package was not unpacked)"};
  auto line = system.ReadTextLine(path);
  if (!line) return {std::nullopt, path + L" is empty (a damaged package)"};
  return {std::move(*line), {}};
}

// Many of our users' PCs have no D: drive, some a read-only or unready one.
// A marker that cannot be written is skipped: the copies are a courtesy to
// the product, and refusing to install over one of them helps nobody.
void WriteOemCopies(System& system, const std::wstring& oemName) {
  for (const wchar_t* path : kOemCopies) {
    try {
      if (!system.FileExists(path, kAttrNormal)) system.WriteTextLine(path, oemName);
    } catch (const RuntimeError& error) {
      LogSkipped(system, path, error);
    }
  }
}

void WriteServerMarkers(System& system, const std::wstring& serverUrl) {
  for (const wchar_t* path : kServerMarkers) {
    try {
      system.WriteTextLine(path, serverUrl);
    } catch (const RuntimeError& error) {
      LogSkipped(system, path, error);
    }
  }
}

}  // namespace norq
