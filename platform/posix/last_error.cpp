#include "platform/posix/last_error.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/fs.h"

namespace platform {
namespace {

thread_local uint32_t g_lastError = 0;

// Windows says "file not found" only when the directory that should hold the file exists.
bool ParentExists(const std::string& nativePath) {
  std::string parent = nativePath;
  while (!parent.empty() && parent.back() == '/') parent.pop_back();
  const auto slash = parent.rfind('/');
  if (slash == std::string::npos) return true;  // relative name: the current directory holds it
  parent.resize(slash);
  if (parent.empty()) return true;  // the root
  struct stat st {};
  return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

uint32_t LastError() { return g_lastError; }

void RestoreLastError(uint32_t code) { g_lastError = code; }

namespace posix {

bool Fail(uint32_t code) {
  g_lastError = code;
  return false;
}

bool FailErrno(int err, const std::string& nativePath) { return Fail(ErrorFromErrno(err, nativePath)); }

uint32_t ErrorFromErrno(int err, const std::string& nativePath) {
  switch (err) {
    case ENOENT:
      return ParentExists(nativePath) ? kErrorFileNotFound : kErrorPathNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrorAccessDenied;
    case EEXIST:
      return kErrorFileExists;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrorDiskFull;
    case EBUSY:
    case ETXTBSY:
      return kErrorSharingViolation;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case EXDEV:
      return kErrorNotSameDevice;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EINVAL:
      return kErrorInvalidParameter;
    default:
      return kErrorGenFailure;
  }
}

}  // namespace posix
}  // namespace platform
