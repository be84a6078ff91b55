#include "platform/win32/file_identity.h"

#include <cstring>

#include "platform/win32/last_error.h"

namespace platform::win32 {
namespace {

// FILE_ID_INFO and its class value, which the headers offer only to Windows 8 builds.
struct FileIdInfo {
  ULONGLONG volumeSerialNumber;
  BYTE fileId[16];
};
constexpr auto kFileIdInfoClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

}  // namespace

UniqueFileHandle OpenForIdentity(const std::u16string& path) {
  UniqueFileHandle handle(::CreateFileW(Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) FailWithLastError();
  return handle;
}

bool IdentifyFile(HANDLE file, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return FailWithLastError();
  *identity = FileIdentity{};
  identity->links = info.nNumberOfLinks;
  FileIdInfo wide{};
  if (::GetFileInformationByHandleEx(file, kFileIdInfoClass, &wide, sizeof wide)) {
    identity->volume = wide.volumeSerialNumber;
    std::memcpy(identity->id, wide.fileId, sizeof identity->id);
    identity->wideId = true;
    return true;
  }
  // Windows 7, or a file system that does not answer the class.
  identity->volume = info.dwVolumeSerialNumber;
  const uint64_t index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  std::memcpy(identity->id, &index, sizeof index);
  return true;
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  return a.wideId == b.wideId && a.volume == b.volume && std::memcmp(a.id, b.id, sizeof a.id) == 0;
}

}  // namespace platform::win32
