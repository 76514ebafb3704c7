#pragma once
// Times in the signed index: seconds since 1970-01-01 00:00:00 UTC, written
// as "YYYY-MM-DDTHH:MM:SSZ" so that a vendor and a supporter read them at a glance.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norq {

// The last second the text form can hold: 9999-12-31T23:59:59Z.
inline constexpr std::int64_t kLatestUtcTime = 253402300799;

// Exactly twenty characters of a real date and time from 1970 to 9999, every
// field zero-padded; nothing for any other text.
std::optional<std::int64_t> ParseUtcTime(std::string_view text);

// A Windows FILETIME (100 ns units since 1601-01-01 UTC) as seconds since 1970.
inline constexpr std::int64_t SecondsFromFileTime(std::uint64_t fileTime) {
  return static_cast<std::int64_t>(fileTime / 10'000'000) - 11'644'473'600;
}

// The text form of a time from 0 to kLatestUtcTime (clamped into that range).
std::string FormatUtcTime(std::int64_t seconds);

}  // namespace norq
