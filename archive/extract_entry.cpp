// ExtractEntryToFile: one entry to one file, all or nothing.
#include "archive/archive.h"
#include "archive/archive_handle.h"
#include "archive/directory_chain.h"
#include "archive/entry_name.h"
#include "archive/entry_record.h"
#include "archive/entry_writer.h"
#include "archive/target_in_place.h"
#include "archive/target_path.h"
#include "archive/target_replacement.h"
#include "platform/fs.h"
#include "platform/lock_wait.h"

namespace archive {
namespace {

ArchiveResult ExtractDirectory(const TargetPath& target) {
  CreateDirectoryChain(target.base, target.directory);
  if (!target.fileName.empty() && !platform::PathExists(target.full)) platform::CreateDirectory(target.full);
  const uint32_t attributes = platform::GetFileAttributes(target.full);
  if (attributes == platform::kInvalidAttributes || (attributes & platform::kAttrDirectory) == 0) {
    return kCannotOpenFile;
  }
  return kOk;
}

ArchiveResult ExtractFile(ZipArchiveReader& reader, const ArchiveEntry& entry, const TargetPath& target,
                          platform::LockWaitBudget& budget) {
  if (target.base.size() + target.directory.size() + kTemporaryNameUnits > kMaxPathUnits) return kPathTooLong;
  const std::u16string temporaryPath = TemporaryPathFor(target.full);
  (void)RemoveLeftoverTemporary(temporaryPath);  // ignored: one still held is dealt with when it is needed
  const FileTimes times{entry.creationTime, entry.accessTime, entry.modificationTime};
  if (TargetHoldsEntry(target.full, entry, reader.cursor->record().crc32, reader.inflater)) {
    // Result ignored: the bytes are in place, and a time that will not stick loses nothing.
    (void)platform::SetFileTimes(target.full, times.creation, times.access, times.modification);
    return kOk;
  }

  CreateDirectoryChain(target.base, target.directory);
  ArchiveResult result = ProbeExistingTarget(target.full, entry.attributes, budget);
  if (result != kOk) return result;
  TemporaryFile temporary;
  result = temporary.Create(temporaryPath, entry.attributes, budget);
  if (result != kOk) return result;
  result = WriteEntryData(reader, temporary.file());
  if (result != kOk) return result;
  return temporary.ReplaceTarget(target.full, times, budget);
}

}  // namespace
}  // namespace archive

ArchiveResult ExtractEntryToFile(ArchiveHandle handle, int32_t index, const char16_t* path,
                                 platform::LockWaitBudget& budget) {
  using namespace archive;
  ZipArchiveReader* reader = nullptr;
  ArchiveResult result = ValidateHandle(handle, &reader);
  if (result != kOk) return result;
  if (path == nullptr || index < 0 || static_cast<uint32_t>(index) >= reader->cursor->entryCount()) {
    return kBadArguments;
  }
  ArchiveEntry entry{};
  result = ObtainEntry(*reader, index, &entry);
  if (result != kOk) return result;
  if (!IsContainedName(entry.name)) return kUnsafeName;

  TargetPath target;
  result = ResolveTarget(reader->baseDirectory, path, &target);
  if (result != kOk) return result;
  if ((entry.attributes & platform::kAttrDirectory) != 0) return ExtractDirectory(target);
  return ExtractFile(*reader, entry, target, budget);
}

ArchiveResult ExtractEntryToFile(ArchiveHandle handle, int32_t index, const char16_t* path) {
  platform::LockWaitBudget budget(platform::LockWaitBudget::kPerFileMilliseconds);
  return ExtractEntryToFile(handle, index, path, budget);
}
