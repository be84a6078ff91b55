#include "platform/fs.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform {

bool CopyFileNoReplace(const std::u16string& from, const std::u16string& to) {
  return ::CopyFileW(win32::Wide(from), win32::Wide(to), TRUE) || win32::FailWithLastError();
}

bool MoveFileReplace(const std::u16string& from, const std::u16string& to) {
  // Windows refuses to replace a read-only file; Wine replaces it anyway, so ask first.
  const DWORD existing = ::GetFileAttributesW(win32::Wide(to));
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0 &&
      (existing & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return win32::FailWith(ERROR_ACCESS_DENIED);
  }
  return ::MoveFileExW(win32::Wide(from), win32::Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) ||
         win32::FailWithLastError();
}

bool DeleteFile(const std::u16string& path) { return ::DeleteFileW(win32::Wide(path)) || win32::FailWithLastError(); }

}  // namespace platform
