// A named mutex in the global namespace, named after the directory's identity, so that every
// spelling of its path, every session and every user meet at the same object. The system
// abandons the mutex when its holder dies, and the next waiter gets it.
#include "platform/directory_lock.h"

#include <cstdio>

#include "platform/win32/file_identity.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

constexpr DWORD kRights = SYNCHRONIZE | MUTEX_MODIFY_STATE;
// Another user's holder made the mutex with a DACL this user does not pass; it goes with that
// holder's action, so the name is asked for again.
constexpr DWORD kDeniedPollMilliseconds = 50;

std::wstring MutexName(const win32::FileIdentity& identity) {
  wchar_t name[96];
  int used = std::swprintf(name, 96, L"Global\\Morvelt.GameDirectory.%016llx.",
                           static_cast<unsigned long long>(identity.volume));
  for (uint8_t byte : identity.id) used += std::swprintf(name + used, 96 - used, L"%02x", byte);
  return name;
}

}  // namespace

struct DirectoryLock::Impl {
  win32::UniqueHandle mutex;
  ~Impl() {
    if (mutex) ::ReleaseMutex(mutex.get());  // owned by this thread since Acquire
  }
};

DirectoryLock::DirectoryLock() = default;
DirectoryLock::~DirectoryLock() = default;
DirectoryLock::DirectoryLock(DirectoryLock&&) noexcept = default;
DirectoryLock& DirectoryLock::operator=(DirectoryLock&&) noexcept = default;
DirectoryLock::DirectoryLock(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DirectoryLock DirectoryLock::Acquire(const std::u16string& directory, uint32_t waitMilliseconds) {
  win32::FileIdentity identity;
  {
    const win32::UniqueFileHandle folder = win32::OpenForIdentity(directory);
    if (!folder || !win32::IdentifyFile(folder.get(), &identity)) return {};
  }
  const std::wstring name = MutexName(identity);
  const ULONGLONG deadline = ::GetTickCount64() + waitMilliseconds;
  win32::UniqueHandle mutex;
  for (;;) {
    mutex.reset(::CreateMutexExW(nullptr, name.c_str(), 0, kRights));
    if (mutex) break;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ACCESS_DENIED || ::GetTickCount64() >= deadline) {
      win32::FailWith(error == ERROR_ACCESS_DENIED ? kErrorTimeout : error);
      return {};
    }
    ::Sleep(kDeniedPollMilliseconds);
  }
  const ULONGLONG now = ::GetTickCount64();
  const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
  const DWORD waited = ::WaitForSingleObject(mutex.get(), left);
  // Abandoned: the holder was killed mid-action. Its files are whole (nothing is written in
  // place), so the lock is simply ours now.
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    win32::FailWith(waited == WAIT_TIMEOUT ? kErrorTimeout : ::GetLastError());
    return {};
  }
  auto impl = std::make_unique<Impl>();
  impl->mutex = std::move(mutex);
  return DirectoryLock(std::move(impl));
}

bool DirectoryLock::IsHeld() const { return impl_ && impl_->mutex; }

}  // namespace platform
