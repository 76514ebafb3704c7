#pragma once
// What WinINet's status reports mean for the transfer's states, kept apart
// from WinINet so the mapping is checked on any machine.
#include <cstdint>

#include "platform/Inet.h"

namespace norq {

// WinINet's status codes for the steps the transfer reports; the Windows
// build checks them against the system's own header.
enum class WinInetStatus : std::uint32_t {
  ResolvingName = 10,
  NameResolved = 11,
  ConnectingToServer = 20,
  ConnectedToServer = 21,
  SendingRequest = 30,
  RequestSent = 31,
  ReceivingResponse = 40,
  ResponseReceived = 41,
  ClosingConnection = 50,
  ConnectionClosed = 51,
};

// The state a status report stands for; icNone for reports that are no state.
std::int16_t StateOf(std::uint32_t status);

// Which states a download passes on to the window. Each network read repeats
// "receiving" and "received"; after the first response they would only make
// the status line flicker, and a state equal to the last one is no news.
class StateFilter {
 public:
  bool Pass(std::int16_t state);

 private:
  std::int16_t last_ = icNone;
  bool responseSeen_ = false;
};

}  // namespace norq
