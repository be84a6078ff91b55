#include "platform/time.h"
#include "platform/win32/filetime.h"
#include "platform/win32/last_error.h"

namespace platform {
namespace {

bool IsLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Windows checks these itself; Wine lets February 29 of any year and years past 30827 through.
bool IsValidCalendarDate(const CalendarTime& t) {
  static constexpr uint16_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  const unsigned days = t.month == 2 && IsLeapYear(t.year) ? 29u : kDays[t.month - 1];
  return t.day <= days;
}

}  // namespace

std::optional<uint64_t> SystemTimeToFileTime(const CalendarTime& time) {
  if (!IsValidCalendarDate(time)) {
    win32::FailWith(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  SYSTEMTIME st{};
  st.wYear = time.year;
  st.wMonth = time.month;
  st.wDay = time.day;
  st.wHour = time.hour;
  st.wMinute = time.minute;
  st.wSecond = time.second;
  st.wMilliseconds = time.milliseconds;
  FILETIME ft{};
  if (!::SystemTimeToFileTime(&st, &ft)) {
    win32::FailWithLastError();
    return std::nullopt;
  }
  return win32::FromFileTime(ft);
}

std::optional<uint64_t> LocalFileTimeToFileTime(uint64_t local) {
  const FILETIME in = win32::ToFileTime(local);
  FILETIME out{};
  if (!::LocalFileTimeToFileTime(&in, &out)) {
    win32::FailWithLastError();
    return std::nullopt;
  }
  return win32::FromFileTime(out);
}

}  // namespace platform
