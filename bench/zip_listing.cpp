#include "bench/zip_listing.h"

namespace bench {
namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;

class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  void Seek(size_t offset) {
    if (offset > bytes_.size()) ok_ = false;
    pos_ = offset;
  }
  uint32_t Read(size_t width) {
    if (!ok_ || pos_ + width < pos_ || pos_ + width > bytes_.size()) {
      ok_ = false;
      return 0;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value |= static_cast<uint32_t>(bytes_[pos_ + i]) << (8 * i);
    pos_ += width;
    return value;
  }
  std::string Text(size_t length) {
    if (!ok_ || pos_ + length > bytes_.size()) {
      ok_ = false;
      return {};
    }
    std::string text(reinterpret_cast<const char*>(bytes_.data() + pos_), length);
    pos_ += length;
    return text;
  }
  void Skip(size_t length) { Seek(pos_ + length); }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace

std::optional<std::vector<ZipItem>> ListZip(std::span<const uint8_t> zip) {
  if (zip.size() < kEndSize) return std::nullopt;
  Cursor cursor(zip);
  size_t end = zip.size() - kEndSize + 1;
  do {
    --end;
    cursor = Cursor(zip);
    cursor.Seek(end);
  } while (end > 0 && cursor.Read(4) != kEndSignature);
  if (!cursor.ok()) return std::nullopt;
  cursor.Skip(6);
  const uint32_t count = cursor.Read(2);
  cursor.Skip(4);
  const uint32_t centralOffset = cursor.Read(4);

  std::vector<ZipItem> items;
  size_t next = centralOffset;
  for (uint32_t i = 0; i < count && cursor.ok(); ++i) {
    cursor.Seek(next);
    if (cursor.Read(4) != kCentralSignature) return std::nullopt;
    cursor.Skip(6);
    ZipItem item{};
    item.method = static_cast<uint16_t>(cursor.Read(2));
    cursor.Skip(4);
    item.crc32 = cursor.Read(4);
    item.compressedSize = cursor.Read(4);
    item.uncompressedSize = cursor.Read(4);
    const uint32_t nameLength = cursor.Read(2);
    const uint32_t extraLength = cursor.Read(2);
    const uint32_t commentLength = cursor.Read(2);
    cursor.Skip(8);
    const uint32_t localOffset = cursor.Read(4);
    item.name = cursor.Text(nameLength);
    item.directory = !item.name.empty() && item.name.back() == '/';
    next = next + kCentralSize + nameLength + extraLength + commentLength;

    Cursor local(zip);
    local.Seek(localOffset);
    if (local.Read(4) != kLocalSignature) return std::nullopt;
    local.Skip(22);
    const uint32_t localName = local.Read(2);
    const uint32_t localExtra = local.Read(2);
    if (!local.ok()) return std::nullopt;
    item.dataOffset = localOffset + static_cast<uint32_t>(kLocalSize) + localName + localExtra;
    if (static_cast<uint64_t>(item.dataOffset) + item.compressedSize > zip.size()) return std::nullopt;
    items.push_back(std::move(item));
  }
  if (!cursor.ok()) return std::nullopt;
  return items;
}

}  // namespace bench
