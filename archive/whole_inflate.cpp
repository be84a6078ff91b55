#include "archive/whole_inflate.h"

#include <libdeflate.h>

#include <algorithm>
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
    // Doubling keeps a handle that meets its entries smallest first from reallocating for each.
    const uint32_t grown = std::min(kWholeInflateCap, std::max(size, 2 * capacity_));
    buffer_.reset(new (std::nothrow) uint8_t[grown]);
    capacity_ = buffer_ ? grown : 0;
    if (!buffer_) return {};
  }
  return {buffer_.get(), size};
}

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) { return libdeflate_crc32(crc, data, size); }

}  // namespace archive
