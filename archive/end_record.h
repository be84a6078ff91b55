#pragma once
// The end-of-central-directory record: where it is and what it says about the central directory.
#include <cstdint>
#include <optional>

#include "archive/archive_source.h"

namespace archive {

struct EndRecord {
  uint32_t offset;             // where the record's signature was found
  uint32_t entryCount;
  uint32_t centralSize;
  uint32_t centralOffset;      // as recorded, prefix not included
  uint32_t commentLength;
  uint32_t prefixLength;       // bytes in front of the archive proper (a self-extractor stub, say)
};

// Position of the signature nearest the end within the last 65,535 bytes, searched backwards in
// overlapping blocks of 1,028 bytes.
std::optional<uint32_t> FindEndRecord(const ArchiveSource& source);

// Finds and checks the end record: single disk, equal entry counts, and a central directory that
// ends no later than the end record starts.
std::optional<EndRecord> ReadEndRecord(const ArchiveSource& source);

}  // namespace archive
