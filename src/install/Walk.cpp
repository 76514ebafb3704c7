#include "install/Walk.h"

#include "install/Registration.h"

namespace norq {

namespace {
// Present components are found whatever their read-only, hidden or system
// attributes; a folder of the same name is not a component.
constexpr unsigned kPresenceMask = kAttrReadOnly | kAttrHidden | kAttrSystem;
}  // namespace

std::size_t WalkToNextDownload(const std::vector<PlannedEntry>& plan, std::size_t next, System& system,
                               const std::wstring& systemFolder,
                               const std::function<void(const std::wstring&)>& showStatus) {
  for (; next < plan.size(); ++next) {
    const PlannedEntry& entry = plan[next];
    if (entry.kind != EntryKind::Component) break;
    showStatus(L"状态: 检查 " + entry.fileName + L" ...");
    if (!system.FileExists(entry.localPath, kPresenceMask)) break;
    system.Log(L"entry " + std::to_wstring(next + 1) + L" present: " + entry.localPath);
    showStatus(L"状态: 注册 " + entry.fileName + L" ...");
    RegisterComponent(system, systemFolder, entry.localPath);
  }
  if (next == plan.size()) system.Log(L"all entries handled");
  return next;
}

}  // namespace norq
