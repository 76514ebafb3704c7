#pragma once
#include <string>

#include "download/Progress.h"
#include "platform/Inet.h"
#include "platform/System.h"

namespace norq {

// Puts the body of the completed download from `url` in place at `target`.
// The body landed beside the target as it arrived and was checked there; it
// is walked once more in pieces of 1024 bytes for the bar, as the window has
// always shown a save, but nothing is written a second time. Throws
// RuntimeError when the target cannot be replaced; it is then as it was.
void SaveDownload(Inet& transfer, System& system, DownloadProgress& progress, const std::wstring& url,
                  const std::wstring& target);

}  // namespace norq
