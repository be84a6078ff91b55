#include "platform/win32/last_error.h"

#include "platform/fs.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {
thread_local uint32_t g_lastError = 0;
}  // namespace

uint32_t LastError() { return g_lastError; }

void RestoreLastError(uint32_t code) { g_lastError = code; }

namespace win32 {

bool FailWithLastError() { return FailWith(::GetLastError()); }

bool FailWith(uint32_t code) {
  g_lastError = code;
  return false;
}

}  // namespace win32
}  // namespace platform
