#pragma once
// The ArchiveEntry record of one entry, as GetEntry reports it and extraction relies on it.
#include <cstdint>

#include "archive/archive.h"
#include "archive/archive_handle.h"

namespace archive {

// Moves the cursor to index (0 <= index < count) and fills *entry, from the reader's cache when
// the index matches. On success the record becomes the cached one; on failure *entry is untouched.
ArchiveResult ObtainEntry(ZipArchiveReader& reader, int32_t index, ArchiveEntry* entry);

}  // namespace archive
