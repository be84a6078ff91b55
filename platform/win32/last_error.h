#pragma once
// The thread's Windows error, kept for LastError() at the moment a platform call fails, before
// any cleanup can overwrite it.
#include <cstdint>

namespace platform::win32 {

// Stores GetLastError(); returns false so failure paths can `return FailWithLastError();`.
bool FailWithLastError();
// Stores an error that a call returned instead of leaving it in GetLastError().
bool FailWith(uint32_t code);

}  // namespace platform::win32
