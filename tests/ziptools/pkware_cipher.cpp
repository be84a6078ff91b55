#include "tests/ziptools/pkware_cipher.h"

namespace ziptools {
namespace {

uint32_t Crc32Update(uint32_t crc, uint8_t byte) {
  crc ^= byte;
  for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  return crc;
}

}  // namespace

PkwareCipher::PkwareCipher(std::string_view password) {
  for (char c : password) Update(static_cast<uint8_t>(c));
}

void PkwareCipher::Update(uint8_t plain) {
  keys_[0] = Crc32Update(keys_[0], plain);
  keys_[1] = keys_[1] + (keys_[0] & 0xFFu);
  keys_[1] = keys_[1] * 134775813u + 1u;
  keys_[2] = Crc32Update(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

void PkwareCipher::Encrypt(std::vector<uint8_t>& bytes) {
  for (uint8_t& b : bytes) {
    const uint16_t temp = static_cast<uint16_t>(keys_[2] | 2u);
    const auto stream = static_cast<uint8_t>((static_cast<uint32_t>(temp) * (temp ^ 1u)) >> 8);
    const uint8_t plain = b;
    b = static_cast<uint8_t>(plain ^ stream);
    Update(plain);
  }
}

}  // namespace ziptools
