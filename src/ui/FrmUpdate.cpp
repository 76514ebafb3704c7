#include "ui/FrmUpdate.h"

namespace norq {

FrmUpdate::FrmUpdate(System& system, Inet& inet1, Inet& inet2, std::optional<P256PublicKey> indexKey,
                     IndexPolicy policy)
    : sys_(system), inet1_(inet1), inet2_(inet2), indexKey_(indexKey), policy_(std::move(policy)) {}

// Whatever asks the window to close, the installer ends at once: nothing it
// has written or started is undone, and an outstanding transfer is abandoned.
void FrmUpdate::Form_QueryUnload() {
  sys_.Log(L"end: the window was closed");
  sys_.End();
}

}  // namespace norq
