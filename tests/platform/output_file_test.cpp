#include <gtest/gtest.h>

#include "platform/fs.h"
#include "tests/platform/file_probe.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::Disposition;
using platform::OutputFile;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

constexpr uint64_t kCreation = 119600064000000000ULL;      // 1980-01-01 00:00:00 UTC
constexpr uint64_t kAccess = 125963012967890000ULL;        // 2000-02-29 12:34:56.789 UTC
constexpr uint64_t kModification = 133801631999990000ULL;  // 2024-12-31 23:59:59.999 UTC

TEST(OutputFile, CreateAlwaysReplacesLongerContent) {
  TempDir dir;
  testsupport::WriteFileText(dir.path() / "f", "a much longer old content");
  auto file = OutputFile::Open(dir.u16() + u"f", Disposition::kCreateAlways, platform::kAttrArchive);
  ASSERT_TRUE(file.IsOpen());
  ASSERT_TRUE(file.Write("new", 3));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadFileBytes(dir.path() / "f"), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

TEST(OutputFile, StampsAccessAndModificationTimes) {
  TempDir dir;
  auto file = OutputFile::Open(dir.u16() + u"f", Disposition::kCreateAlways, platform::kAttrArchive);
  ASSERT_TRUE(file.IsOpen());
  ASSERT_TRUE(file.Write("data", 4));
  ASSERT_TRUE(file.SetTimes(kCreation, kAccess, kModification));
  ASSERT_TRUE(file.Close());
  const auto times = platformtest::ReadFileTimes(dir.path() / "f");
  EXPECT_EQ(times.access, kAccess);
  EXPECT_EQ(times.modification, kModification);
  if (platformtest::KeepsCreationTime()) {
    EXPECT_EQ(times.creation, kCreation);
  }
}

TEST(OutputFile, ZeroTimeLeavesThatTimeAlone) {
  TempDir dir;
  auto file = OutputFile::Open(dir.u16() + u"f", Disposition::kCreateAlways, platform::kAttrArchive);
  ASSERT_TRUE(file.IsOpen());
  ASSERT_TRUE(file.SetTimes(kCreation, kAccess, kModification));
  ASSERT_TRUE(file.SetTimes(0, 0, kCreation));
  ASSERT_TRUE(file.Close());
  const auto times = platformtest::ReadFileTimes(dir.path() / "f");
  EXPECT_EQ(times.access, kAccess);
  EXPECT_EQ(times.modification, kCreation);
}

TEST(OutputFile, CreatedReadOnlyIsWritableUntilClosedAndReadOnlyAfter) {
  TempDir dir;
  const std::u16string path = dir.u16() + u"ro.dat";
  auto file = OutputFile::Open(path, Disposition::kCreateAlways, platform::kAttrReadOnly | platform::kAttrArchive);
  ASSERT_TRUE(file.IsOpen());
  ASSERT_TRUE(file.Write("abc", 3));
  ASSERT_TRUE(file.SetTimes(kCreation, kAccess, kModification));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadFileBytes(dir.path() / "ro.dat"), (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_NE(platform::GetFileAttributes(path) & platform::kAttrReadOnly, 0u);
  EXPECT_EQ(platformtest::ReadFileTimes(dir.path() / "ro.dat").modification, kModification);

  SKIP_UNLESS_READ_ONLY_ENFORCED();
  EXPECT_FALSE(OutputFile::Open(path, Disposition::kCreateAlways, platform::kAttrReadOnly).IsOpen());
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  EXPECT_EQ(ReadFileBytes(dir.path() / "ro.dat"), (std::vector<uint8_t>{'a', 'b', 'c'}));
}

TEST(OutputFile, ClosingByDestructionKeepsTheReadOnlyPromise) {
  TempDir dir;
  {
    auto file = OutputFile::Open(dir.u16() + u"ro", Disposition::kCreateNew, platform::kAttrReadOnly);
    ASSERT_TRUE(file.IsOpen());
    ASSERT_TRUE(file.Write("z", 1));
    OutputFile moved = std::move(file);
    EXPECT_FALSE(file.IsOpen());  // NOLINT(bugprone-use-after-move): a moved-from file is closed
  }
  EXPECT_NE(platform::GetFileAttributes(dir.u16() + u"ro") & platform::kAttrReadOnly, 0u);
  EXPECT_EQ(ReadFileBytes(dir.path() / "ro"), std::vector<uint8_t>{'z'});
}

TEST(OutputFile, OpenExistingKeepsContentItDoesNotOverwrite) {
  TempDir dir;
  testsupport::WriteFileText(dir.path() / "f", "abcdef");
  auto file = OutputFile::Open(dir.u16() + u"f", Disposition::kOpenExisting, platform::kAttrNormal);
  ASSERT_TRUE(file.IsOpen());
  ASSERT_TRUE(file.Write("XY", 2));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadFileBytes(dir.path() / "f"), (std::vector<uint8_t>{'X', 'Y', 'c', 'd', 'e', 'f'}));
}

TEST(OutputFile, CloseTwiceAndOnEmptyIsHarmless) {
  TempDir dir;
  auto file = OutputFile::Open(dir.u16() + u"f", Disposition::kCreateNew, platform::kAttrNormal);
  ASSERT_TRUE(file.Close());
  EXPECT_TRUE(file.Close());
  EXPECT_FALSE(file.Write("x", 1));
  OutputFile empty;
  EXPECT_FALSE(empty.IsOpen());
  EXPECT_TRUE(empty.Close());
}

TEST(OutputFile, HeldFileRefusesASecondWriterWithSharingViolation) {
  if (!platformtest::OpenFilesAreExclusive()) GTEST_SKIP() << "POSIX files have no share modes";
  TempDir dir;
  auto first = OutputFile::Open(dir.u16() + u"f", Disposition::kCreateAlways, platform::kAttrNormal);
  ASSERT_TRUE(first.IsOpen());
  ASSERT_TRUE(first.Write("first", 5));
  auto second = OutputFile::Open(dir.u16() + u"f", Disposition::kCreateAlways, platform::kAttrNormal);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
  ASSERT_TRUE(first.Close());
  EXPECT_EQ(ReadFileBytes(dir.path() / "f"), (std::vector<uint8_t>{'f', 'i', 'r', 's', 't'}));
}

}  // namespace
