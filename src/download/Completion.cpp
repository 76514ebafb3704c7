#include "download/Completion.h"

#include "platform/Http.h"
#include "platform/Http.h"

namespace norq {

namespace {
constexpr std::int32_t kPieceSize = 1024;
}

void SaveDownload(Inet& transfer, System& system, DownloadProgress& progress, const std::wstring& url,
                  const std::wstring& target) {
  const std::int64_t total = ParseContentLength(transfer.GetHeader(L"Content-length"));
  system.Log(L"downloaded " + TransferText(url, transfer.LastTransfer()));
  std::uint64_t walked = 0;
  auto piece = transfer.GetChunk(kPieceSize);
  // A piece of two bytes or more continues the loop; a shorter one is the end of the body.
  while (piece.size() > 1) {
    walked += piece.size();
    progress.Show(walked, total);
    // The bar normally stands still here (it showed the body arriving), so
    // no control change gives the window its chance to answer.
    system.KeepAnswering();
    piece = transfer.GetChunk(kPieceSize);
  }
  walked += piece.size();
  progress.Show(walked, total);
  // Until this rename the old file stays whole.
  transfer.ReplaceTarget();
  system.Log(L"saved " + std::to_wstring(walked) + L" bytes to " + target);
  progress.Finish(total);
}

}  // namespace norq
