#pragma once
// The local file header in front of an entry's data, checked against its central record.
#include <cstdint>

#include "archive/central_directory.h"

namespace archive {

enum class LocalHeaderCheck {
  kOk,
  kUnreadable,            // offset outside the archive, or the header is cut short
  kBadSignature,
  kMethodMismatch,
  kUnsupportedMethod,     // neither stored (0) nor deflated (8)
  kCrcMismatch,
  kCompressedSizeMismatch,
  kUncompressedSizeMismatch,
  kNameLengthMismatch,
  kLayoutOverflow,        // header, name and extra field do not fit in 32-bit offsets
};

struct LocalHeader {
  uint32_t flags;
  uint32_t extraLength;
  uint32_t extraOffset;  // where the extra field lies in the block, prefix included
  uint32_t dataOffset;   // where the entry's data begins, as recorded (prefix not included)
};

LocalHeaderCheck CheckLocalHeader(const ArchiveSource& source, uint32_t prefixLength, const CentralRecord& central,
                                  LocalHeader* local);

}  // namespace archive
