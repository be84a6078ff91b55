#include "platform/fs.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform {

bool CreateDirectory(const std::u16string& path) {
  return ::CreateDirectoryW(win32::Wide(path), nullptr) || win32::FailWithLastError();
}

bool RemoveDirectory(const std::u16string& path) {
  return ::RemoveDirectoryW(win32::Wide(path)) || win32::FailWithLastError();
}

}  // namespace platform
