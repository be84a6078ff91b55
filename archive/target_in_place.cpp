#include "archive/target_in_place.h"

#include <zlib.h>

#include <memory>

#include "platform/fs.h"

namespace archive {
namespace {

constexpr uint32_t kReadPiece = 256 * 1024;
// The bits an extracted file takes from its entry and CreateFileW would hold against a
// replacement; the archive bit is left to backup programs and the file system.
constexpr uint32_t kComparedBits =
    platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem | platform::kAttrDirectory;

bool CrcOfFileIs(const std::u16string& path, uint64_t size, uint32_t crc, const std::atomic<bool>* stop) {
  platform::InputFile file = platform::InputFile::Open(path);
  if (!file.IsOpen()) return false;
  const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kReadPiece);
  uLong running = crc32(0, nullptr, 0);
  uint64_t seen = 0;
  for (;;) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
    uint32_t got = 0;
    if (!file.Read(buffer.get(), kReadPiece, &got)) return false;
    if (got == 0) break;
    seen += got;
    if (seen > size) return false;  // grown since it was measured
    running = crc32(running, buffer.get(), got);
  }
  return seen == size && static_cast<uint32_t>(running) == crc;
}

}  // namespace

bool TargetHoldsEntry(const std::u16string& target, const ArchiveEntry& entry, uint32_t crc,
                      const std::atomic<bool>* stop) {
  platform::FileInfo info{};
  if (!platform::GetFileInfo(target, &info)) return false;
  if ((info.attributes & (platform::kAttrReadOnly | platform::kAttrDirectory)) != 0) return false;
  if ((info.attributes & kComparedBits) != (entry.attributes & kComparedBits)) return false;
  if (info.size != entry.uncompressedSize || info.lastWriteTime != entry.modificationTime) return false;
  return CrcOfFileIs(target, info.size, crc, stop);
}

}  // namespace archive
