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

TEST(DeleteFile, RemovesAWritableFile) {
  TempDir dir;
  testsupport::WriteFileBytes(dir.path() / "a", kSource);
  ASSERT_TRUE(platform::DeleteFile(dir.u16() + u"a"));
  EXPECT_FALSE(fs::exists(dir.path() / "a"));
}

}  // namespace
