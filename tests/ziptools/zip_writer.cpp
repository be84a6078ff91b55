// Lays out local headers, data, central directory and end record, applying raw overrides last.
#include "tests/ziptools/zip_writer.h"

#include "tests/ziptools/pkware_cipher.h"

namespace ziptools {
namespace {

constexpr uint16_t kVersion = 20;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;

struct Computed {
  uint16_t flags;
  uint32_t crc32;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  std::vector<uint8_t> data;  // as stored: compressed, then encrypted
};

Computed Compute(const Entry& entry) {
  Computed c{};
  c.flags = static_cast<uint16_t>((entry.password ? kFlagEncrypted : 0) |
                                  (entry.dataDescriptor ? kFlagDataDescriptor : 0));
  c.crc32 = Crc32(entry.content);
  c.uncompressedSize = static_cast<uint32_t>(entry.content.size());
  c.data = entry.method == kDeflated ? Deflate(entry.content) : entry.content;
  if (entry.password) {
    // Eleven arbitrary bytes, then the check byte the reader compares after decrypting.
    std::vector<uint8_t> header = NoiseBytes(11, c.crc32 ^ 0x5A5A5A5Au);
    header.push_back(entry.dataDescriptor ? static_cast<uint8_t>(entry.dosTime >> 8)
                                          : static_cast<uint8_t>(c.crc32 >> 24));
    header.insert(header.end(), c.data.begin(), c.data.end());
    PkwareCipher(*entry.password).Encrypt(header);
    c.data = std::move(header);
  }
  if (entry.rawData) c.data = *entry.rawData;
  c.compressedSize = static_cast<uint32_t>(c.data.size());
  return c;
}

void WriteLocal(std::vector<uint8_t>& out, const Entry& e, const Computed& c) {
  const LocalFields& o = e.local;
  const bool descriptor = e.dataDescriptor;
  PutU32(out, o.signature.value_or(0x04034B50));
  PutU16(out, o.versionNeeded.value_or(kVersion));
  PutU16(out, o.flags.value_or(c.flags));
  PutU16(out, o.method.value_or(e.method));
  PutU16(out, o.dosTime.value_or(e.dosTime));
  PutU16(out, o.dosDate.value_or(e.dosDate));
  PutU32(out, o.crc32.value_or(descriptor ? 0 : c.crc32));
  PutU32(out, o.compressedSize.value_or(descriptor ? 0 : c.compressedSize));
  PutU32(out, o.uncompressedSize.value_or(descriptor ? 0 : c.uncompressedSize));
  PutU16(out, o.nameLength.value_or(static_cast<uint16_t>(e.name.size())));
  PutU16(out, o.extraLength.value_or(static_cast<uint16_t>(e.localExtra.size())));
  out.insert(out.end(), e.name.begin(), e.name.end());
  out.insert(out.end(), e.localExtra.begin(), e.localExtra.end());
}

void WriteCentral(std::vector<uint8_t>& out, const Entry& e, const Computed& c, uint32_t localOffset) {
  const CentralFields& o = e.central;
  const std::string& name = e.centralName ? *e.centralName : e.name;
  PutU32(out, o.signature.value_or(0x02014B50));
  PutU16(out, o.versionMadeBy.value_or(static_cast<uint16_t>((e.host << 8) | kVersion)));
  PutU16(out, o.versionNeeded.value_or(kVersion));
  PutU16(out, o.flags.value_or(c.flags));
  PutU16(out, o.method.value_or(e.method));
  PutU16(out, o.dosTime.value_or(e.dosTime));
  PutU16(out, o.dosDate.value_or(e.dosDate));
  PutU32(out, o.crc32.value_or(c.crc32));
  PutU32(out, o.compressedSize.value_or(c.compressedSize));
  PutU32(out, o.uncompressedSize.value_or(c.uncompressedSize));
  PutU16(out, o.nameLength.value_or(static_cast<uint16_t>(name.size())));
  PutU16(out, o.extraLength.value_or(static_cast<uint16_t>(e.centralExtra.size())));
  PutU16(out, o.commentLength.value_or(static_cast<uint16_t>(e.comment.size())));
  PutU16(out, o.diskNumberStart.value_or(0));
  PutU16(out, o.internalAttributes.value_or(0));
  PutU32(out, o.externalAttributes.value_or(e.externalAttributes));
  PutU32(out, o.localHeaderOffset.value_or(localOffset));
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), e.centralExtra.begin(), e.centralExtra.end());
  out.insert(out.end(), e.comment.begin(), e.comment.end());
}

}  // namespace

std::vector<uint8_t> Write(const Archive& archive, Layout* layout) {
  Layout where;
  std::vector<uint8_t> out = archive.prefix;
  const auto prefix = static_cast<uint32_t>(archive.prefix.size());
  std::vector<Computed> computed;
  std::vector<uint32_t> localOffsets;
  for (const Entry& entry : archive.entries) {
    computed.push_back(Compute(entry));
    const Computed& c = computed.back();
    where.localHeaders.push_back(static_cast<uint32_t>(out.size()));
    localOffsets.push_back(static_cast<uint32_t>(out.size()) - prefix);
    WriteLocal(out, entry, c);
    where.dataStarts.push_back(static_cast<uint32_t>(out.size()));
    out.insert(out.end(), c.data.begin(), c.data.end());
    if (entry.dataDescriptor) {
      PutU32(out, 0x08074B50);
      PutU32(out, c.crc32);
      PutU32(out, c.compressedSize);
      PutU32(out, c.uncompressedSize);
    }
  }
  const auto centralStart = static_cast<uint32_t>(out.size());
  for (size_t i = 0; i < archive.entries.size(); ++i) {
    where.centralRecords.push_back(static_cast<uint32_t>(out.size()));
    WriteCentral(out, archive.entries[i], computed[i], localOffsets[i]);
  }
  const auto centralSize = static_cast<uint32_t>(out.size()) - centralStart;
  const auto count = static_cast<uint16_t>(archive.entries.size());
  const EndFields& o = archive.end;
  where.endRecord = static_cast<uint32_t>(out.size());
  PutU32(out, o.signature.value_or(0x06054B50));
  PutU16(out, o.thisDisk.value_or(0));
  PutU16(out, o.centralDisk.value_or(0));
  PutU16(out, o.entriesOnDisk.value_or(count));
  PutU16(out, o.totalEntries.value_or(count));
  PutU32(out, o.centralSize.value_or(centralSize));
  PutU32(out, o.centralOffset.value_or(centralStart - prefix));
  PutU16(out, o.commentLength.value_or(static_cast<uint16_t>(archive.comment.size())));
  out.insert(out.end(), archive.comment.begin(), archive.comment.end());
  if (layout) *layout = std::move(where);
  return out;
}

}  // namespace ziptools
