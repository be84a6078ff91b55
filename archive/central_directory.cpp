#include "archive/central_directory.h"

namespace archive {
namespace {

constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kCentralFixedLength = 46;

}  // namespace

CentralDirectoryCursor::CentralDirectoryCursor(ArchiveSource source, const EndRecord& end)
    : source_(source),
      entryCount_(end.entryCount),
      prefixLength_(end.prefixLength),
      centralOffset_(end.centralOffset) {}

bool CentralDirectoryCursor::MoveFirst() {
  index_ = 0;
  recordOffset_ = centralOffset_;
  valid_ = ReadRecord();
  return valid_;
}

bool CentralDirectoryCursor::MoveNext() {
  if (!valid_ || index_ + 1 >= entryCount_) return false;
  uint32_t next = 0;
  const bool fits = CheckedAdd(recordOffset_, kCentralFixedLength, &next) &&
                    CheckedAdd(next, record_.nameLength, &next) && CheckedAdd(next, record_.extraLength, &next) &&
                    CheckedAdd(next, record_.commentLength, &next);
  index_ += 1;
  recordOffset_ = next;
  valid_ = fits && ReadRecord();
  return valid_;
}

bool CentralDirectoryCursor::MoveTo(uint32_t index) {
  if (index >= entryCount_) return false;
  if (index < index_) MoveFirst();
  while (valid_ && index_ < index) MoveNext();
  return valid_ && index_ == index;
}

bool CentralDirectoryCursor::ReadRecord() {
  record_ = CentralRecord{};
  uint32_t at = 0;
  if (!CheckedAdd(recordOffset_, prefixLength_, &at)) return false;
  ByteCursor in = source_.CursorAt(at);
  if (in.U32() != kCentralSignature) return false;
  CentralRecord r{};
  r.versionMadeBy = in.U16();
  r.versionNeeded = in.U16();
  r.flags = in.U16();
  r.method = in.U16();
  const uint32_t dosTime = in.U16();
  const uint32_t dosDate = in.U16();
  r.dosDateTime = (dosDate << 16) | dosTime;
  r.crc32 = in.U32();
  r.compressedSize = in.U32();
  r.uncompressedSize = in.U32();
  r.nameLength = in.U16();
  r.extraLength = in.U16();
  r.commentLength = in.U16();
  r.diskNumberStart = in.U16();
  r.internalAttributes = in.U16();
  r.externalAttributes = in.U32();
  r.localHeaderOffset = in.U32();
  r.name = in.Bytes(r.nameLength);
  if (!in.ok()) return false;
  record_ = r;
  return true;
}

}  // namespace archive
