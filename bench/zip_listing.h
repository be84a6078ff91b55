#pragma once
// The bare minimum of a ZIP central directory that the comparison loop needs: where each entry's
// data lies. Bounds-checked, but it trusts the archive otherwise (it only reads our own samples).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace bench {

struct ZipItem {
  std::string name;
  bool directory;
  uint16_t method;
  uint32_t crc32;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint32_t dataOffset;  // first byte of the entry's data
};

std::optional<std::vector<ZipItem>> ListZip(std::span<const uint8_t> zip);

}  // namespace bench
