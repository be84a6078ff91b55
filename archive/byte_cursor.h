#pragma once
// Little-endian reads over a block of bytes that can never leave it. A read that does not fit
// clears the sticky ok flag and yields zeros, so a parser reads several fields and checks once.
#include <cstdint>
#include <span>

namespace archive {

// a + b, or false when the sum does not fit in 32 bits.
inline bool CheckedAdd(uint32_t a, uint32_t b, uint32_t* sum) {
  *sum = a + b;
  return *sum >= a;
}

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  // The next `length` bytes, or an empty span (and ok() false) when fewer remain.
  std::span<const uint8_t> Bytes(uint32_t length);
  void Skip(uint32_t length) { Take(length); }

  bool ok() const { return ok_; }
  uint32_t position() const { return position_; }

 private:
  const uint8_t* Take(uint32_t length);

  std::span<const uint8_t> bytes_;
  uint32_t position_ = 0;
  bool ok_ = true;
};

}  // namespace archive
