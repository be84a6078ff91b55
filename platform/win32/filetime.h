#pragma once
#include <cstdint>

#include "platform/win32/windows_api.h"

namespace platform::win32 {

inline FILETIME ToFileTime(uint64_t value) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return ft;
}

inline uint64_t FromFileTime(const FILETIME& ft) { return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }

}  // namespace platform::win32
