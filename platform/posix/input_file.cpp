// CreateFileW for reading, emulated with a plain descriptor.
#include <fcntl.h>
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

// Opened with FILE_SHARE_READ only: a deletion or a move over the file waits for it to close.
struct InputFile::Impl {
  posix::FileHold hold;  // declared first: given up after the descriptor closes
  posix::UniqueFd fd;
  std::string path;
};

InputFile::InputFile() = default;
InputFile::~InputFile() = default;
InputFile::InputFile(InputFile&&) noexcept = default;
InputFile& InputFile::operator=(InputFile&&) noexcept = default;
InputFile::InputFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

InputFile InputFile::Open(const std::u16string& path) {
  if (fault::Inject(fault::kOpenInput)) return {};
  auto impl = std::make_unique<Impl>();
  impl->path = posix::NativePath(path);
  {
    const posix::NameLock lock(impl->path, posix::NameUse::kLook);
    if (posix::IsPending(lock, impl->path)) {
      posix::Fail(kErrorAccessDenied);
      return {};
    }
    impl->fd.reset(::open(impl->path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!impl->fd) {
      posix::FailErrno(errno, impl->path);
      return {};
    }
    struct stat st {};
    if (::fstat(impl->fd.get(), &st) != 0) {
      posix::FailErrno(errno, impl->path);
      return {};
    }
    if (S_ISDIR(st.st_mode)) {
      posix::Fail(kErrorAccessDenied);
      return {};
    }
    impl->hold = posix::FileHold(lock, st, false);
  }
  ::posix_fadvise(impl->fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);  // a hint only
  return InputFile(std::move(impl));
}

bool InputFile::IsOpen() const { return impl_ && impl_->fd; }

bool InputFile::Read(void* data, uint32_t size, uint32_t* got) {
  *got = 0;
  if (!IsOpen()) return posix::Fail(posix::kErrorInvalidParameter);
  for (;;) {
    const ssize_t n = ::read(impl_->fd.get(), data, size);
    if (n >= 0) {
      *got = static_cast<uint32_t>(n);
      return true;
    }
    if (errno != EINTR) return posix::FailErrno(errno, impl_->path);
  }
}

}  // namespace platform
