// GetEntry: the count query, cursor movement, the cache, names, attributes, times, and archives
// whose headers disagree or break off.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>

#include "archive/archive.h"
#include "tests/archive/archive_test_support.h"
#include "tests/support/temp_dir.h"

namespace archivetest {
namespace {

using ziptools::Bytes;

ziptools::Archive Numbered(int count) {
  ziptools::Archive a;
  for (int i = 0; i < count; ++i) {
    a.entries.push_back(FileEntry("file" + std::to_string(i) + ".txt", Bytes(std::string(i + 1, 'x'))));
  }
  return a;
}

std::string NameAt(ArchiveHandle handle, int32_t index) {
  ArchiveEntry entry{};
  const ArchiveResult result = GetEntry(handle, index, &entry);
  if (result != kOk) return ArchiveResultName(result);
  EXPECT_EQ(entry.index, index);
  return Utf8(entry.name);
}

TEST(EntryWalk, ReadsEntriesInAnyOrderRestartingForLowerIndexes) {
  const auto bytes = ziptools::Write(Numbered(5));
  auto handle = Open(bytes);
  ASSERT_NE(handle, nullptr);
  for (int32_t index : {0, 1, 4, 2, 0, 3, 3, 1, 4}) {
    EXPECT_EQ(NameAt(handle.get(), index), "file" + std::to_string(index) + ".txt");
  }
}

TEST(EntryWalk, CountQueryReportsCountAndZeroesTheRest) {
  const auto bytes = ziptools::Write(Numbered(3));
  auto handle = Open(bytes);
  ArchiveEntry entry{};
  entry.attributes = 5;
  entry.accessTime = entry.creationTime = entry.modificationTime = 6;
  entry.compressedSize = entry.uncompressedSize = 7;
  ASSERT_EQ(GetEntry(handle.get(), -1, &entry), kOk);
  EXPECT_EQ(entry.index, 3);
  EXPECT_EQ(entry.name[0], u'\0');
  EXPECT_EQ(entry.attributes, 0u);
  EXPECT_EQ(entry.accessTime + entry.creationTime + entry.modificationTime, 0u);
  EXPECT_EQ(entry.compressedSize + entry.uncompressedSize, 0u);
}

TEST(EntryWalk, RejectsIndexesOutsideTheEntriesAndClearsTheRecord) {
  const auto bytes = ziptools::Write(Numbered(3));
  auto handle = Open(bytes);
  for (int32_t index : {-2, 3, 4, INT32_MIN, INT32_MAX}) {
    ArchiveEntry entry{};
    entry.index = 9;
    entry.name[0] = u'z';
    entry.uncompressedSize = 9;
    entry.attributes = 0x77;
    EXPECT_EQ(GetEntry(handle.get(), index, &entry), kBadArguments) << index;
    EXPECT_EQ(entry.index, 0);
    EXPECT_EQ(entry.name[0], u'\0');
    EXPECT_EQ(entry.uncompressedSize, 0u);
    EXPECT_EQ(entry.attributes, 0x77u) << "untouched";
  }
  EXPECT_EQ(GetEntry(handle.get(), 0, nullptr), kBadArguments);
}

// The reader reads the caller's bytes in place, so damaging them after a read shows whether a
// second request for the same index goes back to the archive.
TEST(EntryCache, SameIndexTwiceComesFromTheCacheAndCountDoesNotDisturbIt) {
  ziptools::Layout layout;
  auto bytes = ziptools::Write(Numbered(3), &layout);
  auto handle = Open(bytes);
  ASSERT_EQ(NameAt(handle.get(), 1), "file1.txt");
  bytes[layout.centralRecords[1]] = 'X';  // central signature of entry 1
  bytes[layout.localHeaders[1]] = 'X';
  ArchiveEntry count{};
  ASSERT_EQ(GetEntry(handle.get(), -1, &count), kOk);
  EXPECT_EQ(NameAt(handle.get(), 1), "file1.txt");
  // Once another index has replaced the cached record, index 1 is read again and found damaged.
  EXPECT_EQ(NameAt(handle.get(), 0), "file0.txt");
  EXPECT_EQ(NameAt(handle.get(), 1), "kBadRecord");
}

// A central record that cannot be read ends the walk: that index and every later one fail,
// earlier ones still work, and nothing spins.
TEST(BrokenCentralDirectory, UnreadableRecordEndsTheWalkThere) {
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&, const ziptools::Layout&)> damage;
    const char* atOne;  // what index 1 reads as
  };
  const std::vector<Case> cases = {
      {"wrong signature", [](auto& b, const auto& l) { b[l.centralRecords[2]] = 0; }, "file1.txt"},
      {"name runs past the archive",
       [](auto& b, const auto& l) { ziptools::PokeU16(b, l.centralRecords[1] + 28, 0xFFFF); }, "kBadRecord"},
      {"previous record's extra and comment run past the archive",
       [](auto& b, const auto& l) {
         ziptools::PokeU16(b, l.centralRecords[1] + 30, 0xFFFF);
         ziptools::PokeU16(b, l.centralRecords[1] + 32, 0xFFFF);
       },
       "file1.txt"},
  };
  for (const auto& c : cases) {
    ziptools::Layout layout;
    auto bytes = ziptools::Write(Numbered(4), &layout);
    c.damage(bytes, layout);
    auto handle = Open(bytes);
    ASSERT_NE(handle, nullptr) << c.what;
    EXPECT_EQ(NameAt(handle.get(), 0), "file0.txt") << c.what;
    EXPECT_EQ(NameAt(handle.get(), 3), "kBadRecord") << c.what;
    EXPECT_EQ(NameAt(handle.get(), 2), "kBadRecord") << c.what;
    EXPECT_EQ(NameAt(handle.get(), 1), c.atOne) << c.what;
    EXPECT_EQ(ExtractEntryToFile(handle.get(), 3, u"never-written"), kBadRecord) << c.what;
  }
}

TEST(BrokenCentralDirectory, CutShortRecordAtTheEndOfTheBlock) {
  // The end record claims more entries than the directory holds: the walk runs into the end
  // record, whose signature is not a central one.
  ziptools::Archive a = Numbered(2);
  a.end.entriesOnDisk = 3;
  a.end.totalEntries = 3;
  const auto bytes = ziptools::Write(a);
  auto handle = Open(bytes);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(NameAt(handle.get(), 1), "file1.txt");
  EXPECT_EQ(NameAt(handle.get(), 2), "kBadRecord");
}

struct NameCase {
  std::string stored;
  std::string reported;
};

TEST(EntryNames, SanitisesStoredNames) {
  const std::vector<NameCase> cases = {
      {"contents/data/xml.dat", "contents/data/xml.dat"},
      {"C:\\x\\y.dat", "x\\y.dat"},
      {"/x/y", "x/y"},
      {"\\\\x", "x"},
      {"\\\\server\\share\\x", "server\\share\\x"},
      {"a/../b", "b"},
      {"a\\..\\b/../c", "c"},
      {"a/..\\b", "b"},
      {"a\\../b", "b"},
      {"C:x", "x"},
      {"D:/C:/z", "z"},
      {"dir/", "dir/"},
      {"./a/./b", "./a/./b"},
      {"../b", "../b"},
      {"a/../../b", "../b"},
      {"a/..", "a/.."},
      {"\xE6\x95\xB0\xE6\x8D\xAE/\xE6\x96\x87\xE4\xBB\xB6.dat", "\xE6\x95\xB0\xE6\x8D\xAE/\xE6\x96\x87\xE4\xBB\xB6.dat"},
      {std::string("short\0tail", 10), "short"},
  };
  for (const auto& c : cases) {
    const auto bytes = SingleEntryArchive(FileEntry(c.stored, Bytes("x")));
    auto handle = Open(bytes);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(NameAt(handle.get(), 0), c.reported) << c.stored;
  }
}

TEST(EntryNames, RefusesStoredNameLongerThan259BytesInsteadOfCuttingIt) {
  for (size_t length : {259u, 260u, 400u}) {
    const std::string name(length, 'n');
    ziptools::Archive a;
    a.entries.push_back(FileEntry(name, Bytes("x")));
    a.entries.push_back(FileEntry("after", Bytes("y")));
    const auto bytes = ziptools::Write(a);
    auto handle = Open(bytes);
    ArchiveEntry entry{};
    const ArchiveResult result = GetEntry(handle.get(), 0, &entry);
    if (length <= 259) {
      EXPECT_EQ(result, kOk);
      EXPECT_EQ(Utf8(entry.name), name);
    } else {
      EXPECT_EQ(result, kNameTooLong) << length;
      EXPECT_EQ(entry.name[0], u'\0');
    }
    EXPECT_EQ(NameAt(handle.get(), 1), "after") << "the walk goes on past a long name";
  }
}

struct AttributeCase {
  uint8_t host;
  uint32_t external;
  uint32_t expected;
};

TEST(EntryAttributes, MapsDosHostsFromLowBitsAndOthersFromUnixMode) {
  const std::vector<AttributeCase> cases = {
      {0, 0x20, 0x20},           {0, 0x10, 0x10},           {0, 0x21, 0x21},
      {0, 0x27, 0x27},           {0, 0x00, 0x00},           {7, 0x03, 0x03},
      {11, 0x24, 0x24},          {14, 0x30, 0x30},          {3, 0x81A40000, 0x20},  // -rw-r--r--
      {3, 0x81240000, 0x21},     {3, 0x41ED0000, 0x30},     {3, 0x00000010, 0x21},  // no mode: read-only
      {19, 0x81B60000, 0x20},    {3, 0x41ED0010, 0x30},
  };
  for (const auto& c : cases) {
    ziptools::Entry e = FileEntry("f", Bytes("x"));
    e.host = c.host;
    e.externalAttributes = c.external;
    const auto bytes = SingleEntryArchive(e);
    auto handle = Open(bytes);
    ArchiveEntry entry{};
    ASSERT_EQ(GetEntry(handle.get(), 0, &entry), kOk);
    EXPECT_EQ(entry.attributes, c.expected) << "host " << int(c.host) << " external " << std::hex << c.external;
  }
}

TEST(EntryAttributes, ReportsSizesFromTheCentralRecord) {
  const auto content = ziptools::NoiseBytes(5000, 1);
  const auto bytes = SingleEntryArchive(FileEntry("f", content, ziptools::kDeflated));
  auto handle = Open(bytes);
  ArchiveEntry entry{};
  ASSERT_EQ(GetEntry(handle.get(), 0, &entry), kOk);
  EXPECT_EQ(entry.uncompressedSize, 5000u);
  EXPECT_EQ(entry.compressedSize, ziptools::Deflate(content).size());
}

struct TimeCase {
  const char* what;
  std::vector<uint8_t> localExtra;
  std::vector<uint8_t> centralExtra;
  std::optional<int64_t> modification;  // Unix seconds expected from a UT block, else DOS time
  std::optional<int64_t> access;
  std::optional<int64_t> creation;
};

std::vector<uint8_t> Join(std::vector<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(EntryTimes, TakesDosTimeAsLocalAndOnlyTheFirstUtBlockOfTheLocalField) {
  using ziptools::ExtendedTimestamp;
  using ziptools::ExtraBlock;
  const int64_t m = 1600000000, a = 1500000000, c = 1400000000;
  std::vector<uint8_t> truncatedUt = ExtendedTimestamp(7, {static_cast<int32_t>(m)});  // flags promise three
  std::vector<uint8_t> shortSized = ExtendedTimestamp(3, {static_cast<int32_t>(m), static_cast<int32_t>(a)});
  ziptools::PokeU16(shortSized, 2, 5);  // block says 5 bytes: flags and one time
  const std::vector<TimeCase> cases = {
      {"no extra field", {}, {}, {}, {}, {}},
      {"UT with modification only", ExtendedTimestamp(1, {static_cast<int32_t>(m)}), {}, m, {}, {}},
      {"UT with all three", ExtendedTimestamp(7, {int32_t(m), int32_t(a), int32_t(c)}), {}, m, a, c},
      {"UT with access and creation", ExtendedTimestamp(6, {int32_t(a), int32_t(c)}), {}, {}, a, c},
      {"other block skipped by its size",
       Join({ExtraBlock(0x7875, {1, 4, 0, 0, 0, 0, 4, 0, 0, 0, 0}), ExtendedTimestamp(1, {int32_t(m)})}), {}, m, {}, {}},
      {"only the first UT block counts",
       Join({ExtendedTimestamp(1, {int32_t(m)}), ExtendedTimestamp(7, {int32_t(c), int32_t(c), int32_t(c)})}), {}, m,
       {}, {}},
      {"UT shorter than its flags", truncatedUt, {}, m, {}, {}},
      {"UT whose size covers fewer times than its flags", shortSized, {}, m, {}, {}},
      {"negative Unix time", ExtendedTimestamp(1, {-86400}), {}, -86400, {}, {}},
      {"UT only in the central field", {}, ExtendedTimestamp(7, {int32_t(m), int32_t(a), int32_t(c)}), {}, {}, {}},
      {"incomplete block header at the end", {0x55, 0x54, 0x05}, {}, {}, {}, {}},
  };
  const uint64_t dos = LocalCalendarToUtcFileTime(2019, 11, 23, 17, 8, 42);
  for (const auto& tc : cases) {
    ziptools::Entry e = FileEntry("t", Bytes("data"));
    e.dosDate = ziptools::DosDate(2019, 11, 23);
    e.dosTime = ziptools::DosTime(17, 8, 42);
    e.localExtra = tc.localExtra;
    e.centralExtra = tc.centralExtra;
    // Bytes right after the field decode as a wildly different time if the reader overruns it.
    e.content = Bytes("\xFF\xFF\xFF\x7F\xFF\xFF\xFF\x7F");
    const auto bytes = SingleEntryArchive(e);
    auto handle = Open(bytes);
    ArchiveEntry entry{};
    ASSERT_EQ(GetEntry(handle.get(), 0, &entry), kOk) << tc.what;
    EXPECT_EQ(entry.modificationTime, tc.modification ? UnixToFileTime(*tc.modification) : dos) << tc.what;
    EXPECT_EQ(entry.accessTime, tc.access ? UnixToFileTime(*tc.access) : dos) << tc.what;
    EXPECT_EQ(entry.creationTime, tc.creation ? UnixToFileTime(*tc.creation) : dos) << tc.what;
  }
}

TEST(EntryTimes, ImpossibleDosDateReadsAsTheDosEpoch) {
  ziptools::Entry e = FileEntry("t", Bytes("data"));
  e.dosDate = 0;  // month 0, day 0
  e.dosTime = 0;
  const auto bytes = SingleEntryArchive(e);
  auto handle = Open(bytes);
  ArchiveEntry entry{};
  ASSERT_EQ(GetEntry(handle.get(), 0, &entry), kOk);
  EXPECT_EQ(entry.modificationTime, LocalCalendarToUtcFileTime(1980, 1, 1, 0, 0, 0));
}

struct MismatchCase {
  const char* what;
  std::function<void(ziptools::Entry&)> craft;
  ArchiveResult expected;
};

// Headers that disagree are refused by GetEntry and by extraction alike, and nothing is written.
TEST(LocalHeaderChecks, RefusesLocalHeadersThatDisagreeWithTheCentralRecord) {
  const std::vector<MismatchCase> cases = {
      {"bad local signature", [](auto& e) { e.local.signature = 0x04034B51; }, kCorrupt},
      {"method differs", [](auto& e) { e.local.method = 8; }, kCorrupt},
      {"unsupported method in both", [](auto& e) { e.local.method = 12; e.central.method = 12; }, kCorrupt},
      {"CRC differs", [](auto& e) { e.local.crc32 = 1; }, kCorrupt},
      {"compressed size differs", [](auto& e) { e.local.compressedSize = 3; }, kCorrupt},
      {"uncompressed size differs", [](auto& e) { e.local.uncompressedSize = 3; }, kCorrupt},
      {"name length differs", [](auto& e) { e.local.nameLength = 2; }, kCorrupt},
      {"local header offset beyond the archive", [](auto& e) { e.central.localHeaderOffset = 0x00100000; }, kCorrupt},
      {"local header offset wraps with the prefix", [](auto& e) { e.central.localHeaderOffset = 0xFFFFFFF0u; }, kCorrupt},
      {"local extra field runs past the archive", [](auto& e) { e.local.extraLength = 0xFFFF; }, kReadFailed},
      {"sizes left to a data descriptor", [](auto& e) { e.dataDescriptor = true; }, kOk},
      {"local time differs", [](auto& e) { e.local.dosTime = 0; e.local.versionNeeded = 45; }, kOk},
  };
  for (const auto& c : cases) {
    ziptools::Entry e = FileEntry("entry.txt", Bytes("some content"));
    c.craft(e);
    ziptools::Archive a;
    a.prefix = std::vector<uint8_t>(32, 0);
    a.entries.push_back(e);
    const auto bytes = ziptools::Write(a);
    auto handle = Open(bytes);
    ASSERT_NE(handle, nullptr) << c.what;
    ArchiveEntry entry{};
    EXPECT_EQ(GetEntry(handle.get(), 0, &entry), c.expected) << c.what;
    if (c.expected != kOk) {
      EXPECT_EQ(entry.name[0], u'\0') << c.what;
      testsupport::TempDir dir;
      const std::u16string target = dir.u16() + u"out.txt";
      EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), c.expected) << c.what;
      EXPECT_TRUE(ListNames(dir.path()).empty()) << c.what;
    }
  }
}

}  // namespace
}  // namespace archivetest
