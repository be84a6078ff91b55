#pragma once
// Traditional PKWARE encryption, written from the application note independently of the reader's
// decryption so that the two check each other.
#include <cstdint>
#include <string_view>
#include <vector>

namespace ziptools {

class PkwareCipher {
 public:
  explicit PkwareCipher(std::string_view password);
  void Encrypt(std::vector<uint8_t>& bytes);

 private:
  void Update(uint8_t plain);
  uint32_t keys_[3] = {305419896u, 591751049u, 878082192u};
};

}  // namespace ziptools
