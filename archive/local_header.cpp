#include "archive/local_header.h"

namespace archive {
namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kLocalFixedLength = 30;

}  // namespace

LocalHeaderCheck CheckLocalHeader(const ArchiveSource& source, uint32_t prefixLength, const CentralRecord& central,
                                  LocalHeader* local) {
  uint32_t at = 0;
  if (!CheckedAdd(central.localHeaderOffset, prefixLength, &at)) return LocalHeaderCheck::kUnreadable;
  ByteCursor in = source.CursorAt(at);
  const uint32_t signature = in.U32();
  in.U16();  // version needed: not compared
  const uint32_t flags = in.U16();
  const uint32_t method = in.U16();
  in.U32();  // DOS time and date: not compared, writers disagree about them harmlessly
  const uint32_t crc32 = in.U32();
  const uint32_t compressedSize = in.U32();
  const uint32_t uncompressedSize = in.U32();
  const uint32_t nameLength = in.U16();
  const uint32_t extraLength = in.U16();
  if (!in.ok()) return LocalHeaderCheck::kUnreadable;
  if (signature != kLocalSignature) return LocalHeaderCheck::kBadSignature;
  if (method != central.method) return LocalHeaderCheck::kMethodMismatch;
  if (method != 0 && method != 8) return LocalHeaderCheck::kUnsupportedMethod;
  // With a data descriptor the local values are written before they are known (usually zeros).
  if ((flags & kFlagDataDescriptor) == 0) {
    if (crc32 != central.crc32) return LocalHeaderCheck::kCrcMismatch;
    if (compressedSize != central.compressedSize) return LocalHeaderCheck::kCompressedSizeMismatch;
    if (uncompressedSize != central.uncompressedSize) return LocalHeaderCheck::kUncompressedSizeMismatch;
  }
  if (nameLength != central.nameLength) return LocalHeaderCheck::kNameLengthMismatch;

  uint32_t extraAt = 0;
  uint32_t dataOffset = 0;
  if (!CheckedAdd(at, kLocalFixedLength + nameLength, &extraAt) ||
      !CheckedAdd(central.localHeaderOffset, kLocalFixedLength + nameLength, &dataOffset) ||
      !CheckedAdd(dataOffset, extraLength, &dataOffset)) {
    return LocalHeaderCheck::kLayoutOverflow;
  }
  *local = LocalHeader{flags, extraLength, extraAt, dataOffset};
  return LocalHeaderCheck::kOk;
}

}  // namespace archive
