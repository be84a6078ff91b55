#pragma once
// The test that lets a re-launch leave alone what is already in place.
#include <atomic>
#include <cstdint>
#include <string>

#include "archive/archive.h"
#include "archive/whole_inflate.h"

namespace archive {

// True when target is a regular, writable file with the entry's read-only, hidden and system
// bits, size and last-write time, whose bytes have the CRC-32 `crc`. Reads the file only when
// everything else agrees, through room's buffer; a file that cannot be read is not in place.
// `stop` (may be null), once set, ends the read between pieces with false.
bool TargetHoldsEntry(const std::u16string& target, const ArchiveEntry& entry, uint32_t crc, WholeInflater& room,
                      const std::atomic<bool>* stop = nullptr);

}  // namespace archive
