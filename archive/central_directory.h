#pragma once
// The central directory, walked one record at a time.
#include <cstdint>
#include <span>

#include "archive/archive_source.h"
#include "archive/end_record.h"

namespace archive {

inline constexpr uint32_t kFlagEncrypted = 0x0001;
inline constexpr uint32_t kFlagDataDescriptor = 0x0008;

// A central file header, every field widened to 32 bits.
struct CentralRecord {
  uint32_t versionMadeBy;
  uint32_t versionNeeded;
  uint32_t flags;
  uint32_t method;
  uint32_t dosDateTime;  // date in the high 16 bits, time in the low 16 bits
  uint32_t crc32;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint32_t nameLength;
  uint32_t extraLength;
  uint32_t commentLength;
  uint32_t diskNumberStart;
  uint32_t internalAttributes;
  uint32_t externalAttributes;
  uint32_t localHeaderOffset;  // as recorded, prefix not included
  std::span<const uint8_t> name;  // the stored name bytes, all of them, inside the archive
};

// Rests on one entry at a time; moves forward one record per step and goes back only by
// starting again at the first record. An unreadable record stops the walk there.
class CentralDirectoryCursor {
 public:
  CentralDirectoryCursor(ArchiveSource source, const EndRecord& end);

  const ArchiveSource& source() const { return source_; }
  uint32_t entryCount() const { return entryCount_; }
  uint32_t prefixLength() const { return prefixLength_; }
  uint32_t index() const { return index_; }
  bool valid() const { return valid_; }
  // The record under the cursor; meaningful only while valid().
  const CentralRecord& record() const { return record_; }

  bool MoveFirst();
  bool MoveNext();
  // True when the cursor ends on a readable record at `index`.
  bool MoveTo(uint32_t index);

 private:
  bool ReadRecord();

  ArchiveSource source_;
  uint32_t entryCount_;
  uint32_t prefixLength_;
  uint32_t centralOffset_;
  uint32_t index_ = 0;
  uint32_t recordOffset_ = 0;
  bool valid_ = false;
  CentralRecord record_{};
};

}  // namespace archive
