// CreateFileW for writing, emulated: read-only files refuse to be opened or replaced, and a
// file created read-only stays writable through its own handle until it is closed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault.h"
#include "platform/fs.h"
#include "platform/posix/file_mode.h"
#include "platform/posix/filetime.h"
#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/open_names.h"
#include "platform/posix/unique_fd.h"

namespace platform {

// Opened with no sharing: a deletion or a move over the file waits for it to close.
struct OutputFile::Impl {
  posix::UniqueFd fd;
  posix::FileHold hold;
  std::string path;
  bool readOnlyAtClose = false;

  ~Impl() { Close(); }

  bool Close() {
    const bool closed = CloseDescriptor();
    hold.Release();
    return closed;
  }

  bool CloseDescriptor() {
    if (!fd) return true;
    if (readOnlyAtClose) {
      struct stat st {};
      if (::fstat(fd.get(), &st) != 0 ||
          ::fchmod(fd.get(), st.st_mode & 07777 & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) != 0) {
        posix::FailErrno(errno, path);
        fd.reset();
        return false;
      }
    }
    if (::close(fd.release()) != 0) return posix::FailErrno(errno, path);
    return true;
  }
};

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() = default;
OutputFile::OutputFile(OutputFile&&) noexcept = default;
OutputFile& OutputFile::operator=(OutputFile&&) noexcept = default;
OutputFile::OutputFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

OutputFile OutputFile::Open(const std::u16string& path, Disposition disposition, uint32_t attributes) {
  if (fault::Inject(fault::kCreate)) return {};
  auto impl = std::make_unique<Impl>();
  impl->path = posix::NativePath(path);
  const char* native = impl->path.c_str();
  const posix::NameLock lock(impl->path, posix::NameUse::kLook);
  // A name pending deletion: CreateFileW gets access denied for it, whatever the disposition.
  if (posix::IsPending(lock, impl->path)) {
    posix::Fail(kErrorAccessDenied);
    return {};
  }
  // Create exclusively first so that an existing file is never truncated before it is checked;
  // a file that vanishes between the two opens is simply tried again.
  for (int attempt = 0; attempt < 4 && !impl->fd; ++attempt) {
    if (disposition != Disposition::kOpenExisting) {
      impl->fd.reset(::open(native, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (impl->fd) break;
      if (errno != EEXIST) {
        posix::FailErrno(errno, impl->path);
        return {};
      }
      if (disposition == Disposition::kCreateNew) {
        posix::Fail(kErrorFileExists);
        return {};
      }
    }
    posix::UniqueFd existing(::open(native, O_WRONLY | O_CLOEXEC));
    if (!existing) {
      if (errno == ENOENT && disposition == Disposition::kCreateAlways) continue;
      posix::FailErrno(errno, impl->path);
      return {};
    }
    struct stat st {};
    if (::fstat(existing.get(), &st) != 0) {
      posix::FailErrno(errno, impl->path);
      return {};
    }
    if (posix::IsReadOnlyFile(st)) {
      posix::Fail(kErrorAccessDenied);
      return {};
    }
    if (disposition == Disposition::kCreateAlways && ::ftruncate(existing.get(), 0) != 0) {
      posix::FailErrno(errno, impl->path);
      return {};
    }
    impl->fd = std::move(existing);
  }
  if (!impl->fd) {
    posix::Fail(kErrorFileNotFound);
    return {};
  }
  struct stat st {};
  if (::fstat(impl->fd.get(), &st) != 0) {
    posix::FailErrno(errno, impl->path);
    return {};
  }
  impl->hold = posix::FileHold(lock, st, false);
  impl->readOnlyAtClose = (attributes & kAttrReadOnly) != 0 && disposition != Disposition::kOpenExisting;
  return OutputFile(std::move(impl));
}

bool OutputFile::IsOpen() const { return impl_ && impl_->fd; }

bool OutputFile::Write(const void* data, uint32_t size) {
  if (!IsOpen()) return posix::Fail(posix::kErrorInvalidParameter);
  if (fault::InjectWrite(size)) return false;
  const auto* bytes = static_cast<const char*>(data);
  for (uint32_t done = 0; done < size;) {
    const ssize_t put = ::write(impl_->fd.get(), bytes + done, size - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return posix::FailErrno(errno, impl_->path);
    }
    if (put == 0) return posix::Fail(kErrorDiskFull);
    done += static_cast<uint32_t>(put);
  }
  return true;
}

// Linux keeps no creation time that a program may set, so `creation` has nowhere to go.
bool OutputFile::SetTimes(uint64_t /*creation*/, uint64_t access, uint64_t modification) {
  if (!IsOpen()) return posix::Fail(posix::kErrorInvalidParameter);
  if (fault::Inject(fault::kSetTimes)) return false;
  struct timespec times[2];
  if (!posix::FileTimesToTimespecs(access, modification, times)) return false;
  if (::futimens(impl_->fd.get(), times) != 0) return posix::FailErrno(errno, impl_->path);
  return true;
}

bool OutputFile::Close() { return !impl_ || impl_->Close(); }

bool SetFileTimes(const std::u16string& path, uint64_t /*creation*/, uint64_t access, uint64_t modification) {
  if (fault::Inject(fault::kSetTimes)) return false;
  const std::string native = posix::NativePath(path);
  struct timespec times[2];
  if (!posix::FileTimesToTimespecs(access, modification, times)) return false;
  const posix::NameLock lock(native, posix::NameUse::kLook);
  if (posix::IsPending(lock, native)) return posix::Fail(kErrorAccessDenied);
  if (::utimensat(AT_FDCWD, native.c_str(), times, 0) != 0) return posix::FailErrno(errno, native);
  return true;
}

}  // namespace platform
