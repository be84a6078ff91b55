#include "platform/fs.h"
#include "platform/win32/filetime.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform {

uint32_t GetFileAttributes(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) win32::FailWithLastError();
  return attributes;
}

bool GetFileInfo(const std::u16string& path, FileInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(win32::Wide(path), GetFileExInfoStandard, &data)) return win32::FailWithLastError();
  info->attributes = data.dwFileAttributes;
  info->size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  info->lastWriteTime = win32::FromFileTime(data.ftLastWriteTime);
  return true;
}

bool PathExists(const std::u16string& path) { return GetFileAttributes(path) != kInvalidAttributes; }

bool SetFileAttributes(const std::u16string& path, uint32_t attributes) {
  return ::SetFileAttributesW(win32::Wide(path), attributes) || win32::FailWithLastError();
}

}  // namespace platform
