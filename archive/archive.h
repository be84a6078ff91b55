#pragma once
// Read-only access to ZIP archives that lie whole in memory, and extraction of their entries.
// Single-disk, 32-bit archives; methods 0 (stored) and 8 (deflated); traditional PKWARE encryption.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class LockWaitBudget;
}

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

// Bit-group values, not a sequence: failures of files and archive data lie in 0x100 to 0x1000,
// caller errors in 0x10000 to 0x80000, internal faults from 0x1000000 up. Callers test for zero.
inline constexpr ArchiveResult kOk = 0x00000000;
// Extraction: the target cannot be created or replaced (a read-only file, an existing hidden or
// system file whose bits the entry lacks, a file held open without sharing, a directory in the
// way, a missing drive or a directory that could not be made).
inline constexpr ArchiveResult kCannotOpenFile = 0x00000200;
// The central record at this index, or one before it, cannot be read (cut short, wrong
// signature, offsets that overflow): the walk ends there, for this index and every later one.
inline constexpr ArchiveResult kBadRecord = 0x00000300;
// Extraction: a write to the temporary file beside the target failed.
inline constexpr ArchiveResult kWriteFailed = 0x00000400;
// Extraction: all data was decoded but its CRC-32 differs from the recorded one.
inline constexpr ArchiveResult kCrcMismatch = 0x00000500;
// Extraction: the entry's name, after sanitising, is empty, absolute or climbs to a parent
// ("../b", "a/../../b", "..\x"); such an entry could write outside the target's tree.
// GetEntry still reports it.
inline constexpr ArchiveResult kUnsafeName = 0x00000600;
// The local header is unreadable, disagrees with the central record, or names a method other
// than stored (0) and deflated (8).
inline constexpr ArchiveResult kCorrupt = 0x00000700;
// The local extra field lies outside the archive.
inline constexpr ArchiveResult kReadFailed = 0x00000800;
// The stored name is longer than 259 bytes or converts to more than 259 UTF-16 units; it is
// never cut short, since a shortened name could name another file.
inline constexpr ArchiveResult kNameTooLong = 0x00000900;
// Extraction: the decrypted check byte does not match (wrong or missing password).
inline constexpr ArchiveResult kPasswordRequired = 0x00001000;
// Null handle, null record or path, or an index outside the entries.
inline constexpr ArchiveResult kBadArguments = 0x00010000;
// Extraction: the target path, joined with the base directory when relative, or the temporary
// file beside it, is longer than 259 UTF-16 units; also a relative target when the current
// directory at open time did not fit in 258 units.
inline constexpr ArchiveResult kPathTooLong = 0x00020000;
// A handle of a kind other than an archive reader.
inline constexpr ArchiveResult kWrongHandleKind = 0x00080000;
// Extraction: the entry's data cannot be opened, an archive read fails, inflate fails, the data
// ends before the recorded size (a stored entry whose compressed size is smaller than its
// uncompressed size included), or a read delivers nothing before the end.
inline constexpr ArchiveResult kInflateFailed = 0x05000000;

// The bytes must stay valid and unchanged until the handle is closed; they are never copied.
// Null on failure. password may be null.
ArchiveHandle OpenArchiveFromMemory(const void* data, uint32_t size, const char* password);
bool IsArchiveHandle(ArchiveHandle handle);
// index -1 asks for the entry count (entry->index). Index, first name unit and uncompressed size
// are cleared first, so a rejected call leaves an empty name. Results: kOk, kBadArguments,
// kWrongHandleKind, kBadRecord, kCorrupt, kReadFailed, kNameTooLong. Asking again for the index
// of the last record returned gives that record without reading the archive.
ArchiveResult GetEntry(ArchiveHandle handle, int32_t index, ArchiveEntry* entry);
// path: zero-terminated; relative paths resolve against the current directory at open time.
// Fails with GetEntry's codes when the entry's record cannot be obtained, writing nothing.
//
// A target that already holds the entry is left in place: an existing regular file that is not
// read-only, carries the entry's read-only, hidden and system bits, and has the entry's size and
// last-write time is read, and when its CRC-32 equals the recorded one it only takes the entry's
// three times again (kOk). Any difference, or a file that cannot be read, takes the path below.
//
// Otherwise missing directories of the path are created, and the data goes to a temporary file
// beside the target (TemporaryPathFor), which replaces the target only when every byte was written
// and the CRC-32 matched: a failed extraction leaves an existing target exactly as it was and no
// temporary behind. Extraction never writes into an existing file, so another name of the old
// file (a hard-linked backup) keeps the old bytes. The written file carries the entry's
// attributes and its three times.
//
// A temporary that a killed run left beside the target is removed first; one that another running
// extraction holds open is left to it, and a name that has yet to go after its removal is waited
// for within the budget. Moves, and the check that an existing target may be
// replaced, wait out a file that another program holds for a moment (LockWaitBudget): about a
// second here, or what `budget` allows.
//
// A directory entry (attribute 0x10) creates the directory at path, with its missing parents,
// and returns kOk; no times are set on it.
ArchiveResult ExtractEntryToFile(ArchiveHandle handle, int32_t index, const char16_t* path);
ArchiveResult ExtractEntryToFile(ArchiveHandle handle, int32_t index, const char16_t* path,
                                 platform::LockWaitBudget& budget);

// Whether path already holds the file entry at index, by the rule above that lets an extraction
// leave a target in place (attributes, size, last-write time, CRC-32). Reads and writes nothing
// else; false for a directory entry, a record that cannot be read, or a file that cannot be read.
// `stop` (may be null), once set, ends a CRC read between pieces with false.
bool EntryInPlace(ArchiveHandle handle, int32_t index, const char16_t* path,
                  const std::atomic<bool>* stop = nullptr);

// The temporary file an extraction to target writes first: beside it, "~", eight hex digits of a
// hash of its file name, ".tmp". The same for every run, so no temporary of a killed run outlives
// the next extraction of its target; the name is the tool's own, and a file of that name that
// another process holds open is never removed.
std::u16string TemporaryPathFor(std::u16string_view target);
// Removes what a killed run left at a temporary path: true when nothing is there any more. A file
// held open (another extraction at work) stays, with a sharing violation; a name still pending
// deletion (removed while a scanner holds it) is there too, with access denied.
bool RemoveLeftoverTemporary(const std::u16string& temporary);
ArchiveResult CloseArchive(ArchiveHandle handle);

// The code's name, for tests and diagnostics ("kOk", "kCorrupt", ...).
const char* ArchiveResultName(ArchiveResult result);
