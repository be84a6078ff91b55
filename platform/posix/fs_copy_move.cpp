// Copy, move and delete with the refusals Windows makes for read-only files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/fault.h"
#include "platform/fs.h"
#include "platform/posix/file_mode.h"
#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/open_names.h"
#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

// Returns 0 or the errno of the failing call.
int CopyWithBuffer(int from, int to) {
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (put == 0) return ENOSPC;
      done += put;
    }
  }
}

// The kernel copies between the files without passing the bytes through this process; where it
// cannot (another file system, an old kernel), buffered reads and writes carry on from the
// current offsets. Returns 0 or the errno of the failing call.
int CopyBytes(int from, int to) {
  for (;;) {
    const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1u << 30, 0);
    if (copied > 0) continue;
    if (copied == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF) {
      return CopyWithBuffer(from, to);
    }
    return errno;
  }
}

}  // namespace

// Like CopyFileW: contents, attributes and last-write time travel; a failed copy leaves no target.
bool CopyFileNoReplace(const std::u16string& from, const std::u16string& to) {
  const std::string source = posix::NativePath(from);
  const std::string target = posix::NativePath(to);
  if (fault::InjectCopy(source.c_str())) return false;
  posix::UniqueFd in;
  posix::UniqueFd out;
  struct stat st {};
  {
    const posix::NameLock lock(source, target, posix::NameUse::kChange);
    // Either name pending deletion: CreateFileW gets access denied for it.
    if (posix::IsPending(lock, source) || posix::IsPending(lock, target)) return posix::Fail(kErrorAccessDenied);
    in.reset(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) return posix::FailErrno(errno, source);
    if (::fstat(in.get(), &st) != 0) return posix::FailErrno(errno, source);
    if (S_ISDIR(st.st_mode)) return posix::Fail(kErrorAccessDenied);
    // O_EXCL: an existing target, read-only or not, is never touched.
    out.reset(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!out) {
      if (errno == EEXIST) return posix::Fail(kErrorFileExists);
      return posix::FailErrno(errno, target);
    }
  }
  fault::Checkpoint();
  int err = CopyBytes(in.get(), out.get());
  if (err == 0) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    if (::futimens(out.get(), times) != 0 || ::fchmod(out.get(), st.st_mode & 07777) != 0) err = errno;
  }
  if (err == 0 && ::close(out.release()) != 0) err = errno;
  if (err != 0) {
    out.reset();
    ::unlink(target.c_str());  // best effort: a half-copied target must not pass for a copy
    return posix::FailErrno(err, target);
  }
  return true;
}

bool MoveFileReplace(const std::u16string& from, const std::u16string& to) {
  const std::string source = posix::NativePath(from);
  const std::string target = posix::NativePath(to);
  if (fault::Inject(fault::kMove, target.c_str())) return false;
  const posix::NameLock lock(source, target, posix::NameUse::kChange);
  if (posix::IsPending(lock, source) || posix::IsPending(lock, target)) return posix::Fail(kErrorAccessDenied);
  struct stat st {};
  if (::lstat(source.c_str(), &st) != 0) return posix::FailErrno(errno, source);
  if (posix::HoldersOf(lock, st) == posix::Holders::kSomeRefuseDelete) return posix::Fail(kErrorSharingViolation);
  if (::stat(target.c_str(), &st) == 0) {
    if (posix::IsReadOnlyFile(st) || S_ISDIR(st.st_mode)) return posix::Fail(kErrorAccessDenied);
    // Windows before POSIX rename semantics replaces no file that is open, whoever holds it.
    switch (posix::HoldersOf(lock, st)) {
      case posix::Holders::kNone:
        break;
      case posix::Holders::kAllShareDelete:
        return posix::Fail(kErrorAccessDenied);
      case posix::Holders::kSomeRefuseDelete:
        return posix::Fail(kErrorSharingViolation);
    }
  }
  if (::rename(source.c_str(), target.c_str()) != 0) return posix::FailErrno(errno, target);
  return true;
}

bool DeleteFile(const std::u16string& path) {
  if (fault::Inject(fault::kDelete)) return false;
  const std::string native = posix::NativePath(path);
  const posix::NameLock lock(native, posix::NameUse::kChange);
  if (posix::IsPending(lock, native)) return posix::Fail(kErrorAccessDenied);
  struct stat st {};
  if (::lstat(native.c_str(), &st) != 0) return posix::FailErrno(errno, native);
  if (S_ISDIR(st.st_mode) || posix::IsReadOnlyFile(st)) return posix::Fail(kErrorAccessDenied);
  switch (posix::HoldersOf(lock, st)) {
    case posix::Holders::kNone:
      break;
    case posix::Holders::kAllShareDelete:
      // Deleted as far as the caller knows; the name goes with the last holder.
      return posix::MarkPending(lock, native, st) || posix::FailErrno(errno, native);
    case posix::Holders::kSomeRefuseDelete:
      return posix::Fail(kErrorSharingViolation);
  }
  if (::unlink(native.c_str()) != 0) return posix::FailErrno(errno, native);
  return true;
}

}  // namespace platform
