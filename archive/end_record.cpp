#include "archive/end_record.h"

#include <algorithm>

namespace archive {
namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kSearchWindow = 65535;
constexpr uint32_t kBlockStep = 1024;
constexpr uint32_t kBlockLength = kBlockStep + 4;  // 4 bytes of overlap keep a signature on a seam findable

bool IsEndSignatureAt(std::span<const uint8_t> block, uint32_t i) {
  return block[i] == 0x50 && block[i + 1] == 0x4B && block[i + 2] == 0x05 && block[i + 3] == 0x06;
}

}  // namespace

std::optional<uint32_t> FindEndRecord(const ArchiveSource& source) {
  const uint32_t length = source.length();
  if (length <= 4) return std::nullopt;
  const uint32_t window = std::min(kSearchWindow, length);
  for (uint32_t back = 4; back < window;) {
    back = std::min(back + kBlockStep, window);
    const uint32_t start = length - back;
    const uint32_t blockLength = std::min(kBlockLength, back);
    const auto block = source.Slice(start, blockLength);
    if (!block) return std::nullopt;
    for (uint32_t i = blockLength - 3; i-- > 0;) {
      if (IsEndSignatureAt(*block, i)) return start + i;
    }
  }
  return std::nullopt;
}

std::optional<EndRecord> ReadEndRecord(const ArchiveSource& source) {
  const auto found = FindEndRecord(source);
  if (!found) return std::nullopt;
  ByteCursor in = source.CursorAt(*found);
  in.Skip(4);  // signature
  const uint32_t thisDisk = in.U16();
  const uint32_t centralDisk = in.U16();
  const uint32_t entriesOnDisk = in.U16();
  const uint32_t totalEntries = in.U16();
  EndRecord end{};
  end.offset = *found;
  end.centralSize = in.U32();
  end.centralOffset = in.U32();
  end.commentLength = in.U16();
  if (!in.ok()) return std::nullopt;
  if (thisDisk != 0 || centralDisk != 0 || entriesOnDisk != totalEntries) return std::nullopt;
  uint32_t centralEnd = 0;
  if (!CheckedAdd(end.centralOffset, end.centralSize, &centralEnd) || centralEnd > end.offset) return std::nullopt;
  end.entryCount = totalEntries;
  end.prefixLength = end.offset - centralEnd;
  return end;
}

}  // namespace archive
