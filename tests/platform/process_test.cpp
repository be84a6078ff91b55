#include <gtest/gtest.h>

#include "platform/fs.h"
#include "platform/process.h"
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

namespace {

// The game's client is told by its path as the file system compares names.
TEST(IsSamePath, ComparesNamesAsTheFileSystemDoes) {
  const testsupport::TempDir temp;
  const std::u16string dir = testsupport::ToU16(temp.path());
  testsupport::WriteFileBytes(temp.path() / "bin" / "Client.exe", {1});
#ifdef _WIN32
  constexpr bool windows = true;
#else
  constexpr bool windows = false;  // the posix stand-in keeps the case of its file system
#endif
  struct Row {
    std::u16string other;
    bool same;
  } const rows[] = {
      {dir + u"\\bin\\Client.exe", true},
      {dir + u"/bin/Client.exe", true},
      {dir + u"\\bin\\.\\..\\bin\\Client.exe", true},
      {dir + u"\\BIN\\client.EXE", windows},
      {dir + u"\\bin\\Client.ex", false},
      {dir + u"\\bin\\Launcher.exe", false},
  };
  // Where no file gives the long name's letters (Wine takes them from the disk), case still does
  // not count on Windows.
  EXPECT_EQ(platform::IsSamePath(dir + u"\\gone\\Client.exe", dir + u"\\GONE\\client.EXE"), windows);
  for (const Row& row : rows) {
    EXPECT_EQ(platform::IsSamePath(dir + u"\\bin\\Client.exe", row.other), row.same)
        << (&row - rows);
  }
  EXPECT_FALSE(platform::IsImageRunning(dir + u"\\bin\\Client.exe"));  // there, but nothing runs it
  EXPECT_FALSE(platform::IsImageRunning(dir + u"\\bin\\None.exe"));
#ifndef _WIN32
  EXPECT_TRUE(platform::IsImageRunning(platform::GetModuleFileName()));  // Windows leaves itself out
#endif
}

}  // namespace
