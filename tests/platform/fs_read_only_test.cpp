// A read-only file refuses to be replaced, moved onto or deleted, with access denied (5).
#include <gtest/gtest.h>

#include "platform/fs.h"
#include "tests/platform/file_probe.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

const std::vector<uint8_t> kOriginal{'o', 'r', 'i', 'g'};

class ReadOnlyFile : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFileBytes(dir_.path() / "locked.dat", kOriginal);
    ASSERT_TRUE(platform::SetFileAttributes(path_, platform::kAttrReadOnly));
  }
  void ExpectUntouched() {
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.path() / "locked.dat"), kOriginal);
    EXPECT_NE(platform::GetFileAttributes(path_) & platform::kAttrReadOnly, 0u);
  }

  TempDir dir_;
  std::u16string path_ = dir_.u16() + u"locked.dat";
};

TEST_F(ReadOnlyFile, ReportsTheReadOnlyAttribute) {
  EXPECT_EQ(platform::GetFileAttributes(path_) & (platform::kAttrReadOnly | platform::kAttrDirectory),
            platform::kAttrReadOnly);
}

TEST_F(ReadOnlyFile, RefusesToBeCreatedOver) {
  SKIP_UNLESS_READ_ONLY_ENFORCED();
  for (auto disposition : {platform::Disposition::kCreateAlways, platform::Disposition::kOpenExisting}) {
    auto file = platform::OutputFile::Open(path_, disposition, platform::kAttrNormal);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  }
  ExpectUntouched();
}

TEST_F(ReadOnlyFile, RefusesToBeMovedOnto) {
  SKIP_UNLESS_READ_ONLY_ENFORCED();
  testsupport::WriteFileText(dir_.path() / "new.dat", "new");
  EXPECT_FALSE(platform::MoveFileReplace(dir_.u16() + u"new.dat", path_));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  ExpectUntouched();
  EXPECT_TRUE(fs::exists(dir_.path() / "new.dat"));
}

TEST_F(ReadOnlyFile, RefusesToBeDeleted) {
  SKIP_UNLESS_READ_ONLY_ENFORCED();
  EXPECT_FALSE(platform::DeleteFile(path_));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  ExpectUntouched();
}

TEST_F(ReadOnlyFile, CanBeReplacedOnceTheAttributeIsCleared) {
  ASSERT_TRUE(platform::SetFileAttributes(path_, platform::kAttrNormal));
  EXPECT_EQ(platform::GetFileAttributes(path_) & platform::kAttrReadOnly, 0u);
  auto file = platform::OutputFile::Open(path_, platform::Disposition::kCreateAlways, platform::kAttrNormal);
  ASSERT_TRUE(file.IsOpen());
  ASSERT_TRUE(file.Write("n", 1));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(testsupport::ReadFileBytes(dir_.path() / "locked.dat"), std::vector<uint8_t>{'n'});
}

TEST_F(ReadOnlyFile, StillTakesNewTimesByPath) {
  if (!platformtest::ReadOnlyFileTakesTimesByPath()) {
    GTEST_SKIP() << "Wine refuses attribute access to a read-only file, which Windows grants";
  }
  const uint64_t stamp = 133801631999990000ULL;  // 2024-12-31 23:59:59.999 UTC
  ASSERT_TRUE(platform::SetFileTimes(path_, stamp, stamp, stamp)) << platform::LastError();
  const auto times = platformtest::ReadFileTimes(dir_.path() / "locked.dat");
  EXPECT_EQ(times.modification, stamp);
  EXPECT_EQ(times.access, stamp);
  ExpectUntouched();
}

}  // namespace
