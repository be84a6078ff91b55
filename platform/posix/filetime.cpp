#include "platform/posix/filetime.h"

#include "platform/posix/last_error.h"

namespace platform::posix {
namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kUnixEpochTicks = 116'444'736'000'000'000;  // 1970-01-01 in 100 ns units since 1601

}  // namespace

std::optional<struct timespec> TimespecFromFileTime(uint64_t fileTime) {
  if (fileTime == 0 || fileTime == ~uint64_t{0}) return timespec{0, UTIME_OMIT};
  if (fileTime > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
  const int64_t ticks = static_cast<int64_t>(fileTime) - kUnixEpochTicks;
  int64_t seconds = ticks / kTicksPerSecond;
  int64_t rest = ticks % kTicksPerSecond;
  if (rest < 0) {  // floor, so times before 1970 keep a positive nanosecond part
    rest += kTicksPerSecond;
    --seconds;
  }
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>(rest * 100);
  return ts;
}

uint64_t FileTimeFromTimespec(const struct timespec& time) {
  const int64_t ticks = static_cast<int64_t>(time.tv_sec) * kTicksPerSecond + time.tv_nsec / 100 + kUnixEpochTicks;
  return ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
}

bool FileTimesToTimespecs(uint64_t access, uint64_t modification, struct timespec times[2]) {
  const auto a = TimespecFromFileTime(access);
  const auto m = TimespecFromFileTime(modification);
  if (!a || !m) return Fail(kErrorInvalidParameter);
  times[0] = *a;
  times[1] = *m;
  return true;
}

}  // namespace platform::posix
