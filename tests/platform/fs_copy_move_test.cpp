#include <gtest/gtest.h>

#include "platform/fs.h"
#include "tests/platform/file_probe.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

const std::vector<uint8_t> kSource{'s', 'o', 'u', 'r', 'c', 'e', 0, 0xFF};
const std::vector<uint8_t> kTarget{'t', 'a', 'r', 'g', 'e', 't'};

TEST(CopyFileNoReplace, CopiesBytesAndLastWriteTime) {
  TempDir dir;
  testsupport::WriteFileBytes(dir.path() / "a.upk", kSource);
  const uint64_t stamp = 125963012967890000ULL;  // 2000-02-29 12:34:56.789 UTC
  ASSERT_TRUE(platform::SetFileTimes(dir.u16() + u"a.upk", 0, stamp, stamp));
  ASSERT_TRUE(platform::CopyFileNoReplace(dir.u16() + u"a.upk", dir.u16() + u"a.upk.VTBak"));
  EXPECT_EQ(ReadFileBytes(dir.path() / "a.upk.VTBak"), kSource);
  EXPECT_EQ(platformtest::ReadFileTimes(dir.path() / "a.upk.VTBak").modification, stamp);
}

TEST(CopyFileNoReplace, NeverOverwritesAnExistingTarget) {
  for (bool readOnlyTarget : {false, true}) {
    TempDir dir;
    testsupport::WriteFileBytes(dir.path() / "a.upk", kSource);
    testsupport::WriteFileBytes(dir.path() / "a.upk.VTBak", kTarget);
    if (readOnlyTarget) {
      ASSERT_TRUE(platform::SetFileAttributes(dir.u16() + u"a.upk.VTBak", platform::kAttrReadOnly));
    }
    EXPECT_FALSE(platform::CopyFileNoReplace(dir.u16() + u"a.upk", dir.u16() + u"a.upk.VTBak")) << readOnlyTarget;
    EXPECT_EQ(platform::LastError(), platform::kErrorFileExists) << readOnlyTarget;
    EXPECT_EQ(ReadFileBytes(dir.path() / "a.upk.VTBak"), kTarget) << readOnlyTarget;
    EXPECT_EQ(ReadFileBytes(dir.path() / "a.upk"), kSource) << readOnlyTarget;
  }
}

TEST(CopyFileNoReplace, MissingSourceCreatesNoTarget) {
  TempDir dir;
  EXPECT_FALSE(platform::CopyFileNoReplace(dir.u16() + u"none", dir.u16() + u"copy"));
  EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
  EXPECT_FALSE(fs::exists(dir.path() / "copy"));
}

TEST(CopyFileNoReplace, KeepsTheReadOnlyAttribute) {
  TempDir dir;
  testsupport::WriteFileBytes(dir.path() / "a.upk", kSource);
  ASSERT_TRUE(platform::SetFileAttributes(dir.u16() + u"a.upk", platform::kAttrReadOnly));
  ASSERT_TRUE(platform::CopyFileNoReplace(dir.u16() + u"a.upk", dir.u16() + u"b.upk"));
  EXPECT_NE(platform::GetFileAttributes(dir.u16() + u"b.upk") & platform::kAttrReadOnly, 0u);
  EXPECT_EQ(ReadFileBytes(dir.path() / "b.upk"), kSource);
}

TEST(MoveFileReplace, ReplacesAWritableTarget) {
  TempDir dir;
  testsupport::WriteFileBytes(dir.path() / "a.upk.VTBak", kSource);
  testsupport::WriteFileBytes(dir.path() / "a.upk", kTarget);
  ASSERT_TRUE(platform::MoveFileReplace(dir.u16() + u"a.upk.VTBak", dir.u16() + u"a.upk"));
  EXPECT_EQ(ReadFileBytes(dir.path() / "a.upk"), kSource);
  EXPECT_FALSE(fs::exists(dir.path() / "a.upk.VTBak"));
}

TEST(MoveFileReplace, MovesIntoAMissingName) {
  TempDir dir;
  testsupport::WriteFileBytes(dir.path() / "a", kSource);
  ASSERT_TRUE(platform::MoveFileReplace(dir.u16() + u"a", dir.u16() + u"b"));
  EXPECT_EQ(ReadFileBytes(dir.path() / "b"), kSource);
  EXPECT_FALSE(fs::exists(dir.path() / "a"));
}

TEST(MoveFileReplace, RefusesATargetUnderAMissingFolderAndKeepsTheSource) {
  TempDir dir;
  testsupport::WriteFileBytes(dir.path() / "a", kSource);
  EXPECT_FALSE(platform::MoveFileReplace(dir.u16() + u"a", dir.u16() + u"nodir\\b"));
  EXPECT_EQ(platform::LastError(), platform::kErrorPathNotFound);
  EXPECT_EQ(ReadFileBytes(dir.path() / "a"), kSource);
}

TEST(MoveFileNoReplace, NeverReplacesAnExistingNameAndMovesIntoAFreeOne) {
  TempDir dir;
  testsupport::WriteFileBytes(dir.path() / "a", kSource);
  testsupport::WriteFileBytes(dir.path() / "b", kTarget);
  EXPECT_FALSE(platform::MoveFileNoReplace(dir.u16() + u"a", dir.u16() + u"b"));
  EXPECT_TRUE(platform::LastError() == platform::kErrorAlreadyExists || platform::LastError() == platform::kErrorFileExists)
      << platform::LastError();
  EXPECT_EQ(ReadFileBytes(dir.path() / "b"), kTarget);
  ASSERT_TRUE(platform::MoveFileNoReplace(dir.u16() + u"a", dir.u16() + u"c"));
  EXPECT_EQ(ReadFileBytes(dir.path() / "c"), kSource);
  EXPECT_FALSE(fs::exists(dir.path() / "a"));
}

// A backup made as a second name must keep the old bytes when the game file is replaced.
TEST(CreateHardLink, SecondNameIsTheSameFileAndKeepsItsBytesWhenTheFirstIsReplaced) {
  TempDir dir;
  const std::vector<uint8_t> large = std::vector<uint8_t>(300000, 'p');
  testsupport::WriteFileBytes(dir.path() / "a.upk", large);
  const uint64_t stamp = 125963012967890000ULL;
  ASSERT_TRUE(platform::SetFileTimes(dir.u16() + u"a.upk", 0, stamp, stamp));
  ASSERT_TRUE(platform::CreateHardLink(dir.u16() + u"a.upk", dir.u16() + u"a.upk.VTBak"));
  EXPECT_TRUE(platform::IsSameFile(dir.u16() + u"a.upk", dir.u16() + u"a.upk.VTBak"));
  // One name given twice is not a second name: nothing to stake the file on.
  testsupport::WriteFileBytes(dir.path() / "single", kSource);
  EXPECT_FALSE(platform::IsSameFile(dir.u16() + u"single", dir.u16() + u"single"));
  platform::FileInfo info{};
  ASSERT_TRUE(platform::GetFileInfo(dir.u16() + u"a.upk.VTBak", &info));
  EXPECT_EQ(info.size, large.size());
  EXPECT_EQ(info.lastWriteTime, stamp);
  EXPECT_EQ(info.attributes & (platform::kAttrDirectory | platform::kAttrReadOnly), 0u);
  EXPECT_FALSE(platform::CreateHardLink(dir.u16() + u"a.upk", dir.u16() + u"a.upk.VTBak"));  // never replaces

  testsupport::WriteFileBytes(dir.path() / "new", kTarget);
  ASSERT_TRUE(platform::MoveFileReplace(dir.u16() + u"new", dir.u16() + u"a.upk"));
  EXPECT_FALSE(platform::IsSameFile(dir.u16() + u"a.upk", dir.u16() + u"a.upk.VTBak"));
  std::vector<uint8_t> read;
  platform::InputFile backup = platform::InputFile::Open(dir.u16() + u"a.upk.VTBak");
  ASSERT_TRUE(backup.IsOpen());
  for (uint8_t piece[65536];;) {
    uint32_t got = 0;
    ASSERT_TRUE(backup.Read(piece, sizeof piece, &got));
    if (got == 0) break;
    read.insert(read.end(), piece, piece + got);
  }
  EXPECT_EQ(read, large);
  EXPECT_FALSE(platform::InputFile::Open(dir.u16() + u"none").IsOpen());
  EXPECT_FALSE(platform::GetFileInfo(dir.u16() + u"none", &info));
}

TEST(DeleteFile, RemovesAWritableFile) {
  TempDir dir;
  testsupport::WriteFileBytes(dir.path() / "a", kSource);
  ASSERT_TRUE(platform::DeleteFile(dir.u16() + u"a"));
  EXPECT_FALSE(fs::exists(dir.path() / "a"));
}

}  // namespace
