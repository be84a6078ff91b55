// A named mutex in the global namespace, named after the directory's identity, so that every
// spelling of its path, every session and every user meet at the same object. The system
// abandons the mutex when its holder dies, and the next waiter gets it.
#include "platform/directory_lock.h"

#include <cstdio>

#include "platform/fs.h"

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

// fill(buffer, units) answers the units it wrote, or those it needs when the buffer is too small,
// or 0 on failure; asked again with room until the text fits. Empty on failure.
template <typename Fill>
std::wstring GrownText(Fill fill) {
  std::wstring text(MAX_PATH, L'\0');
  for (;;) {
    const DWORD units = fill(text.data(), static_cast<DWORD>(text.size()));
    if (units == 0) return {};
    if (units < text.size()) {
      text.resize(units);
      return text;
    }
    text.resize(units);
  }
}

// Where the folder cannot be opened to read its identity: its full path with long names, in upper
// case as the file system compares names, hashed, since a mutex name holds neither "\\" nor more
// than MAX_PATH characters. Two folders that hash alike only take turns.
std::wstring MutexNameFromPath(const std::u16string& directory) {
  std::wstring full =
      GrownText([&](wchar_t* buffer, DWORD units) { return ::GetFullPathNameW(win32::Wide(directory), units, buffer, nullptr); });
  if (full.empty()) full = reinterpret_cast<const wchar_t*>(directory.c_str());
  const std::wstring longName =
      GrownText([&](wchar_t* buffer, DWORD units) { return ::GetLongPathNameW(full.c_str(), buffer, units); });
  if (!longName.empty()) full = longName;  // else short names stay
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  if (!full.empty()) ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  uint64_t hash = 14695981039346656037ull;  // FNV-1a over the UTF-16 units
  for (wchar_t c : full) {
    hash = (hash ^ (static_cast<uint16_t>(c) & 0xFFu)) * 1099511628211ull;
    hash = (hash ^ (static_cast<uint16_t>(c) >> 8)) * 1099511628211ull;
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"Global\\Morvelt.GameDirectoryPath.%016llx", static_cast<unsigned long long>(hash));
  return name;
}

// The identity's name, or the path's where the folder exists but does not tell who it is.
bool LockName(const std::u16string& directory, std::wstring* name) {
  win32::FileIdentity identity;
  const win32::UniqueFileHandle folder = win32::OpenForIdentity(directory);
  if (folder && win32::IdentifyFile(folder.get(), &identity)) {
    *name = MutexName(identity);
    return true;
  }
  const uint32_t error = LastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  *name = MutexNameFromPath(directory);
  return true;
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
  std::wstring name;
  if (!LockName(directory, &name)) return {};
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
