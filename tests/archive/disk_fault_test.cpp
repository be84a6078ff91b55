// Failing disks, simulated by the posix backend's fault hook (there is none on Windows): a write,
// create or move that fails part-way must leave the old target whole and no temporary behind.
#include <gtest/gtest.h>

#include "archive/archive.h"
#include "archive/whole_inflate.h"
#include "platform/fault.h"
#include "platform/fs.h"
#include "tests/archive/archive_test_support.h"
#include "tests/support/temp_dir.h"

namespace archivetest {
namespace {

using testsupport::ReadFileBytes;
using testsupport::TempDir;

class DiskFaults : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFileBytes(dir_.path() / "target.bin", old_);
    platform::fault::Reset();
  }
  void TearDown() override { platform::fault::Reset(); }

  ArchiveResult ExtractLargeEntry(size_t size = 100000) { return Extract(ziptools::NoiseBytes(size, 5)); }
  ArchiveResult Extract(const std::vector<uint8_t>& content) {
    bytes_ = SingleEntryArchive(FileEntry("e", content, ziptools::kDeflated));
    handle_ = Open(bytes_);
    return ExtractEntryToFile(handle_.get(), 0, target_.c_str());
  }
  void ExpectOldTargetAlone() {
    EXPECT_EQ(ReadFileBytes(dir_.path() / "target.bin"), old_);
    EXPECT_EQ(ListNames(dir_.path()), std::set<std::string>{"target.bin"});
  }

  TempDir dir_;
  const std::vector<uint8_t> old_ = ziptools::NoiseBytes(20000, 77);
  const std::u16string target_ = dir_.u16() + u"target.bin";
  std::vector<uint8_t> bytes_;
  ArchivePtr handle_;
};

TEST_F(DiskFaults, DiskRunningFullPartWayKeepsTheOldTarget) {
  platform::fault::SetWriteBudget(40000);  // two pieces fit, the third does not
  EXPECT_EQ(ExtractLargeEntry(), kWriteFailed);
  ExpectOldTargetAlone();
}

TEST_F(DiskFaults, DiskRunningFullBetweenWholeDecodedPiecesKeepsTheOldTarget) {
  platform::fault::SetWriteBudget(archive::kWholeWritePiece + 1);
  EXPECT_EQ(ExtractLargeEntry(3 * archive::kWholeWritePiece), kWriteFailed);
  ExpectOldTargetAlone();
}

// The write calls show which way an entry took: decoded whole and written in large pieces, or
// streamed in 16 KiB ones.
TEST_F(DiskFaults, EntriesUpToTheCapAreDecodedWholeAndLargerOnesStream) {
  const struct {
    uint32_t size;
    uint32_t writes;
  } cases[] = {
      {archive::kWholeInflateCap, archive::kWholeInflateCap / archive::kWholeWritePiece},
      {archive::kWholeInflateCap + 1, archive::kWholeInflateCap / 16384 + 1},
  };
  for (const auto& c : cases) {
    // Compressible, so that the packed data is far smaller than what it decodes to.
    std::vector<uint8_t> content = ziptools::NoiseBytes(c.size, 6);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(content[i] % 4 + i / 65536);
    platform::fault::Reset();
    ASSERT_EQ(Extract(content), kOk) << c.size;
    EXPECT_EQ(platform::fault::Count(platform::fault::kWrite), c.writes) << c.size;
    EXPECT_EQ(ReadFileBytes(dir_.path() / "target.bin"), content) << c.size;
  }
}

TEST_F(DiskFaults, FailedReplaceKeepsTheOldTarget) {
  constexpr uint32_t kErrorWriteProtect = 19;
  platform::fault::FailNth(platform::fault::kMove, 1, kErrorWriteProtect);
  EXPECT_EQ(ExtractLargeEntry(), kCannotOpenFile);
  ExpectOldTargetAlone();
}

TEST_F(DiskFaults, TemporaryThatCannotBeCreatedKeepsTheOldTarget) {
  // The first create is the probe of the existing target, the second the temporary.
  platform::fault::FailNth(platform::fault::kCreate, 2, platform::kErrorAccessDenied);
  EXPECT_EQ(ExtractLargeEntry(), kCannotOpenFile);
  ExpectOldTargetAlone();
}

TEST_F(DiskFaults, TemporaryNameAlreadyTakenTriesAnother) {
  platform::fault::FailNth(platform::fault::kCreate, 2, platform::kErrorFileExists);
  EXPECT_EQ(ExtractLargeEntry(), kOk);
  EXPECT_EQ(ReadFileBytes(dir_.path() / "target.bin"), ziptools::NoiseBytes(100000, 5));
  EXPECT_EQ(ListNames(dir_.path()), std::set<std::string>{"target.bin"});
}

TEST_F(DiskFaults, TimesThatWillNotStickDoNotUndoACompleteExtraction) {
  platform::fault::FailNth(platform::fault::kSetTimes, 1, platform::kErrorAccessDenied);
  platform::fault::FailNth(platform::fault::kSetTimes, 2, platform::kErrorAccessDenied);
  EXPECT_EQ(ExtractLargeEntry(), kOk);
  EXPECT_EQ(ReadFileBytes(dir_.path() / "target.bin"), ziptools::NoiseBytes(100000, 5));
}

}  // namespace
}  // namespace archivetest
