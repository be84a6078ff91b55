#pragma once
// The archive's bytes, read in place: the caller's block is never copied and never freed here.
#include <cstdint>
#include <optional>
#include <span>

#include "archive/byte_cursor.h"

namespace archive {

class ArchiveSource {
 public:
  ArchiveSource(const uint8_t* base, uint32_t length) : base_(base), length_(base ? length : 0) {}

  uint32_t length() const { return length_; }
  // The bytes [offset, offset + length) when all of them lie inside the block.
  std::optional<std::span<const uint8_t>> Slice(uint32_t offset, uint32_t length) const;
  // A cursor from offset to the end of the block (empty when offset is at or past the end).
  ByteCursor CursorAt(uint32_t offset) const;

 private:
  const uint8_t* base_;
  uint32_t length_;
};

}  // namespace archive
