#include "install/Manifest.h"

namespace norq {

std::vector<std::string> ManifestServerPaths() {
  std::vector<std::string> paths;
  for (const auto& entry : kManifest) {
    std::string path;
    for (const wchar_t* c = entry.serverPath; *c; ++c) path += static_cast<char>(*c);  // plain ASCII
    paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace norq
