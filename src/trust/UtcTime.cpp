#include "trust/UtcTime.h"

#include <algorithm>

namespace norq {

namespace {

constexpr std::int64_t kDay = 86400;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and
// back (Howard Hinnant's civil calendar algorithms, for years from 0 on).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = year / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

struct Civil {
  std::int64_t year;
  unsigned month, day;
};

Civil CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = days / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

bool IsLeap(std::int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

unsigned DaysInMonth(std::int64_t year, unsigned month) {
  constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// A fixed-width field of decimal digits; -1 for anything else.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}


}  // namespace

std::optional<std::int64_t> ParseUtcTime(std::string_view text) {
  // YYYY-MM-DDTHH:MM:SSZ
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':' ||
      text[19] != 'Z') {
    return std::nullopt;
  }
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (year < 1970 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    return std::nullopt;
  }
  if (static_cast<unsigned>(day) > DaysInMonth(year, static_cast<unsigned>(month))) return std::nullopt;
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * kDay + hour * 3600 +
         minute * 60 + second;
}

std::string FormatUtcTime(std::int64_t seconds) {
  seconds = std::clamp<std::int64_t>(seconds, 0, kLatestUtcTime);
  const Civil date = CivilFromDays(seconds / kDay);
  const auto time = static_cast<unsigned>(seconds % kDay);
  std::string out;
  auto field = [&](unsigned value, std::size_t width, char after) {
    out.append(width, '0');
    for (std::size_t i = 1; i <= width; ++i, value /= 10) out[out.size() - i] = static_cast<char>('0' + value % 10);
    out += after;
  };
  field(static_cast<unsigned>(date.year), 4, '-');
  field(date.month, 2, '-');
  field(date.day, 2, 'T');
  field(time / 3600, 2, ':');
  field(time / 60 % 60, 2, ':');
  field(time % 60, 2, 'Z');
  return out;
}

}  // namespace norq
