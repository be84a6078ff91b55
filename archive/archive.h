#pragma once
// Read-only access to ZIP archives that lie whole in memory, and extraction of their entries.
// Single-disk, 32-bit archives; methods 0 (stored) and 8 (deflated); traditional PKWARE encryption.
#include <cstdint>

struct ArchiveHandleData;
using ArchiveHandle = ArchiveHandleData*;

inline constexpr uint32_t kArchiveNameUnits = 260;  // 259 characters and a terminator

struct ArchiveEntry {
  int32_t index;                     // the entry's index; the entry count for index -1
  char16_t name[kArchiveNameUnits];  // sanitised, relative to the archive root, separators as stored
  uint32_t attributes;               // Windows attribute bits (0x10 directory)
  uint64_t accessTime;               // FILETIME: 100 ns since 1601-01-01 UTC
  uint64_t creationTime;
  uint64_t modificationTime;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
};

using ArchiveResult = uint32_t;

inline constexpr ArchiveResult kOk = 0x00000000;
inline constexpr ArchiveResult kCannotOpenFile = 0x00000200;
inline constexpr ArchiveResult kWriteFailed = 0x00000400;
inline constexpr ArchiveResult kCorrupt = 0x00000700;
inline constexpr ArchiveResult kReadFailed = 0x00000800;
inline constexpr ArchiveResult kPasswordRequired = 0x00001000;
inline constexpr ArchiveResult kBadArguments = 0x00010000;
inline constexpr ArchiveResult kWrongHandleKind = 0x00080000;
inline constexpr ArchiveResult kInflateFailed = 0x05000000;

// The bytes must stay valid and unchanged until the handle is closed; they are never copied.
// Null on failure. password may be null.
ArchiveHandle OpenArchiveFromMemory(const void* data, uint32_t size, const char* password);
bool IsArchiveHandle(ArchiveHandle handle);
// index -1 asks for the entry count (entry->index).
ArchiveResult GetEntry(ArchiveHandle handle, int32_t index, ArchiveEntry* entry);
// path: zero-terminated; relative paths resolve against the current directory at open time.
ArchiveResult ExtractEntryToFile(ArchiveHandle handle, int32_t index, const char16_t* path);
ArchiveResult CloseArchive(ArchiveHandle handle);

// The code's name, for tests and diagnostics ("kOk", "kCorrupt", ...).
const char* ArchiveResultName(ArchiveResult result);
