#include "core/Subscript.h"
#include "download/Progress.h"
#include "download/StateText.h"
#include "platform/Http.h"
#include "install/Manifest.h"
#include "ui/FrmUpdate.h"

namespace norq {

namespace {
constexpr std::int32_t kPieceSize = 1024;
}

// Walks the completed body in pieces of 1024 bytes and puts it in place under
// the current entry's local path, then hands the file on: a component is
// registered and the walk goes on; the setup program is launched and the
// installer ends.
void FrmUpdate::CompleteDownload() {
  TotalBytes = ParseContentLength(inet1_.GetHeader(L"Content-length"));
  BarStep = TotalBytes > 0 ? BarTrack() / static_cast<double>(TotalBytes) : 0;
  ui_.SetCaption(ControlId::Label_http_state, kCompletedText);

  const std::wstring& path = ElementAt(PathArr, CurIndex);
  sys_.Log(L"downloaded " + TransferText(ElementAt(UrlArr, CurIndex), inet1_.LastTransfer()));
  {
    // The body landed beside the target as it arrived and was checked there;
    // it is walked once more in pieces of 1024 bytes for the bar, as the
    // window has always shown a save, but nothing is written a second time.
    std::uint64_t walked = 0;
    auto piece = inet1_.GetChunk(kPieceSize);
    // A piece of two bytes or more continues the loop; a shorter one is the end of the body.
    while (piece.size() > 1) {
      walked += piece.size();
      ShowProgress(walked, TotalBytes);
      // The bar normally stands still here (it showed the body arriving), so
      // no control change gives the window its chance to answer.
      sys_.KeepAnswering();
      piece = inet1_.GetChunk(kPieceSize);
    }
    walked += piece.size();
    ShowProgress(walked, TotalBytes);
    // Until this rename the old file stays whole.
    inet1_.ReplaceTarget();
    sys_.Log(L"saved " + std::to_wstring(walked) + L" bytes to " + path);
  }
  if (TotalBytes <= 0) ui_.SetWidth(ControlId::Picture1, BarTrack());
  ui_.SetCaption(ControlId::Label_http_state2, L"100%");

  if (ElementAt(TypeArr, CurIndex) == kComponentKind) {
    RegisterComponent(path);
  } else {
    const std::wstring setup = SetupPath(sys_.AppPath());
    RunUpdate(setup);
    sys_.End();
  }
  ui_.SetVisible(ControlId::Picture_http, false);
  InstallNext();
}

}  // namespace norq
