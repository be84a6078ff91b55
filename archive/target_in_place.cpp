#include "archive/target_in_place.h"

#include <algorithm>
#include <span>

#include "archive/whole_inflate.h"
#include "platform/fs.h"

namespace archive {
namespace {

// Large reads: a re-launch reads every file back, and each call costs as much as a page of CRC.
constexpr uint32_t kReadPiece = 1024 * 1024;
// The bits an extracted file takes from its entry and CreateFileW would hold against a
// replacement; the archive bit is left to backup programs and the file system.
constexpr uint32_t kComparedBits =
    platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem | platform::kAttrDirectory;

bool CrcOfFileIs(const std::u16string& path, uint64_t size, uint32_t crc, std::span<uint8_t> buffer,
                 const std::atomic<bool>* stop) {
  if (buffer.empty()) return false;
  platform::InputFile file = platform::InputFile::Open(path);
  if (!file.IsOpen()) return false;
  uint32_t running = 0;
  uint64_t seen = 0;
  for (;;) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
    uint32_t got = 0;
    if (!file.Read(buffer.data(), static_cast<uint32_t>(buffer.size()), &got)) return false;
    if (got == 0) break;
    seen += got;
    if (seen > size) return false;  // grown since it was measured
    running = Crc32(running, buffer.data(), got);
  }
  return seen == size && running == crc;
}

}  // namespace

bool TargetHoldsEntry(const std::u16string& target, const ArchiveEntry& entry, uint32_t crc, WholeInflater& room,
                      const std::atomic<bool>* stop) {
  platform::FileInfo info{};
  if (!platform::GetFileInfo(target, &info)) return false;
  if ((info.attributes & (platform::kAttrReadOnly | platform::kAttrDirectory)) != 0) return false;
  if ((info.attributes & kComparedBits) != (entry.attributes & kComparedBits)) return false;
  if (info.size != entry.uncompressedSize || info.lastWriteTime != entry.modificationTime) return false;
  // A little past the size, so that a file that has grown since shows in the first read.
  const uint64_t wanted = std::min<uint64_t>(kReadPiece, info.size + 4096);
  return CrcOfFileIs(target, info.size, crc, room.Room(static_cast<uint32_t>(wanted)), stop);
}

}  // namespace archive
