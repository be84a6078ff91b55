#include "archive/byte_cursor.h"

namespace archive {

const uint8_t* ByteCursor::Take(uint32_t length) {
  uint32_t end = 0;
  if (!ok_ || !CheckedAdd(position_, length, &end) || end > bytes_.size()) {
    ok_ = false;
    return nullptr;
  }
  const uint8_t* at = bytes_.data() + position_;
  position_ = end;
  return at;
}

uint8_t ByteCursor::U8() {
  const uint8_t* p = Take(1);
  return p ? p[0] : 0;
}

uint16_t ByteCursor::U16() {
  const uint8_t* p = Take(2);
  return p ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
}

uint32_t ByteCursor::U32() {
  const uint8_t* p = Take(4);
  if (!p) return 0;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

std::span<const uint8_t> ByteCursor::Bytes(uint32_t length) {
  const uint8_t* p = Take(length);
  return p ? std::span<const uint8_t>(p, length) : std::span<const uint8_t>();
}

}  // namespace archive
