// flock on the directory itself: bound to its inode, dropped by the kernel with the last
// descriptor, which a killed process closes too.
#include "platform/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/real_clock.h"
#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

constexpr uint32_t kPollMilliseconds = 10;

}  // namespace

struct DirectoryLock::Impl {
  posix::UniqueFd fd;
};

DirectoryLock::DirectoryLock() = default;
DirectoryLock::~DirectoryLock() = default;
DirectoryLock::DirectoryLock(DirectoryLock&&) noexcept = default;
DirectoryLock& DirectoryLock::operator=(DirectoryLock&&) noexcept = default;
DirectoryLock::DirectoryLock(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DirectoryLock DirectoryLock::Acquire(const std::u16string& directory, uint32_t waitMilliseconds) {
  const std::string native = posix::NativePath(directory);
  posix::UniqueFd fd(::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) {
    posix::FailErrno(errno, native);
    return {};
  }
  // Real time, whatever the fault hook does to this process's pauses: the holder is another one.
  const uint64_t deadline = posix::RealMilliseconds() + waitMilliseconds;
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      posix::FailErrno(errno, native);
      return {};
    }
    if (posix::RealMilliseconds() >= deadline) {
      posix::Fail(kErrorTimeout);
      return {};
    }
    posix::RealSleep(kPollMilliseconds);
  }
  auto impl = std::make_unique<Impl>();
  impl->fd = std::move(fd);
  return DirectoryLock(std::move(impl));
}

bool DirectoryLock::IsHeld() const { return impl_ && impl_->fd; }

}  // namespace platform
