#include "platform/clock.h"

#include "platform/win32/windows_api.h"

namespace platform {

uint64_t SteadyMilliseconds() { return ::GetTickCount64(); }

void SleepMilliseconds(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform
