#pragma once
// The machine's own clock and pause, which the fault hook's virtual clock never replaces: what
// another process does happens in real time.
#include <cstdint>

namespace platform::posix {

uint64_t RealMilliseconds();
void RealSleep(uint32_t milliseconds);

}  // namespace platform::posix
