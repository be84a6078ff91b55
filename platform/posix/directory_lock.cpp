// flock on the directory itself: bound to its inode, dropped by the kernel with the last
// descriptor, which a killed process closes too.
#include "platform/directory_lock.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/fault.h"
#include "platform/fs.h"
#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/real_clock.h"
#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

constexpr uint32_t kPollMilliseconds = 10;

// The folder's full path, symbolic links resolved where its parents can be searched, else as
// spelled from the root; no trailing separator.
std::string FullPath(const std::string& native) {
  if (char* resolved = ::realpath(native.c_str(), nullptr)) {
    std::string full(resolved);
    ::free(resolved);
    return full;
  }
  std::string full = native;
  if (full.empty() || full.front() != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) != nullptr) full = std::string(cwd) + "/" + full;
  }
  while (full.size() > 1 && full.back() == '/') full.pop_back();
  return full;
}

// An abstract socket address named after the path: the kernel frees it with its last descriptor,
// as it drops a flock, and nothing is written anywhere. Not bound while another holds the name.
posix::UniqueFd BindPathLock(const std::string& fullPath) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a: the address has room for a digest only
  for (unsigned char c : fullPath) hash = (hash ^ c) * 1099511628211ull;
  char name[64];
  const int length = std::snprintf(name, sizeof name, "morvelt.game-directory.%016llx",
                                   static_cast<unsigned long long>(hash));
  posix::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return fd;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name, static_cast<size_t>(length));  // sun_path[0] = 0: abstract
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(length));
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), size) != 0) fd.reset();
  return fd;
}

// Repeats attempt (true: taken; false: errno says why) until it succeeds, fails with anything but
// `busy` (another holder has it), or the deadline passes.
template <typename Attempt>
bool PollUntilTaken(Attempt attempt, int busy, uint64_t deadline, const std::string& native) {
  while (!attempt()) {
    if (errno == EINTR) continue;
    if (errno != busy) {
      posix::FailErrno(errno, native);
      return false;
    }
    if (posix::RealMilliseconds() >= deadline) {
      posix::Fail(kErrorTimeout);
      return false;
    }
    posix::RealSleep(kPollMilliseconds);
  }
  return true;
}

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
  // Real time, whatever the fault hook does to this process's pauses: the holder is another one.
  const uint64_t deadline = posix::RealMilliseconds() + waitMilliseconds;
  posix::UniqueFd fd;
  uint32_t error = 0;
  if (fault::Inject(fault::kFolderIdentity)) {
    error = LastError();
  } else {
    fd.reset(::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) error = posix::ErrorFromErrno(errno, native);
  }
  if (!fd) {
    if (error == kErrorFileNotFound || error == kErrorPathNotFound) {
      posix::Fail(error);
      return {};
    }
    // A folder that can be written but not listed: its path names the lock instead.
    const std::string fullPath = FullPath(native);
    const auto bindPath = [&] {
      fd = BindPathLock(fullPath);
      return static_cast<bool>(fd);
    };
    if (!PollUntilTaken(bindPath, EADDRINUSE, deadline, native)) return {};
  } else if (!PollUntilTaken([&] { return ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0; }, EWOULDBLOCK, deadline,
                             native)) {
    return {};
  }
  auto impl = std::make_unique<Impl>();
  impl->fd = std::move(fd);
  return DirectoryLock(std::move(impl));
}

bool DirectoryLock::IsHeld() const { return impl_ && impl_->fd; }

}  // namespace platform
