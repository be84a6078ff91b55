#include "archive/whole_inflate.h"

#include <libdeflate.h>

#include <new>

namespace archive {

void WholeInflater::FreeDecompressor::operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }

WholeInflater::WholeInflater() = default;
WholeInflater::~WholeInflater() = default;

std::optional<std::span<const uint8_t>> WholeInflater::Inflate(std::span<const uint8_t> in, uint32_t size) {
  if (size > kWholeInflateCap) return std::nullopt;
  if (!decompressor_) decompressor_.reset(libdeflate_alloc_decompressor());
  if (!decompressor_) return std::nullopt;
  const std::span<uint8_t> out = Room(size);
  if (out.size() != size) return std::nullopt;
  size_t produced = 0;
  // Room for exactly `size` bytes: a stream that would write more reports a lack of space.
  const libdeflate_result result =
      libdeflate_deflate_decompress_ex(decompressor_.get(), in.data(), in.size(), out.data(), size, nullptr, &produced);
  if (result != LIBDEFLATE_SUCCESS || produced != size) return std::nullopt;
  return out;
}

std::span<uint8_t> WholeInflater::Room(uint32_t size) {
  if (size > kWholeInflateCap) return {};
  if (size > capacity_) {
    // Exactly the size: workers take the largest entries first, so this seldom happens twice, and
    // the sanitizer sees a byte written past an entry's end.
    buffer_.reset(new (std::nothrow) uint8_t[size]);
    capacity_ = buffer_ ? size : 0;
    if (!buffer_) return {};
  }
  return {buffer_.get(), size};
}

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) { return libdeflate_crc32(crc, data, size); }

}  // namespace archive
