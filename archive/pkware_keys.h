#pragma once
// Traditional PKWARE encryption ("ZipCrypto"): the three running keys and in-place decryption.
#include <cstdint>
#include <span>
#include <string_view>

namespace archive {

class PkwareKeys {
 public:
  explicit PkwareKeys(std::string_view password);
  void Decrypt(std::span<uint8_t> bytes);

 private:
  void Update(uint8_t plain);
  uint8_t KeyStreamByte() const;

  uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

}  // namespace archive
