#include "platform/clock.h"

#include <time.h>

#include <cerrno>

#include "platform/fault.h"
#include "platform/posix/real_clock.h"

namespace platform {

namespace posix {

uint64_t RealMilliseconds() {
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1'000'000;
}

void RealSleep(uint32_t milliseconds) {
  struct timespec left {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace posix

uint64_t SteadyMilliseconds() {
  uint64_t virtualNow = 0;
  if (fault::VirtualNow(&virtualNow)) return virtualNow;
  return posix::RealMilliseconds();
}

void SleepMilliseconds(uint32_t milliseconds) {
  if (fault::VirtualSleep(milliseconds)) return;
  posix::RealSleep(milliseconds);
}

}  // namespace platform
