#pragma once
#include "archive/archive.h"
#include "archive/archive_handle.h"
#include "platform/fs.h"

namespace archive {

// Streams the data of the entry under the reader's cursor into file, one write per piece of at
// most 16 KiB. kOk only when every recorded byte arrived and the CRC-32 matched.
ArchiveResult WriteEntryData(ZipArchiveReader& reader, platform::OutputFile& file);

}  // namespace archive
