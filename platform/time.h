#pragma once
// Calendar and FILETIME conversions (SystemTimeToFileTime, LocalFileTimeToFileTime).
// A FILETIME here is a 64-bit count of 100 ns intervals since 1601-01-01 00:00 UTC.
#include <cstdint>
#include <optional>

namespace platform {

struct CalendarTime {
  uint16_t year;
  uint16_t month;   // 1-12
  uint16_t day;     // 1-31
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};

// The fields as they stand, without any zone conversion; nothing for an invalid date or time.
std::optional<uint64_t> SystemTimeToFileTime(const CalendarTime& time);
// Takes a local FILETIME to UTC with the offset in force now (not the one at that date),
// exactly as LocalFileTimeToFileTime does.
std::optional<uint64_t> LocalFileTimeToFileTime(uint64_t local);

}  // namespace platform
