#include "archive/entry_times.h"

#include "archive/byte_cursor.h"
#include "platform/time.h"

namespace archive {
namespace {

constexpr uint32_t kDosEpoch = (((0u << 9) | (1u << 5) | 1u) << 16);  // 1980-01-01 00:00:00
constexpr uint16_t kExtendedTimestampId = 0x5455;                    // "UT"
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000;
constexpr int64_t kTicksPerSecond = 10000000;

std::optional<uint64_t> CalendarToFileTime(uint32_t dosDateTime) {
  const uint32_t date = dosDateTime >> 16;
  const uint32_t time = dosDateTime & 0xFFFF;
  platform::CalendarTime calendar{};
  calendar.year = static_cast<uint16_t>(1980 + (date >> 9));
  calendar.month = static_cast<uint16_t>((date >> 5) & 0x0F);
  calendar.day = static_cast<uint16_t>(date & 0x1F);
  calendar.hour = static_cast<uint16_t>(time >> 11);
  calendar.minute = static_cast<uint16_t>((time >> 5) & 0x3F);
  calendar.second = static_cast<uint16_t>(2 * (time & 0x1F));
  calendar.milliseconds = 0;
  return platform::SystemTimeToFileTime(calendar);
}

uint64_t UnixTimeToFileTime(uint32_t stored) {
  const int64_t seconds = static_cast<int32_t>(stored);
  return static_cast<uint64_t>(seconds * kTicksPerSecond + kUnixEpochAsFileTime);
}

}  // namespace

uint64_t DosDateTimeToFileTime(uint32_t dosDateTime) {
  std::optional<uint64_t> local = CalendarToFileTime(dosDateTime);
  if (!local) local = CalendarToFileTime(kDosEpoch);
  if (!local) return 0;
  // A local time the system cannot convert stays as it is: off by the zone offset at worst.
  return platform::LocalFileTimeToFileTime(*local).value_or(*local);
}

void ApplyExtendedTimestamp(std::span<const uint8_t> localExtra, EntryTimes* times) {
  const auto fieldLength = static_cast<uint32_t>(localExtra.size());
  uint32_t p = 0;
  while (p + 4 < fieldLength) {
    ByteCursor header(localExtra.subspan(p, 4));
    const uint16_t id = header.U16();
    const uint32_t size = header.U16();
    if (id != kExtendedTimestampId) {
      if (!CheckedAdd(p, 4 + size, &p)) return;
      continue;
    }
    const uint32_t available = fieldLength - (p + 4);
    ByteCursor block(localExtra.subspan(p + 4, size < available ? size : available));
    const uint8_t flags = block.U8();
    uint64_t* targets[] = {&times->modification, &times->access, &times->creation};
    for (int bit = 0; bit < 3 && block.ok(); ++bit) {
      if ((flags & (1u << bit)) == 0) continue;
      const uint32_t stored = block.U32();
      if (block.ok()) *targets[bit] = UnixTimeToFileTime(stored);
    }
    return;  // only the first "UT" block counts
  }
}

}  // namespace archive
