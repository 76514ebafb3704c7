#include "platform/SupportLogLine.h"

#include <cstdio>

#include "core/Text.h"

namespace norq {

std::string SupportLogLine(const LogStamp& stamp, std::wstring_view text) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", stamp.year, stamp.month, stamp.day,
                stamp.hour, stamp.minute, stamp.second, stamp.milliseconds,
                static_cast<unsigned long>(stamp.processId));
  return prefix + Utf8Of(OneLine(text)) + "\r\n";
}

bool SupportLogIsFull(std::uint64_t size) { return size > kSupportLogLimit; }

std::wstring OlderSupportLog(std::wstring_view logPath) { return std::wstring(logPath) + L".1"; }

}  // namespace norq
