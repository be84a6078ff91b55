#pragma once
// One launch action at a time on a game directory, across every process of the machine: two
// copies of the tool pressing at once would otherwise interleave their moves and lose the
// official files. The system releases the lock when its holder ends, however it ends, so a
// killed holder never leaves it held; nothing is written into the directory.
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

inline constexpr uint32_t kErrorTimeout = 1460;  // ERROR_TIMEOUT

class DirectoryLock {
 public:
  DirectoryLock();
  ~DirectoryLock();
  DirectoryLock(DirectoryLock&&) noexcept;
  DirectoryLock& operator=(DirectoryLock&&) noexcept;
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  // Waits up to waitMilliseconds while another holder has the lock on directory. The lock is
  // bound to the directory itself, not to how its path is spelled; where the directory cannot be
  // opened to tell who it is (a folder that may be written but not listed, unusual access rules
  // or file systems), to its full path, long names and upper case. Not held when the wait ran
  // out (kErrorTimeout) or the directory does not exist (its error).
  static DirectoryLock Acquire(const std::u16string& directory, uint32_t waitMilliseconds);

  bool IsHeld() const;

  struct Impl;

 private:
  explicit DirectoryLock(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
