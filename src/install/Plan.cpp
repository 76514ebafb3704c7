#include "install/Plan.h"

#include "core/RuntimeError.h"

namespace norq {

std::wstring SystemPrefix(const std::wstring& systemFolder) {
  if (!systemFolder.empty() && systemFolder.back() == L'\\') return systemFolder;
  return systemFolder + L'\\';
}

std::wstring SetupPath(const std::wstring& appPath) { return appPath + L"\\norq_setup.exe"; }

// Addresses and paths are joined as they stand: the server address keeps a
// trailing slash or line break, and the markers and requests see the same text.
std::vector<PlannedEntry> PlanInstallation(const std::wstring& serverUrl, const std::wstring& systemFolder,
                                           const std::wstring& appPath, const std::vector<IndexLine>& pins) {
  if (!pins.empty() && pins.size() != kManifest.size()) throw RuntimeError(ErrorNumber::InternalError);
  std::vector<PlannedEntry> plan;
  for (std::size_t i = 0; i < kManifest.size(); ++i) {
    const ManifestEntry& entry = kManifest[i];
    const bool component = entry.kind == EntryKind::Component;
    plan.push_back({entry.kind, entry.fileName, serverUrl + entry.serverPath,
                    component ? SystemPrefix(systemFolder) + entry.fileName : SetupPath(appPath),
                    pins.empty() ? std::nullopt : std::optional<IndexLine>(pins[i])});
  }
  return plan;
}

BodyCheck CheckOf(const PlannedEntry& entry) { return CheckForName(entry.fileName, entry.pinned); }

}  // namespace norq
