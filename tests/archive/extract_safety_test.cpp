// Extraction that must refuse or fail: unsafe names, overlong paths, damaged or mis-sized data,
// wrong passwords. Every failure leaves an existing target byte-for-byte as it was and leaves
// no temporary file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "archive/archive.h"
#include "platform/fs.h"
#include "tests/archive/archive_test_support.h"
#include "tests/archive/file_times.h"
#include "tests/support/temp_dir.h"

namespace archivetest {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using ziptools::Bytes;

struct UnsafeCase {
  std::string stored;
  std::string reported;  // what GetEntry still shows
};

TEST(UnsafeNames, RefusesNamesThatClimbAboveTheTargetTree) {
  const std::vector<UnsafeCase> cases = {
      {"../b", "../b"},
      {"a/../../b", "../b"},
      {"..\\x", "..\\x"},
      {"C:..\\x", "..\\x"},
      {"/../x", "../x"},
      {"a/..", "a/.."},
      {"..", ".."},
      {"a/.. /b", "a/.. /b"},
      {"a/...", "a/..."},
      {"/", ""},
      {"C:", ""},
      {"\\\\", ""},
      {"C:/", ""},
  };
  for (const auto& c : cases) {
    const auto bytes = SingleEntryArchive(FileEntry(c.stored, Bytes("payload")));
    auto handle = Open(bytes);
    ArchiveEntry entry{};
    ASSERT_EQ(GetEntry(handle.get(), 0, &entry), kOk) << c.stored;
    EXPECT_EQ(Utf8(entry.name), c.reported) << c.stored;
    TempDir dir;
    const std::u16string target = dir.u16() + u"game/" + entry.name;
    EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kUnsafeName) << c.stored;
    EXPECT_TRUE(ListNames(dir.path()).empty()) << c.stored << ": nothing may be created";
    EXPECT_TRUE(ListNames(dir.path().parent_path()).count("b") == 0) << c.stored;
  }
}

TEST(UnsafeNames, AcceptsNamesThatSanitisingMadeSafe) {
  for (const std::string stored : {"C:x", "\\\\server\\x", "a/./b", "a..b/c..", "/abs/path", ".hidden/..x"}) {
    const auto bytes = SingleEntryArchive(FileEntry(stored, Bytes("payload")));
    auto handle = Open(bytes);
    ArchiveEntry entry{};
    ASSERT_EQ(GetEntry(handle.get(), 0, &entry), kOk) << stored;
    TempDir dir;
    const std::u16string target = dir.u16() + u"out";
    EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kOk) << stored;
    EXPECT_EQ(ReadFileBytes(dir.path() / "out"), Bytes("payload")) << stored;
  }
}

TEST(LongPaths, RefusesEntryWhoseStoredNameWouldBeCutShort) {
  const auto bytes = SingleEntryArchive(FileEntry(std::string(260, 'n'), Bytes("x")));
  auto handle = Open(bytes);
  TempDir dir;
  const std::u16string target = dir.u16() + u"out";
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kNameTooLong);
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

// Builds an absolute target of exactly `units` UTF-16 units below dir, inside "d/".
std::u16string TargetOfLength(const TempDir& dir, size_t units) {
  std::u16string path = dir.u16() + u"d/";
  path.append(units - path.size(), u'f');
  return path;
}

TEST(LongPaths, AcceptsTargetOf259UnitsAndRefusesLongerOnesCreatingNothing) {
  const auto bytes = SingleEntryArchive(FileEntry("x", Bytes("fits")));
  auto handle = Open(bytes);
  TempDir dir;
  const std::u16string tooLong = TargetOfLength(dir, 260);
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, tooLong.c_str()), kPathTooLong);
  EXPECT_TRUE(ListNames(dir.path()).empty());

  std::u16string deepDirectory = dir.u16();
  deepDirectory.append(250 - deepDirectory.size(), u'd');
  const std::u16string noRoomForTemporary = deepDirectory + u"/x.dat";
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, noRoomForTemporary.c_str()), kPathTooLong);
  EXPECT_TRUE(ListNames(dir.path()).empty());

  const std::u16string fits = TargetOfLength(dir, 259);
  ASSERT_EQ(ExtractEntryToFile(handle.get(), 0, fits.c_str()), kOk);
  EXPECT_EQ(ReadFileBytes(fs::path(fits)), Bytes("fits"));
}

TEST(LongPaths, RefusesRelativeTargetThatOverrunsTheBaseDirectory) {
  const auto bytes = SingleEntryArchive(FileEntry("x", Bytes("x")));
  TempDir dir;
  const fs::path saved = fs::current_path();
  fs::current_path(dir.path());
  auto handle = Open(bytes);
  fs::current_path(saved);
  const std::u16string relative = u"sub/" + std::u16string(256 - 4, u'r');  // short alone, too long joined
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, relative.c_str()), kPathTooLong);
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

struct FailureCase {
  const char* what;
  std::function<ziptools::Entry()> entry;
  ArchiveResult expected;
  const char* password = nullptr;
};

ziptools::Entry Deflated(std::vector<uint8_t> content) { return FileEntry("e", std::move(content), ziptools::kDeflated); }

std::vector<FailureCase> FailureCases() {
  const auto big = ziptools::NoiseBytes(100000, 11);  // several 16 KiB pieces reach the disk first
  return {
      {"stored entry with a wrong CRC",
       [] {
         auto e = FileEntry("e", Bytes("content whose CRC is wrong"));
         e.local.crc32 = e.central.crc32 = 0x12345678;
         return e;
       },
       kCrcMismatch},
      {"large deflated entry with a wrong CRC",
       [big] {
         auto e = Deflated(big);
         e.local.crc32 = e.central.crc32 = ziptools::Crc32(big) ^ 1;
         return e;
       },
       kCrcMismatch},
      {"stored entry whose compressed size is smaller than its size",
       [] {
         auto e = FileEntry("e", Bytes("0123456789"));
         e.rawData = Bytes("01234");
         e.local.compressedSize = e.central.compressedSize = 5;
         return e;
       },
       kInflateFailed},
      {"deflate stream cut in half",
       [big] {
         auto e = Deflated(big);
         auto packed = ziptools::Deflate(big);
         packed.resize(packed.size() / 2);
         e.rawData = packed;
         return e;
       },
       kInflateFailed},
      {"deflate stream that is noise",
       [] {
         auto e = Deflated(Bytes("anything"));
         e.rawData = ziptools::NoiseBytes(500, 12);
         return e;
       },
       kInflateFailed},
      {"deflate stream ends before the recorded size",
       [] {
         auto e = Deflated(Bytes("short"));
         e.local.uncompressedSize = e.central.uncompressedSize = 6;
         return e;
       },
       kInflateFailed},
      {"compressed size reaches past the archive",
       [] {
         auto e = FileEntry("e", Bytes("data"));
         e.local.compressedSize = e.central.compressedSize = 0x10000000;
         e.local.uncompressedSize = e.central.uncompressedSize = 0x10000000;
         return e;
       },
       kInflateFailed},
      {"wrong password",
       [big] {
         auto e = Deflated(big);
         e.password = "right";
         return e;
       },
       kPasswordRequired, "wrong"},
      {"no password for an encrypted entry",
       [] {
         auto e = FileEntry("e", Bytes("secret"));
         e.password = "right";
         return e;
       },
       kPasswordRequired},
      {"encrypted entry shorter than its encryption header",
       [] {
         auto e = FileEntry("e", Bytes("secret"));
         e.password = "right";
         e.rawData = std::vector<uint8_t>(5, 0);
         e.local.compressedSize = e.central.compressedSize = 5;
         return e;
       },
       kInflateFailed, "right"},
  };
}

TEST(FailedExtraction, LeavesTheOldTargetByteForByteAndNoTemporary) {
  for (const auto& c : FailureCases()) {
    const auto bytes = SingleEntryArchive(c.entry());
    auto handle = Open(bytes, c.password);
    TempDir dir;
    const std::vector<uint8_t> old = ziptools::NoiseBytes(30000, 99);
    testsupport::WriteFileBytes(dir.path() / "target.bin", old);
    const auto timesBefore = ReadFileTimes(dir.path() / "target.bin");
    const std::u16string target = dir.u16() + u"target.bin";
    EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), c.expected) << c.what;
    EXPECT_EQ(ReadFileBytes(dir.path() / "target.bin"), old) << c.what;
    EXPECT_EQ(ListNames(dir.path()), std::set<std::string>{"target.bin"}) << c.what;
    const auto timesAfter = ReadFileTimes(dir.path() / "target.bin");
    ASSERT_TRUE(timesBefore && timesAfter);
    EXPECT_EQ(timesAfter->modification, timesBefore->modification) << c.what;
  }
}

TEST(FailedExtraction, CreatesNoFileWhereThereWasNone) {
  for (const auto& c : FailureCases()) {
    const auto bytes = SingleEntryArchive(c.entry());
    auto handle = Open(bytes, c.password);
    TempDir dir;
    const std::u16string target = dir.u16() + u"new/target.bin";
    EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), c.expected) << c.what;
    EXPECT_FALSE(fs::exists(dir.path() / "new" / "target.bin")) << c.what;
    EXPECT_TRUE(ListNames(dir.path() / "new").empty()) << c.what << ": directories stay, temporaries go";
  }
}

TEST(FailedExtraction, ReadOnlyEntryThatFailsLeavesNoReadOnlyTemporary) {
  auto e = FileEntry("e", Bytes("read-only but damaged"));
  e.externalAttributes = 0x21;
  e.local.crc32 = e.central.crc32 = 1;
  const auto bytes = SingleEntryArchive(e);
  auto handle = Open(bytes);
  TempDir dir;
  const std::u16string target = dir.u16() + u"e";
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kCrcMismatch);
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

TEST(FailedExtraction, ReadOnlyTargetIsNeitherReplacedNorTouched) {
  TempDir dir;
  const std::u16string target = dir.u16() + u"ro.bin";
  testsupport::WriteFileText(dir.path() / "ro.bin", "protected");
  ASSERT_TRUE(platform::SetFileAttributes(target, platform::kAttrReadOnly));
  const auto bytes = SingleEntryArchive(FileEntry("ro.bin", Bytes("intruder")));
  auto handle = Open(bytes);
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kCannotOpenFile);
  EXPECT_EQ(ReadFileBytes(dir.path() / "ro.bin"), Bytes("protected"));
  EXPECT_NE(platform::GetFileAttributes(target) & platform::kAttrReadOnly, 0u);
  EXPECT_EQ(ListNames(dir.path()), std::set<std::string>{"ro.bin"});
}

}  // namespace
}  // namespace archivetest
