#pragma once
// Names that outlive their deletion, as on Windows before 10 1903 and on FAT and exFAT volumes of
// every version: a file deleted while a handle that shares deletion (a scanner's) holds it keeps
// its name until that handle closes. Meanwhile the name cannot be opened, looked at or replaced
// (access denied), and neither a new file, a link nor a move can take it (it is still there).
// A holder that does not share deletion (the backend's own handles, like CreateFileW's without
// FILE_SHARE_DELETE) refuses the deletion and a move over its file with a sharing violation.
//
// The table stands for the file system's own and is process-wide by nature; one mutex guards its
// contents, and is held only while they are read or changed, never across a file call. A NameLock
// held across a check and the call it guards makes the two one step for every other call on the
// same name: looks and opens of one name go side by side, a change of it (deleting, moving onto
// or from it, linking, copying) goes alone. Calls on other names never wait for each other, as on
// Windows. Names are told apart by their last component, whatever spelling reached their folder.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <shared_mutex>
#include <string>

namespace platform::posix {

enum class NameUse { kLook, kChange };

class NameLock {
 public:
  NameLock(const std::string& nativePath, NameUse use);
  // Two names at once (a move, a link, a copy, a comparison), in a fixed order.
  NameLock(const std::string& first, const std::string& second, NameUse use);
  ~NameLock();
  NameLock(const NameLock&) = delete;
  NameLock& operator=(const NameLock&) = delete;

 private:
  std::shared_mutex* first_;
  std::shared_mutex* second_;  // null when both names fall on one lock
  bool exclusive_;
};

// A handle's claim on its file, given up when it is destroyed; the last claim on a file removes
// the names of it that are pending deletion.
class FileHold {
 public:
  FileHold() = default;
  FileHold(const NameLock& lock, const struct stat& st, bool sharesDelete);
  ~FileHold();
  FileHold(FileHold&& other) noexcept;
  FileHold& operator=(FileHold&& other) noexcept;
  FileHold(const FileHold&) = delete;
  FileHold& operator=(const FileHold&) = delete;

  void Release();

 private:
  friend struct OpenNamesAccess;
  bool held_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  bool sharesDelete_ = false;
};

// True when the name is pending deletion.
bool IsPending(const NameLock& lock, const std::string& nativePath);

// What a deletion or a replacing move of the file at st meets.
enum class Holders { kNone, kAllShareDelete, kSomeRefuseDelete };
Holders HoldersOf(const NameLock& lock, const struct stat& st);

// The name stays until the last holder of st's file lets go. False (errno set) when its folder
// cannot be kept open for that.
bool MarkPending(const NameLock& lock, const std::string& nativePath, const struct stat& st);

// A scanner's claim on a file that ends after `milliseconds` of the backend's clock, seen by the
// next call that takes a NameLock; UINT64_MAX never ends it. For the fault hook.
void HoldUntil(FileHold hold, uint64_t milliseconds);
// Every such claim ends now.
void ReleaseTimedHolds();

}  // namespace platform::posix
