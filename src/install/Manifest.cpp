#include "install/Manifest.h"

#include "ui/FrmUpdate.h"

namespace norq {

std::wstring SystemPrefix(const std::wstring& systemDir) {
  if (!systemDir.empty() && systemDir.back() == L'\\') return systemDir;
  return systemDir + L'\\';
}

std::wstring SetupPath(const std::wstring& appPath) { return appPath + kSetupFileTail; }

ManifestLists MakeManifestLists(const std::wstring& serverUrl, const std::wstring& systemDir,
                                const std::wstring& appPath) {
  const std::wstring prefix = SystemPrefix(systemDir);
  ManifestLists lists;
  for (const auto& entry : kManifestEntries) {
    const bool component = std::wstring_view(entry.kind) == kComponentKind;
    lists.types += std::wstring(L"|") + entry.kind;
    lists.urls += L"|" + serverUrl + entry.serverPath;
    lists.names += std::wstring(L"|") + entry.displayName;
    lists.paths += L"|" + (component ? prefix + entry.displayName : SetupPath(appPath));
  }
  return lists;
}

std::vector<std::wstring> SplitList(const std::wstring& list) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  for (;;) {
    const auto bar = list.find(L'|', start);
    if (bar == std::wstring::npos) break;
    parts.push_back(list.substr(start, bar - start));
    start = bar + 1;
  }
  parts.push_back(list.substr(start));
  return parts;
}

void FrmUpdate::BuildManifest() {
  SystemDir = sys_.SystemFolder();
  sys_.Log(L"system folder: " + SystemDir);
  auto lists = MakeManifestLists(ServerUrl(), SystemDir, sys_.AppPath());
  TypeList = std::move(lists.types);
  UrlList = std::move(lists.urls);
  NameList = std::move(lists.names);
  PathList = std::move(lists.paths);
}

}  // namespace norq
