// Opening: finding the end record, prefixes, rejected archives, handle validation.
#include <gtest/gtest.h>

#include <functional>

#include "archive/archive.h"
#include "archive/archive_handle.h"
#include "tests/archive/archive_test_support.h"

namespace archivetest {
namespace {

using ziptools::Bytes;

ziptools::Archive TwoFiles() {
  ziptools::Archive a;
  a.entries.push_back(FileEntry("first.txt", Bytes("first")));
  a.entries.push_back(FileEntry("second.txt", Bytes("second"), ziptools::kDeflated));
  return a;
}

int32_t CountOf(ArchiveHandle handle) {
  ArchiveEntry entry{};
  EXPECT_EQ(GetEntry(handle, -1, &entry), kOk);
  return entry.index;
}

// The end record can sit anywhere in the last 65,535 bytes; searching in overlapping blocks must
// not lose it on a block seam. Comment lengths put the signature around the first seams.
TEST(EndRecordSearch, FindsEndRecordAtEveryDistanceFromTheEnd) {
  std::vector<size_t> lengths = {0, 1, 2, 3, 4, 5, 1000, 65513};
  for (size_t seam : {1024u, 2048u, 3072u}) {
    for (size_t c = seam - 30; c <= seam + 10; ++c) lengths.push_back(c);
  }
  for (size_t length : lengths) {
    ziptools::Archive a = TwoFiles();
    a.prefix = ziptools::NoiseBytes(70000, 1);  // the whole window lies inside the archive
    a.comment = std::string(length, 'c');
    const auto bytes = ziptools::Write(a);
    auto handle = Open(bytes);
    ASSERT_NE(handle, nullptr) << "comment length " << length;
    EXPECT_EQ(CountOf(handle.get()), 2) << "comment length " << length;
  }
}

TEST(EndRecordSearch, RejectsEndRecordOutsideTheLast65535Bytes) {
  ziptools::Archive a = TwoFiles();
  a.comment = std::string(65514, 'c');  // signature starts 65,536 bytes before the end
  const auto bytes = ziptools::Write(a);
  EXPECT_EQ(Open(bytes), nullptr);
}

TEST(EndRecordSearch, TakesTheSignatureNearestTheEnd) {
  // A comment that carries a bogus end record (two disks) must win over the real one.
  ziptools::Archive a = TwoFiles();
  std::vector<uint8_t> fake = {0x50, 0x4B, 0x05, 0x06, 1, 0, 1, 0, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  a.comment = "note " + std::string(fake.begin(), fake.end());
  const auto bytes = ziptools::Write(a);
  EXPECT_EQ(Open(bytes), nullptr);
}

TEST(EndRecordSearch, OpensArchiveWithPrefixAndShiftsEveryOffset) {
  ziptools::Archive a = TwoFiles();
  a.prefix = ziptools::NoiseBytes(5000, 3);
  const auto bytes = ziptools::Write(a);
  auto handle = Open(bytes);
  ASSERT_NE(handle, nullptr);
  ArchiveEntry entry{};
  ASSERT_EQ(GetEntry(handle.get(), 1, &entry), kOk);
  EXPECT_EQ(Utf8(entry.name), "second.txt");
  EXPECT_EQ(entry.uncompressedSize, 6u);
}

struct RejectedOpen {
  const char* what;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> WithEnd(const std::function<void(ziptools::EndFields&)>& craft) {
  ziptools::Archive a = TwoFiles();
  craft(a.end);
  return ziptools::Write(a);
}

TEST(OpenArchive, ReturnsNullForArchivesItCannotRead) {
  std::vector<uint8_t> truncatedEnd = ziptools::Write(TwoFiles());
  truncatedEnd.resize(truncatedEnd.size() - 3);  // comment length cut off
  const std::vector<RejectedOpen> cases = {
      {"empty block", {}},
      {"only a signature", {0x50, 0x4B, 0x05, 0x06}},
      {"no end record", ziptools::NoiseBytes(3000, 9)},
      {"end record cut short", truncatedEnd},
      {"second disk", WithEnd([](auto& e) { e.thisDisk = 1; })},
      {"central directory on another disk", WithEnd([](auto& e) { e.centralDisk = 1; })},
      {"unequal entry counts", WithEnd([](auto& e) { e.entriesOnDisk = 1; })},
      {"central directory ends after the end record", WithEnd([](auto& e) { e.centralSize = 0x1000; })},
      {"offset plus size overflows", WithEnd([](auto& e) { e.centralSize = 0x20; e.centralOffset = 0xFFFFFFF0u; })},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Open(c.bytes), nullptr) << c.what;
  }
  EXPECT_EQ(OpenArchiveFromMemory(nullptr, 100, nullptr), nullptr);
}

TEST(OpenArchive, OpensEmptyArchiveWithNoEntries) {
  const auto bytes = ziptools::Write(ziptools::Archive{});
  auto handle = Open(bytes);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(CountOf(handle.get()), 0);
  ArchiveEntry entry{};
  EXPECT_EQ(GetEntry(handle.get(), 0, &entry), kBadArguments);
}

TEST(Handles, RejectsNullAndForeignHandles) {
  ArchiveHandleData foreign;
  foreign.kind = 2;
  ArchiveEntry entry{};
  entry.index = 7;
  entry.name[0] = u'x';
  entry.uncompressedSize = 9;
  entry.compressedSize = 11;

  EXPECT_FALSE(IsArchiveHandle(nullptr));
  EXPECT_FALSE(IsArchiveHandle(&foreign));
  EXPECT_EQ(GetEntry(nullptr, 0, &entry), kBadArguments);
  EXPECT_EQ(entry.index, 0);
  EXPECT_EQ(entry.name[0], u'\0');
  EXPECT_EQ(entry.uncompressedSize, 0u);
  EXPECT_EQ(entry.compressedSize, 11u) << "only index, first name unit and uncompressed size are cleared";
  EXPECT_EQ(GetEntry(&foreign, 0, &entry), kWrongHandleKind);
  EXPECT_EQ(ExtractEntryToFile(nullptr, 0, u"x"), kBadArguments);
  EXPECT_EQ(ExtractEntryToFile(&foreign, 0, u"x"), kWrongHandleKind);
  EXPECT_EQ(CloseArchive(nullptr), kBadArguments);
  EXPECT_EQ(CloseArchive(&foreign), kWrongHandleKind);

  const auto bytes = ziptools::Write(TwoFiles());
  ArchiveHandle handle = OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
  EXPECT_TRUE(IsArchiveHandle(handle));
  EXPECT_EQ(CloseArchive(handle), kOk);
}

TEST(Handles, NamesEveryResultCode) {
  const std::vector<std::pair<ArchiveResult, std::string>> names = {
      {kOk, "kOk"},
      {kCannotOpenFile, "kCannotOpenFile"},
      {kBadRecord, "kBadRecord"},
      {kWriteFailed, "kWriteFailed"},
      {kCrcMismatch, "kCrcMismatch"},
      {kUnsafeName, "kUnsafeName"},
      {kCorrupt, "kCorrupt"},
      {kReadFailed, "kReadFailed"},
      {kNameTooLong, "kNameTooLong"},
      {kPasswordRequired, "kPasswordRequired"},
      {kBadArguments, "kBadArguments"},
      {kPathTooLong, "kPathTooLong"},
      {kWrongHandleKind, "kWrongHandleKind"},
      {kInflateFailed, "kInflateFailed"},
  };
  std::set<ArchiveResult> seen;
  for (const auto& [code, name] : names) {
    EXPECT_EQ(ArchiveResultName(code), name);
    EXPECT_TRUE(seen.insert(code).second) << name << " shares its value";
  }
  EXPECT_STRNE(ArchiveResultName(0x12345), "kOk");
}

}  // namespace
}  // namespace archivetest
