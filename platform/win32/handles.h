#pragma once
// UniqueResource traits, one per handle kind. Closing keeps the thread's last error.
#include "platform/unique_resource.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

// Handles from CreateFileW, which signals failure with INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
  using Value = HANDLE;
  static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Value handle) noexcept {
    const DWORD saved = ::GetLastError();
    ::CloseHandle(handle);
    ::SetLastError(saved);
  }
};
using UniqueFileHandle = UniqueResource<FileHandleTraits>;

// Kernel objects other than files, which signal failure with null.
struct HandleTraits {
  using Value = HANDLE;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value handle) noexcept {
    const DWORD saved = ::GetLastError();
    ::CloseHandle(handle);
    ::SetLastError(saved);
  }
};
using UniqueHandle = UniqueResource<HandleTraits>;

struct KeyTraits {
  using Value = HKEY;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value key) noexcept {
    const DWORD saved = ::GetLastError();
    ::RegCloseKey(key);
    ::SetLastError(saved);
  }
};
using UniqueKey = UniqueResource<KeyTraits>;

}  // namespace platform::win32
