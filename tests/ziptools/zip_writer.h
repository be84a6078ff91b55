#pragma once
// A small ZIP writer for tests. Archives come out well-formed by default; every header field can
// be overridden with a raw value, so a crafted or malformed archive takes one line to describe.
// Offsets recorded in the archive never include the prefix bytes, as with a stub glued in front.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ziptools {

inline constexpr uint16_t kStored = 0;
inline constexpr uint16_t kDeflated = 8;

inline constexpr uint8_t kHostDos = 0;
inline constexpr uint8_t kHostUnix = 3;

uint16_t DosDate(int year, int month, int day);
uint16_t DosTime(int hour, int minute, int second);

// Raw values for the local file header; an empty field is computed.
struct LocalFields {
  std::optional<uint32_t> signature;
  std::optional<uint16_t> versionNeeded;
  std::optional<uint16_t> flags;
  std::optional<uint16_t> method;
  std::optional<uint16_t> dosTime;
  std::optional<uint16_t> dosDate;
  std::optional<uint32_t> crc32;
  std::optional<uint32_t> compressedSize;
  std::optional<uint32_t> uncompressedSize;
  std::optional<uint16_t> nameLength;
  std::optional<uint16_t> extraLength;
};

// Raw values for the central file header; an empty field is computed.
struct CentralFields {
  std::optional<uint32_t> signature;
  std::optional<uint16_t> versionMadeBy;
  std::optional<uint16_t> versionNeeded;
  std::optional<uint16_t> flags;
  std::optional<uint16_t> method;
  std::optional<uint16_t> dosTime;
  std::optional<uint16_t> dosDate;
  std::optional<uint32_t> crc32;
  std::optional<uint32_t> compressedSize;
  std::optional<uint32_t> uncompressedSize;
  std::optional<uint16_t> nameLength;
  std::optional<uint16_t> extraLength;
  std::optional<uint16_t> commentLength;
  std::optional<uint16_t> diskNumberStart;
  std::optional<uint16_t> internalAttributes;
  std::optional<uint32_t> externalAttributes;
  std::optional<uint32_t> localHeaderOffset;
};

// Raw values for the end-of-central-directory record; an empty field is computed.
struct EndFields {
  std::optional<uint32_t> signature;
  std::optional<uint16_t> thisDisk;
  std::optional<uint16_t> centralDisk;
  std::optional<uint16_t> entriesOnDisk;
  std::optional<uint16_t> totalEntries;
  std::optional<uint32_t> centralSize;
  std::optional<uint32_t> centralOffset;
  std::optional<uint16_t> commentLength;
};

struct Entry {
  std::string name;                 // stored name bytes, written as given
  std::vector<uint8_t> content;     // the entry's uncompressed bytes
  uint16_t method = kStored;
  uint8_t host = kHostDos;          // high byte of "version made by"
  uint32_t externalAttributes = 0x20;
  uint16_t dosDate = DosDate(2021, 6, 15);
  uint16_t dosTime = DosTime(10, 20, 30);
  std::vector<uint8_t> localExtra;
  std::vector<uint8_t> centralExtra;
  std::string comment;              // the entry's comment in its central record
  // General-purpose bit 3: the local header carries zero CRC and sizes and a data descriptor
  // (with signature) follows the data.
  bool dataDescriptor = false;
  // Traditional PKWARE encryption with this password (general-purpose bit 0).
  std::optional<std::string> password;
  // Written in place of the entry's (compressed, encrypted) data; sizes and CRC still describe
  // `content` unless overridden.
  std::optional<std::vector<uint8_t>> rawData;
  // Central name bytes when they should differ from the local ones.
  std::optional<std::string> centralName;
  LocalFields local;
  CentralFields central;
};

struct Archive {
  std::vector<uint8_t> prefix;  // bytes in front of the first local header
  std::vector<Entry> entries;
  std::string comment;          // the archive comment after the end record
  EndFields end;
};

// Where the parts landed in the written bytes (prefix included), for tests that patch them.
struct Layout {
  std::vector<uint32_t> localHeaders;
  std::vector<uint32_t> dataStarts;
  std::vector<uint32_t> centralRecords;
  uint32_t endRecord = 0;
};

std::vector<uint8_t> Write(const Archive& archive, Layout* layout = nullptr);

// An extra-field block: id, 16-bit size, data.
std::vector<uint8_t> ExtraBlock(uint16_t id, const std::vector<uint8_t>& data);
// An extended-timestamp ("UT", 0x5455) block: the flags byte, then the given Unix times.
std::vector<uint8_t> ExtendedTimestamp(uint8_t flags, const std::vector<int32_t>& times);

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data);
uint32_t Crc32(const std::vector<uint8_t>& data);

std::vector<uint8_t> Bytes(std::string_view text);
// Deterministic bytes that deflate poorly.
std::vector<uint8_t> NoiseBytes(size_t count, uint32_t seed);
void PutU16(std::vector<uint8_t>& out, uint16_t value);
void PutU32(std::vector<uint8_t>& out, uint32_t value);
void PokeU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value);
void PokeU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);

}  // namespace ziptools
