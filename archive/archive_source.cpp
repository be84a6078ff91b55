#include "archive/archive_source.h"

namespace archive {

std::optional<std::span<const uint8_t>> ArchiveSource::Slice(uint32_t offset, uint32_t length) const {
  uint32_t end = 0;
  if (!CheckedAdd(offset, length, &end) || end > length_) return std::nullopt;
  return std::span<const uint8_t>(base_ + offset, length);
}

ByteCursor ArchiveSource::CursorAt(uint32_t offset) const {
  if (offset >= length_) return ByteCursor(std::span<const uint8_t>());
  return ByteCursor(std::span<const uint8_t>(base_ + offset, length_ - offset));
}

}  // namespace archive
