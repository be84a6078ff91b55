#pragma once
// An entry's three times as FILETIME values (100 ns since 1601-01-01 UTC).
#include <cstdint>
#include <span>

namespace archive {

struct EntryTimes {
  uint64_t access;
  uint64_t creation;
  uint64_t modification;
};

// DOS date (high 16 bits) and time (low 16 bits), taken as local time and brought to UTC with
// the offset in force now. A date that is no calendar date (month 0, say, from a zero-filled
// header) reads as the DOS epoch, 1980-01-01 00:00 local time.
uint64_t DosDateTimeToFileTime(uint32_t dosDateTime);

// Replaces times with those of the first extended-timestamp ("UT") block of a local extra field.
// Blocks of other kinds are stepped over by their size; nothing is read beyond the field or
// beyond the block's own size, so a block shorter than its flags announce gives only the times
// that lie whole inside it.
void ApplyExtendedTimestamp(std::span<const uint8_t> localExtra, EntryTimes* times);

}  // namespace archive
