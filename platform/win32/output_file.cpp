#include "platform/fs.h"
#include "platform/win32/filetime.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"

namespace platform {
namespace {

// The attributes CreateFileW documents. Every other bit of dwFlagsAndAttributes is a flag, and
// cloud files carry attributes of the same values: pinned (0x80000) is FILE_FLAG_FIRST_PIPE_INSTANCE,
// unpinned (0x100000) FILE_FLAG_OPEN_NO_RECALL, recall-on-open (0x40000) FILE_FLAG_OPEN_REQUIRING_OPLOCK.
constexpr DWORD kCreatableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                       FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_ENCRYPTED;

}  // namespace

struct OutputFile::Impl {
  win32::UniqueFileHandle handle;
};

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() = default;
OutputFile::OutputFile(OutputFile&&) noexcept = default;
OutputFile& OutputFile::operator=(OutputFile&&) noexcept = default;
OutputFile::OutputFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

OutputFile OutputFile::Open(const std::u16string& path, Disposition disposition, uint32_t attributes) {
  DWORD creation = CREATE_ALWAYS;
  if (disposition == Disposition::kCreateNew) creation = CREATE_NEW;
  if (disposition == Disposition::kOpenExisting) creation = OPEN_EXISTING;
  // Only the bits CreateFileW takes as attributes: the directory bit means nothing for a file
  // being created, and a synced folder's bits read as flags; zero would mean "no attributes".
  DWORD flags = attributes & kCreatableAttributes;
  if (flags == 0) flags = FILE_ATTRIBUTE_NORMAL;
  HANDLE raw = ::CreateFileW(win32::Wide(path), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, nullptr, creation, flags,
                             nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    win32::FailWithLastError();
    return {};
  }
  auto impl = std::make_unique<Impl>();
  impl->handle.reset(raw);
  return OutputFile(std::move(impl));
}

bool OutputFile::IsOpen() const { return impl_ && impl_->handle; }

bool OutputFile::Write(const void* data, uint32_t size) {
  if (!IsOpen()) return win32::FailWith(ERROR_INVALID_HANDLE);
  DWORD written = 0;
  if (!::WriteFile(impl_->handle.get(), data, size, &written, nullptr)) return win32::FailWithLastError();
  return written == size || win32::FailWith(ERROR_DISK_FULL);
}

bool OutputFile::SetTimes(uint64_t creation, uint64_t access, uint64_t modification) {
  if (!IsOpen()) return win32::FailWith(ERROR_INVALID_HANDLE);
  const FILETIME c = win32::ToFileTime(creation), a = win32::ToFileTime(access), m = win32::ToFileTime(modification);
  return ::SetFileTime(impl_->handle.get(), &c, &a, &m) || win32::FailWithLastError();
}

bool OutputFile::Close() {
  if (!IsOpen()) return true;
  return ::CloseHandle(impl_->handle.release()) || win32::FailWithLastError();
}

bool SetFileTimes(const std::u16string& path, uint64_t creation, uint64_t access, uint64_t modification) {
  // Attribute access alone is allowed on a read-only file; backup semantics let folders through.
  win32::UniqueFileHandle handle(::CreateFileW(win32::Wide(path), FILE_WRITE_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return win32::FailWithLastError();
  const FILETIME c = win32::ToFileTime(creation), a = win32::ToFileTime(access), m = win32::ToFileTime(modification);
  if (!::SetFileTime(handle.get(), &c, &a, &m)) return win32::FailWithLastError();
  return ::CloseHandle(handle.release()) || win32::FailWithLastError();
}

}  // namespace platform
