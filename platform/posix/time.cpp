#include "platform/time.h"

#include <ctime>

#include "platform/posix/last_error.h"

namespace platform {
namespace {

constexpr int64_t kTicksPerMillisecond = 10'000;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the given date (proleptic Gregorian).
int64_t DaysSince1601(int year, int month, int day) {
  const int64_t y = year - 1601;
  int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

}  // namespace

// The same field checks SystemTimeToFileTime makes (the day of the week is not an input here).
std::optional<uint64_t> SystemTimeToFileTime(const CalendarTime& t) {
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59 ||
      t.milliseconds > 999) {
    posix::Fail(posix::kErrorInvalidParameter);
    return std::nullopt;
  }
  const int64_t days = DaysSince1601(t.year, t.month, t.day);
  const int64_t ms = (((days * 24 + t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.milliseconds;
  return static_cast<uint64_t>(ms * kTicksPerMillisecond);
}

std::optional<uint64_t> LocalFileTimeToFileTime(uint64_t local) {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  if (::localtime_r(&now, &parts) == nullptr) {
    posix::Fail(posix::kErrorInvalidParameter);
    return std::nullopt;
  }
  const int64_t offsetTicks = static_cast<int64_t>(parts.tm_gmtoff) * 10'000'000;
  const uint64_t utc = local - static_cast<uint64_t>(offsetTicks);
  // A result that wrapped below 1601 or past the largest FILETIME is refused.
  if ((offsetTicks > 0 && utc > local) || (offsetTicks < 0 && utc < local) || utc > static_cast<uint64_t>(INT64_MAX)) {
    posix::Fail(posix::kErrorInvalidParameter);
    return std::nullopt;
  }
  return utc;
}

}  // namespace platform
