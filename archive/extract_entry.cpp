// ExtractEntryToFile: one entry to one file, all or nothing.
#include "archive/archive.h"
#include "archive/archive_handle.h"
#include "archive/directory_chain.h"
#include "archive/entry_name.h"
#include "archive/entry_record.h"
#include "archive/entry_writer.h"
#include "archive/target_path.h"
#include "archive/target_replacement.h"
#include "platform/fs.h"

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

ArchiveResult ExtractFile(ZipArchiveReader& reader, const ArchiveEntry& entry, const TargetPath& target) {
  const std::u16string beside = target.base + target.directory;
  if (beside.size() + kTemporaryNameUnits > kMaxPathUnits) return kPathTooLong;
  CreateDirectoryChain(target.base, target.directory);
  ArchiveResult result = ProbeExistingTarget(target.full, entry.attributes);
  if (result != kOk) return result;

  TemporaryFile temporary;
  result = temporary.Create(beside, entry.attributes, &reader.temporaryNameSeed);
  if (result != kOk) return result;
  result = WriteEntryData(reader, temporary.file());
  if (result != kOk) return result;
  return temporary.ReplaceTarget(target.full, {entry.creationTime, entry.accessTime, entry.modificationTime});
}

}  // namespace
}  // namespace archive

ArchiveResult ExtractEntryToFile(ArchiveHandle handle, int32_t index, const char16_t* path) {
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
  return ExtractFile(*reader, entry, target);
}
