#include "archive/pkware_keys.h"

#include <zlib.h>

namespace archive {
namespace {

// One step of the CRC-32 register without zlib's pre- and post-inversion, as the cipher defines it.
uint32_t CrcStep(uint32_t crc, uint8_t byte) {
  const z_crc_t* table = get_crc_table();
  return static_cast<uint32_t>(table[(crc ^ byte) & 0xFF]) ^ (crc >> 8);
}

}  // namespace

PkwareKeys::PkwareKeys(std::string_view password) {
  for (char c : password) Update(static_cast<uint8_t>(c));
}

void PkwareKeys::Update(uint8_t plain) {
  keys_[0] = CrcStep(keys_[0], plain);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
  keys_[2] = CrcStep(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

uint8_t PkwareKeys::KeyStreamByte() const {
  const uint32_t temp = (keys_[2] | 2) & 0xFFFF;
  return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

void PkwareKeys::Decrypt(std::span<uint8_t> bytes) {
  for (uint8_t& b : bytes) {
    b = static_cast<uint8_t>(b ^ KeyStreamByte());
    Update(b);
  }
}

}  // namespace archive
