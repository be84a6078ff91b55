#pragma once
// Decoding a whole raw-deflate stream in one call, into a buffer kept for the next entry: several
// times faster than streaming it, at the price of holding the entry's bytes at once. Only entries
// up to kWholeInflateCap take this way, so a handle never holds more than that, whatever the
// archive; larger ones stream.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

struct libdeflate_decompressor;

namespace archive {

// Eight workers (patch/file_workers.h) then hold at most 32 MiB between them.
inline constexpr uint32_t kWholeInflateCap = 4u << 20;
// Decoded bytes go to the file in pieces of this size: few calls, and the disk busy early.
inline constexpr uint32_t kWholeWritePiece = 1u << 20;

class WholeInflater {
 public:
  WholeInflater();
  ~WholeInflater();
  WholeInflater(const WholeInflater&) = delete;
  WholeInflater& operator=(const WholeInflater&) = delete;

  // The `size` bytes that the stream `in` decodes to, valid until the next call. Empty when size
  // exceeds the cap or memory is short, and when the stream is damaged, ends before `size` bytes
  // or runs on past them: the streaming inflater then decides, as for any entry.
  std::optional<std::span<const uint8_t>> Inflate(std::span<const uint8_t> in, uint32_t size);

  // The same buffer as room for `size` bytes (at most the cap) for other work between entries;
  // empty when memory is short.
  std::span<uint8_t> Room(uint32_t size);

 private:
  struct FreeDecompressor {
    void operator()(libdeflate_decompressor* d) const;
  };
  std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor_;
  std::unique_ptr<uint8_t[]> buffer_;  // the largest entry so far, never past the cap
  uint32_t capacity_ = 0;
};

// CRC-32 (the ZIP one) of data, continuing from crc (0 to start).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace archive
