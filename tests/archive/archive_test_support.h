#pragma once
// Shared pieces of the archive suites: handles that close themselves, common entries, and the
// expected FILETIME of a DOS date computed without the code under test.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "tests/ziptools/zip_writer.h"

namespace archivetest {

struct ArchiveCloser {
  void operator()(ArchiveHandle handle) const { CloseArchive(handle); }
};
using ArchivePtr = std::unique_ptr<ArchiveHandleData, ArchiveCloser>;

// The bytes must outlive the handle: the reader never copies them.
ArchivePtr Open(const std::vector<uint8_t>& bytes, const char* password = nullptr);

ziptools::Entry FileEntry(std::string name, std::vector<uint8_t> content, uint16_t method = ziptools::kStored);
ziptools::Entry DirectoryEntry(std::string name);
std::vector<uint8_t> SingleEntryArchive(const ziptools::Entry& entry);

std::u16string U16(const std::string& utf8);
std::string Utf8(const char16_t* text);

// A calendar time taken as local time and converted to UTC, as the reader must do it.
uint64_t LocalCalendarToUtcFileTime(int year, int month, int day, int hour, int minute, int second);
uint64_t UnixToFileTime(int64_t seconds);

// Names in a directory (not recursive), to prove that nothing else appeared there.
std::set<std::string> ListNames(const std::filesystem::path& dir);

}  // namespace archivetest
