#pragma once
// The walk over an archive's file entries that every GamePatcher operation shares.
#include <cstdint>
#include <functional>
#include <string>

#include "archive/archive.h"

namespace patch {

// Called with an entry's index and the path it installs to; false notes a failure.
using FileEntryVisitor = std::function<bool(int32_t index, const std::u16string& target)>;

// Visits the file entries in index order; directory entries are skipped, their directories come
// into being through the files beneath them. An entry whose record cannot be read, or whose name
// would land outside the game directory, is never visited: it counts as a failure and the walk
// goes on. True when nothing failed.
bool WalkFileEntries(ArchiveHandle archive, const std::u16string& gameDirectory, const FileEntryVisitor& visit);

// An entry name that names a file below the game directory: not empty, not rooted, no drive or
// stream colon, no component that climbs to a parent ("..", or a dot-and-space spelling that
// Windows trims to it). The reader leaves names such as "../x" as they are.
bool IsNameInsideGameDirectory(std::u16string_view name);

}  // namespace patch
