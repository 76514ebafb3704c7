#include "platform/InetStatus.h"

namespace norq {

std::int16_t StateOf(std::uint32_t status) {
  switch (static_cast<WinInetStatus>(status)) {
    case WinInetStatus::ResolvingName: return icResolvingHost;
    case WinInetStatus::NameResolved: return icHostResolved;
    case WinInetStatus::ConnectingToServer: return icConnecting;
    case WinInetStatus::ConnectedToServer: return icConnected;
    case WinInetStatus::SendingRequest: return icRequesting;
    case WinInetStatus::RequestSent: return icRequestSent;
    case WinInetStatus::ReceivingResponse: return icReceivingResponse;
    case WinInetStatus::ResponseReceived: return icResponseReceived;
    case WinInetStatus::ClosingConnection: return icDisconnecting;
    case WinInetStatus::ConnectionClosed: return icDisconnected;
  }
  return icNone;
}

bool StateFilter::Pass(std::int16_t state) {
  if (state == icNone || state == last_) return false;
  if ((state == icReceivingResponse || state == icResponseReceived) && responseSeen_) return false;
  if (state == icResponseReceived) responseSeen_ = true;
  last_ = state;
  return true;
}

}  // namespace norq
