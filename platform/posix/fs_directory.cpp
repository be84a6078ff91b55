#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault.h"
#include "platform/fs.h"
#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"

namespace platform {

bool CreateDirectory(const std::u16string& path) {
  if (fault::Inject(fault::kCreateDirectory)) return false;
  const std::string native = posix::NativePath(path);
  if (::mkdir(native.c_str(), 0777) == 0) return true;
  if (errno == EEXIST) return posix::Fail(kErrorAlreadyExists);
  return posix::FailErrno(errno, native);
}

bool RemoveDirectory(const std::u16string& path) {
  const std::string native = posix::NativePath(path);
  if (::rmdir(native.c_str()) == 0) return true;
  if (errno == ENOTEMPTY || errno == EEXIST) return posix::Fail(posix::kErrorDirNotEmpty);
  if (errno == ENOTDIR) {
    struct stat st {};
    if (::stat(native.c_str(), &st) == 0) return posix::Fail(posix::kErrorDirectory);  // a file, not a folder
  }
  return posix::FailErrno(errno, native);
}

}  // namespace platform
