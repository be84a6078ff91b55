// Hard links, renames that never replace, and file identity.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault.h"
#include "platform/fs.h"
#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/open_names.h"
#include "platform/posix/unique_fd.h"

namespace platform {

bool MoveFileNoReplace(const std::u16string& from, const std::u16string& to) {
  if (fault::Inject(fault::kMoveNoReplace)) return false;
  const std::string source = posix::NativePath(from);
  const std::string target = posix::NativePath(to);
  // A target pending deletion is still there: the rename below refuses it as it stands.
  const posix::NameLock lock(source, target, posix::NameUse::kChange);
  if (posix::IsPending(lock, source)) return posix::Fail(kErrorAccessDenied);
  struct stat st {};
  if (::lstat(source.c_str(), &st) == 0 && posix::HoldersOf(lock, st) == posix::Holders::kSomeRefuseDelete) {
    return posix::Fail(kErrorSharingViolation);
  }
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return posix::FailErrno(errno, errno == EEXIST ? target : source);
  // A file system without the flag: a second name made exclusively, then the first one dropped.
  if (::link(source.c_str(), target.c_str()) != 0) return posix::FailErrno(errno, target);
  if (::unlink(source.c_str()) != 0) {
    const int err = errno;
    ::unlink(target.c_str());  // best effort: the move did not happen
    return posix::FailErrno(err, source);
  }
  return true;
}

bool CreateHardLink(const std::u16string& existing, const std::u16string& link) {
  if (fault::Inject(fault::kLink)) return false;
  const std::string source = posix::NativePath(existing);
  const std::string target = posix::NativePath(link);
  const posix::NameLock lock(source, target, posix::NameUse::kChange);
  if (posix::IsPending(lock, source)) return posix::Fail(kErrorAccessDenied);
  struct stat st {};
  if (::lstat(source.c_str(), &st) != 0) return posix::FailErrno(errno, source);
  if (S_ISDIR(st.st_mode)) return posix::Fail(kErrorAccessDenied);
  if (::link(source.c_str(), target.c_str()) != 0) return posix::FailErrno(errno, errno == EEXIST ? target : source);
  return true;
}

// As on Windows: both names open while they are compared, and a second name must show in the
// link count of both; anything short of certainty answers false.
bool IsSameFile(const std::u16string& a, const std::u16string& b) {
  if (fault::Inject(fault::kIdentity)) return false;
  const std::string first = posix::NativePath(a);
  const std::string second = posix::NativePath(b);
  {
    const posix::NameLock lock(first, second, posix::NameUse::kLook);
    if (posix::IsPending(lock, first) || posix::IsPending(lock, second)) return posix::Fail(kErrorAccessDenied);
  }
  const posix::UniqueFd x(::open(first.c_str(), O_PATH | O_CLOEXEC));
  if (!x) return posix::FailErrno(errno, first);
  const posix::UniqueFd y(::open(second.c_str(), O_PATH | O_CLOEXEC));
  if (!y) return posix::FailErrno(errno, second);
  struct stat sx {}, sy {};
  if (::fstat(x.get(), &sx) != 0) return posix::FailErrno(errno, first);
  if (::fstat(y.get(), &sy) != 0) return posix::FailErrno(errno, second);
  return sx.st_nlink >= 2 && sy.st_nlink >= 2 && sx.st_dev == sy.st_dev && sx.st_ino == sy.st_ino;
}

}  // namespace platform
