#include "platform/fs.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"

namespace platform {

struct InputFile::Impl {
  win32::UniqueFileHandle handle;
};

InputFile::InputFile() = default;
InputFile::~InputFile() = default;
InputFile::InputFile(InputFile&&) noexcept = default;
InputFile& InputFile::operator=(InputFile&&) noexcept = default;
InputFile::InputFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

InputFile InputFile::Open(const std::u16string& path) {
  HANDLE raw = ::CreateFileW(win32::Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    win32::FailWithLastError();
    return {};
  }
  auto impl = std::make_unique<Impl>();
  impl->handle.reset(raw);
  return InputFile(std::move(impl));
}

bool InputFile::IsOpen() const { return impl_ && impl_->handle; }

bool InputFile::Read(void* data, uint32_t size, uint32_t* got) {
  *got = 0;
  if (!IsOpen()) return win32::FailWith(ERROR_INVALID_HANDLE);
  DWORD read = 0;
  if (!::ReadFile(impl_->handle.get(), data, size, &read, nullptr)) return win32::FailWithLastError();
  *got = read;
  return true;
}

}  // namespace platform
