// Windows attributes over POSIX modes: read-only is the missing owner write bit.
#include <sys/stat.h>

#include <cerrno>

#include "platform/fs.h"
#include "platform/posix/filetime.h"
#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/open_names.h"

namespace platform {

namespace {

// A name pending deletion answers access denied, as Windows' STATUS_DELETE_PENDING does.
bool StatName(const std::string& native, struct stat* st) {
  const posix::NameLock lock(native, posix::NameUse::kLook);
  if (posix::IsPending(lock, native)) return posix::Fail(kErrorAccessDenied);
  return ::stat(native.c_str(), st) == 0 || posix::FailErrno(errno, native);
}

uint32_t AttributesOf(const struct stat& st) {
  uint32_t attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
  return attributes;
}

}  // namespace

uint32_t GetFileAttributes(const std::u16string& path) {
  const std::string native = posix::NativePath(path);
  struct stat st {};
  if (!StatName(native, &st)) return kInvalidAttributes;
  return AttributesOf(st);
}

bool GetFileInfo(const std::u16string& path, FileInfo* info) {
  const std::string native = posix::NativePath(path);
  struct stat st {};
  if (!StatName(native, &st)) return false;
  info->attributes = AttributesOf(st);
  info->size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  info->lastWriteTime = posix::FileTimeFromTimespec(st.st_mtim);
  return true;
}

bool PathExists(const std::u16string& path) { return GetFileAttributes(path) != kInvalidAttributes; }

bool SetFileAttributes(const std::u16string& path, uint32_t attributes) {
  const std::string native = posix::NativePath(path);
  struct stat st {};
  if (!StatName(native, &st)) return false;
  // A read-only directory on Windows still takes new files; taking its write bits would not.
  if (S_ISDIR(st.st_mode)) return true;
  mode_t mode = st.st_mode & 07777;
  if (attributes & kAttrReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  if (mode == (st.st_mode & 07777)) return true;
  if (::chmod(native.c_str(), mode) != 0) return posix::FailErrno(errno, native);
  return true;
}

}  // namespace platform
