#pragma once
// The baseline: a minimal extractor shaped like the tool's own extraction (raw inflate straight
// from the archive in memory, CRC-32, at most 16 KiB handed to each write), without any of its
// checks, times or attributes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bench/zip_listing.h"

namespace bench {

inline constexpr size_t kPieceBytes = 16 * 1024;

// Inflates each file entry into a buffer of inflateBytes (a multiple of kPieceBytes) and writes
// it in pieces of at most kPieceBytes. False on any failure, a CRC mismatch included.
bool ExtractWithZlibLoop(std::span<const uint8_t> zip, const std::vector<ZipItem>& items,
                         const std::string& directory, size_t inflateBytes);

}  // namespace bench
