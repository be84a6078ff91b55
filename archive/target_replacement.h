#pragma once
// Replacing a target file without ever leaving it half-written: the data goes to a temporary
// file beside it, which takes the target's place only once it is complete.
#include <cstdint>
#include <string>

#include "archive/archive.h"
#include "platform/fs.h"
#include "platform/lock_wait.h"

namespace archive {

// kOk when nothing is at target, or when the file there may be replaced by an entry with these
// attributes; kCannotOpenFile for a directory, a read-only file, a hidden or system file whose
// bits the entry lacks, or a file held open without sharing past what budget allows. Changes
// nothing on disk.
ArchiveResult ProbeExistingTarget(const std::u16string& target, uint32_t entryAttributes,
                                  platform::LockWaitBudget& budget);

struct FileTimes {
  uint64_t creation;
  uint64_t access;
  uint64_t modification;
};

// The temporary file; removed again unless it replaced its target.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates a new file at path, removing a leftover of a killed run; waits within budget while
  // another extraction holds one there. kCannotOpenFile when no file could be made.
  ArchiveResult Create(const std::u16string& path, uint32_t attributes, platform::LockWaitBudget& budget);

  platform::OutputFile& file() { return file_; }

  // Closes the file, moves it over target and stamps its times. kWriteFailed when the close
  // fails, kCannotOpenFile when the target cannot be replaced within budget; the temporary goes
  // either way.
  ArchiveResult ReplaceTarget(const std::u16string& target, const FileTimes& times, platform::LockWaitBudget& budget);

 private:
  void Discard();

  platform::OutputFile file_;
  std::u16string path_;
  bool exists_ = false;
};

}  // namespace archive
