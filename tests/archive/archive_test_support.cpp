#include "tests/archive/archive_test_support.h"

#include "platform/text.h"
#include "platform/time.h"

namespace archivetest {

ArchivePtr Open(const std::vector<uint8_t>& bytes, const char* password) {
  return ArchivePtr(OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), password));
}

ziptools::Entry FileEntry(std::string name, std::vector<uint8_t> content, uint16_t method) {
  ziptools::Entry e;
  e.name = std::move(name);
  e.content = std::move(content);
  e.method = method;
  return e;
}

ziptools::Entry DirectoryEntry(std::string name) {
  ziptools::Entry e;
  e.name = std::move(name);
  e.externalAttributes = 0x10;
  return e;
}

std::vector<uint8_t> SingleEntryArchive(const ziptools::Entry& entry) {
  ziptools::Archive archive;
  archive.entries.push_back(entry);
  return ziptools::Write(archive);
}

std::u16string U16(const std::string& utf8) { return platform::Utf8ToUtf16(utf8); }
std::string Utf8(const char16_t* text) { return platform::Utf16ToUtf8(text); }

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

uint64_t UnixToFileTime(int64_t seconds) { return static_cast<uint64_t>(seconds * 10000000 + 116444736000000000); }

uint64_t LocalCalendarToUtcFileTime(int year, int month, int day, int hour, int minute, int second) {
  const int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  const uint64_t local = UnixToFileTime(seconds);
  return platform::LocalFileTimeToFileTime(local).value_or(local);
}

std::set<std::string> ListNames(const std::filesystem::path& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& item : std::filesystem::directory_iterator(dir, ec)) names.insert(item.path().filename().string());
  return names;
}

}  // namespace archivetest
