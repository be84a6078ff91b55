#include <gtest/gtest.h>

#include "platform/fs.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(GetCurrentDirectory, ReturnsTheDirectoryWhenItFits) {
  const std::u16string expected = testsupport::ToU16(fs::current_path());
  const auto units = static_cast<uint32_t>(expected.size());
  EXPECT_EQ(platform::GetCurrentDirectory(1024), expected);
  EXPECT_EQ(platform::GetCurrentDirectory(units + 1), expected);
}

TEST(GetCurrentDirectory, GivesEmptyWhenTheTerminatorDoesNotFit) {
  const auto units = static_cast<uint32_t>(testsupport::ToU16(fs::current_path()).size());
  EXPECT_EQ(platform::GetCurrentDirectory(units), u"");
  EXPECT_EQ(platform::GetCurrentDirectory(3), u"");
  EXPECT_EQ(platform::GetCurrentDirectory(0), u"");
}

TEST(GetModuleFileName, NamesTheRunningExecutable) {
  const std::u16string name = platform::GetModuleFileName();
  ASSERT_FALSE(name.empty());
  EXPECT_NE(name.find(u"platform_tests"), std::u16string::npos);
  const auto attributes = platform::GetFileAttributes(name);
  ASSERT_NE(attributes, platform::kInvalidAttributes);
  EXPECT_EQ(attributes & platform::kAttrDirectory, 0u);
}

}  // namespace
