// GetEntry: the count query and one entry's record by index.
#include "archive/archive.h"
#include "archive/archive_handle.h"
#include "archive/entry_record.h"

ArchiveResult GetEntry(ArchiveHandle handle, int32_t index, ArchiveEntry* entry) {
  using namespace archive;
  if (entry == nullptr) return kBadArguments;
  // Cleared first, so a rejected call leaves an empty name behind.
  entry->index = 0;
  entry->name[0] = u'\0';
  entry->uncompressedSize = 0;

  ZipArchiveReader* reader = nullptr;
  const ArchiveResult result = ValidateHandle(handle, &reader);
  if (result != kOk) return result;
  const uint32_t count = reader->cursor->entryCount();
  if (index < -1 || (index >= 0 && static_cast<uint32_t>(index) >= count)) return kBadArguments;

  if (index == -1) {
    // Neither the cursor nor the cache moves for the count.
    entry->index = static_cast<int32_t>(count);
    entry->attributes = 0;
    entry->accessTime = entry->creationTime = entry->modificationTime = 0;
    entry->compressedSize = 0;
    return kOk;
  }
  if (index == reader->cachedIndex) {
    *entry = reader->cachedEntry;
    return kOk;
  }
  return ObtainEntry(*reader, index, entry);
}
