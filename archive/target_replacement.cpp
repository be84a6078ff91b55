#include "archive/target_replacement.h"

#include "archive/target_path.h"

namespace archive {
namespace {

// A name taken again and again between removal and creation means a busy neighbour, not a
// leftover: give up rather than spin.
constexpr uint32_t kCreateAttempts = 8;

}  // namespace

ArchiveResult ProbeExistingTarget(const std::u16string& target, uint32_t entryAttributes,
                                  platform::LockWaitBudget& budget) {
  const uint32_t existing = platform::GetFileAttributes(target);
  if (existing == platform::kInvalidAttributes) return kOk;
  if ((existing & (platform::kAttrDirectory | platform::kAttrReadOnly)) != 0) return kCannotOpenFile;
  // CreateFileW refuses to replace a hidden or system file unless the new one keeps those bits.
  const uint32_t guarded = existing & (platform::kAttrHidden | platform::kAttrSystem);
  if ((guarded & ~entryAttributes) != 0) return kCannotOpenFile;
  // Opening an existing file neither truncates it nor changes its attributes; it fails while
  // another handle holds the file without sharing, which the later move would run into.
  platform::OutputFile probe;
  const bool opened = platform::RetryWhileLocked(budget, target, [&] {
    probe = platform::OutputFile::Open(target, platform::Disposition::kOpenExisting, existing);
    return probe.IsOpen();
  });
  if (!opened) return kCannotOpenFile;
  probe.Close();  // result ignored: nothing was written through this handle
  return kOk;
}

TemporaryFile::~TemporaryFile() { Discard(); }

ArchiveResult TemporaryFile::Create(const std::u16string& path, uint32_t attributes, platform::LockWaitBudget& budget) {
  for (uint32_t attempt = 0; attempt < kCreateAttempts; ++attempt) {
    platform::OutputFile file = platform::OutputFile::Open(path, platform::Disposition::kCreateNew, attributes);
    if (file.IsOpen()) {
      file_ = std::move(file);
      path_ = path;
      exists_ = true;
      return kOk;
    }
    const uint32_t error = platform::LastError();
    const bool taken = error == platform::kErrorFileExists || error == platform::kErrorAlreadyExists;
    // Access denied is about the name only while it is pending deletion (a leftover removed while
    // a scanner holds it); for a folder that takes no new files it is final.
    const bool pending = error == platform::kErrorAccessDenied && !RemoveLeftoverTemporary(path) &&
                         platform::LastError() == platform::kErrorAccessDenied;
    if (!taken && !pending) break;
    // Still there after the removal before the probe: another extraction of this target is
    // writing it, or a scanner holds it, or its name has yet to go.
    if (!platform::RetryWhileLocked(budget, path, [&] { return RemoveLeftoverTemporary(path); })) break;
  }
  return kCannotOpenFile;
}

ArchiveResult TemporaryFile::ReplaceTarget(const std::u16string& target, const FileTimes& times,
                                           platform::LockWaitBudget& budget) {
  file_.SetTimes(times.creation, times.access, times.modification);  // result ignored: restamped below
  if (!file_.Close()) return kWriteFailed;
  if (!platform::RetryWhileLocked(budget, target, [&] { return platform::MoveFileReplace(path_, target); })) {
    return kCannotOpenFile;
  }
  exists_ = false;
  // Windows may carry the replaced file's creation time over to the new one (tunnelling), so
  // the times go on again by path. Result ignored: the content is complete and in place, and a
  // time that will not stick is no reason to report it as lost.
  platform::SetFileTimes(target, times.creation, times.access, times.modification);
  return kOk;
}

void TemporaryFile::Discard() {
  file_.Close();  // result ignored: the file is being thrown away
  if (!exists_) return;
  exists_ = false;
  RemoveLeftoverTemporary(path_);  // best effort: the next extraction of the target tries again
}

}  // namespace archive

bool RemoveLeftoverTemporary(const std::u16string& temporary) {
  const uint32_t attributes = platform::GetFileAttributes(temporary);
  if (attributes == platform::kInvalidAttributes) {
    // Access denied here is a name pending deletion: still there, and no new file can take it.
    const uint32_t error = platform::LastError();
    return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound;
  }
  if ((attributes & platform::kAttrDirectory) != 0) {
    platform::RestoreLastError(platform::kErrorAccessDenied);
    return false;
  }
  if ((attributes & platform::kAttrReadOnly) == 0) return platform::DeleteFile(temporary);
  // A read-only temporary (from a read-only entry) refuses deletion until its bit is cleared.
  // If another extraction still holds it, the bit goes back, so its file comes out as it should.
  const uint32_t writable = attributes & ~platform::kAttrReadOnly;
  if (!platform::SetFileAttributes(temporary, writable != 0 ? writable : platform::kAttrNormal)) return false;
  if (platform::DeleteFile(temporary)) return true;
  const uint32_t error = platform::LastError();
  (void)platform::SetFileAttributes(temporary, attributes);  // ignored: the failure below is what counts
  platform::RestoreLastError(error);
  return false;
}
