// Where the process is and what it runs.
#include <vector>

#include "platform/fs.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform {

std::u16string GetCurrentDirectory(uint32_t bufferUnits) {
  std::vector<wchar_t> buffer(bufferUnits);
  const DWORD units = ::GetCurrentDirectoryW(bufferUnits, buffer.data());
  if (units == 0) {
    win32::FailWithLastError();
    return {};
  }
  // A buffer too small leaves it untouched and returns the size it needs, terminator included.
  if (units >= bufferUnits) {
    win32::FailWith(ERROR_INSUFFICIENT_BUFFER);
    return {};
  }
  return win32::FromWide(buffer.data(), units);
}

// GetModuleFileNameW cuts a long name without failing on some systems; a result that fills the
// buffer may be cut, so the call is repeated with more room until it does not.
std::u16string GetModuleFileName() {
  constexpr DWORD kLongestPath = 32768;
  for (DWORD size = MAX_PATH; size <= kLongestPath * 2; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD units = ::GetModuleFileNameW(nullptr, buffer.data(), size);
    if (units == 0) {
      win32::FailWithLastError();
      return {};
    }
    if (units < size) return win32::FromWide(buffer.data(), units);
  }
  win32::FailWith(ERROR_INSUFFICIENT_BUFFER);
  return {};
}

}  // namespace platform
