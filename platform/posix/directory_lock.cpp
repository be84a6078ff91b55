// flock on the directory itself: bound to its inode, dropped by the kernel with the last
// descriptor, which a killed process closes too.
#include "platform/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>

#include <cerrno>

#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

// The real clock, not the backend's: another process holds the lock in real time, whatever
// the fault hook does to this one's pauses.
uint64_t RealMilliseconds() {
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1'000'000;
}

constexpr long kPollNanoseconds = 10'000'000;

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
  const uint64_t deadline = RealMilliseconds() + waitMilliseconds;
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      posix::FailErrno(errno, native);
      return {};
    }
    if (RealMilliseconds() >= deadline) {
      posix::Fail(kErrorTimeout);
      return {};
    }
    struct timespec pause {0, kPollNanoseconds};
    ::nanosleep(&pause, nullptr);
  }
  auto impl = std::make_unique<Impl>();
  impl->fd = std::move(fd);
  return DirectoryLock(std::move(impl));
}

bool DirectoryLock::IsHeld() const { return impl_ && impl_->fd; }

}  // namespace platform
