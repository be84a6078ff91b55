#pragma once
// A steady clock and a pause, for waiting out a file that another program holds for a moment.
#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start; never goes back.
uint64_t SteadyMilliseconds();
// Sleep: gives the processor away for about that long.
void SleepMilliseconds(uint32_t milliseconds);

}  // namespace platform
