#include "archive/target_replacement.h"

#include "archive/target_path.h"

namespace archive {
namespace {

constexpr uint32_t kTemporaryNameAttempts = 16;

}  // namespace

ArchiveResult ProbeExistingTarget(const std::u16string& target, uint32_t entryAttributes) {
  const uint32_t existing = platform::GetFileAttributes(target);
  if (existing == platform::kInvalidAttributes) return kOk;
  if ((existing & (platform::kAttrDirectory | platform::kAttrReadOnly)) != 0) return kCannotOpenFile;
  // CreateFileW refuses to replace a hidden or system file unless the new one keeps those bits.
  const uint32_t guarded = existing & (platform::kAttrHidden | platform::kAttrSystem);
  if ((guarded & ~entryAttributes) != 0) return kCannotOpenFile;
  // Opening an existing file neither truncates it nor changes its attributes; it fails while
  // another handle holds the file without sharing, which the later move would run into.
  platform::OutputFile probe = platform::OutputFile::Open(target, platform::Disposition::kOpenExisting, existing);
  if (!probe.IsOpen()) return kCannotOpenFile;
  probe.Close();  // result ignored: nothing was written through this handle
  return kOk;
}

TemporaryFile::~TemporaryFile() { Discard(); }

ArchiveResult TemporaryFile::Create(const std::u16string& directory, uint32_t attributes, uint32_t* seed) {
  for (uint32_t attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::u16string path = directory + TemporaryFileName((*seed)++);
    platform::OutputFile file = platform::OutputFile::Open(path, platform::Disposition::kCreateNew, attributes);
    if (file.IsOpen()) {
      file_ = std::move(file);
      path_ = path;
      exists_ = true;
      return kOk;
    }
    const uint32_t error = platform::LastError();
    // Another extraction (or a leftover) has that name: try the next one.
    if (error != platform::kErrorFileExists && error != platform::kErrorAlreadyExists) break;
  }
  return kCannotOpenFile;
}

ArchiveResult TemporaryFile::ReplaceTarget(const std::u16string& target, const FileTimes& times) {
  file_.SetTimes(times.creation, times.access, times.modification);  // result ignored: restamped below
  if (!file_.Close()) return kWriteFailed;
  if (!platform::MoveFileReplace(path_, target)) return kCannotOpenFile;
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
  // A read-only temporary (from a read-only entry) refuses deletion until its bit is cleared.
  platform::SetFileAttributes(path_, platform::kAttrNormal);
  platform::DeleteFile(path_);  // best effort: nothing else can be done about a stuck temporary
}

}  // namespace archive
