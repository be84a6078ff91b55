// Hard links, renames that never replace, and file identity.
#include "platform/fs.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// A handle that only asks who the file is: no data access, so no sharing mode stands in its way.
bool IdentityOf(const std::u16string& path, BY_HANDLE_FILE_INFORMATION* info) {
  win32::UniqueFileHandle handle(::CreateFileW(win32::Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return win32::FailWithLastError();
  return ::GetFileInformationByHandle(handle.get(), info) || win32::FailWithLastError();
}

}  // namespace

bool MoveFileNoReplace(const std::u16string& from, const std::u16string& to) {
  return ::MoveFileExW(win32::Wide(from), win32::Wide(to), 0) || win32::FailWithLastError();
}

bool CreateHardLink(const std::u16string& existing, const std::u16string& link) {
  return ::CreateHardLinkW(win32::Wide(link), win32::Wide(existing), nullptr) || win32::FailWithLastError();
}

bool IsSameFile(const std::u16string& a, const std::u16string& b) {
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  if (!IdentityOf(a, &x) || !IdentityOf(b, &y)) return false;
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

}  // namespace platform
