#pragma once
#include "archive/archive.h"
#include "archive/archive_handle.h"
#include "platform/fs.h"

namespace archive {

// Writes the data of the entry under the reader's cursor into file, in pieces of at most 1 MiB
// (16 KiB where it streams). kOk only when every recorded byte arrived and the CRC-32 matched.
ArchiveResult WriteEntryData(ZipArchiveReader& reader, platform::OutputFile& file);

}  // namespace archive
