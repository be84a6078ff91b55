// EntryInPlace: the extraction's "already in place" test, for a reader that only looks.
#include "archive/archive.h"
#include "archive/archive_handle.h"
#include "archive/entry_name.h"
#include "archive/entry_record.h"
#include "archive/target_in_place.h"
#include "archive/target_path.h"
#include "platform/fs.h"

bool EntryInPlace(ArchiveHandle handle, int32_t index, const char16_t* path, const std::atomic<bool>* stop) {
  using namespace archive;
  ZipArchiveReader* reader = nullptr;
  if (ValidateHandle(handle, &reader) != kOk) return false;
  if (path == nullptr || index < 0 || static_cast<uint32_t>(index) >= reader->cursor->entryCount()) return false;
  ArchiveEntry entry{};
  if (ObtainEntry(*reader, index, &entry) != kOk || !IsContainedName(entry.name)) return false;
  if ((entry.attributes & platform::kAttrDirectory) != 0) return false;
  TargetPath target;
  if (ResolveTarget(reader->baseDirectory, path, &target) != kOk) return false;
  return TargetHoldsEntry(target.full, entry, reader->cursor->record().crc32, reader->inflater, stop);
}
