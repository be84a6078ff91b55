#include <gtest/gtest.h>

#include <algorithm>

#include "platform/profile.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::GetProfileString;
using platform::WriteProfileString;
using testsupport::TempDir;

std::string ReadText(const fs::path& path) { return testsupport::ReadSettingsText(path); }

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(Profile, MissingFileSectionOrKeyReadsEmpty) {
  TempDir dir;
  const std::u16string ini = dir.u16() + u"Morvelt.ini";
  EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", 1024), u"");
  EXPECT_FALSE(fs::exists(dir.path() / "Morvelt.ini"));

  testsupport::WriteFileText(dir.path() / "Morvelt.ini", "[Other]\r\nGamePath=X\r\n[Config]\r\nElse=Y\r\n");
  EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", 1024), u"");
  EXPECT_EQ(GetProfileString(ini, u"Missing", u"Else", 1024), u"");
}

TEST(Profile, FirstWriteCreatesTheFile) {
  TempDir dir;
  const std::u16string ini = dir.u16() + u"Morvelt.ini";
  ASSERT_TRUE(WriteProfileString(ini, u"Config", u"GamePath", u"D:\\Game\\"));
  // Made Unicode from the start, so that a later value in any script is kept.
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(dir.path() / "Morvelt.ini");
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
  const std::string text = ReadText(dir.path() / "Morvelt.ini");
  EXPECT_NE(text.find("[Config]"), std::string::npos) << text;
  EXPECT_NE(text.find("GamePath=D:\\Game\\"), std::string::npos) << text;
  EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", 1024), u"D:\\Game\\");
}

TEST(Profile, WriteIntoMissingFolderFailsAndCreatesNothing) {
  TempDir dir;
  EXPECT_FALSE(WriteProfileString(dir.u16() + u"nodir\\Morvelt.ini", u"Config", u"GamePath", u"D:\\"));
  EXPECT_FALSE(fs::exists(dir.path() / "nodir"));
}

TEST(Profile, ReplacesTheKeyAndKeepsEveryOtherLine) {
  TempDir dir;
  const std::u16string ini = dir.u16() + u"Morvelt.ini";
  testsupport::WriteFileText(dir.path() / "Morvelt.ini",
                             "; kept comment\r\n[Before]\r\nGamePath=untouched\r\n[Config]\r\nA=1\r\nGamePath=C:\\Old\\\r\n"
                             "B=2\r\n[After]\r\nC=3\r\n");
  ASSERT_TRUE(WriteProfileString(ini, u"Config", u"GamePath", u"D:\\New\\"));
  const std::string text = ReadText(dir.path() / "Morvelt.ini");
  EXPECT_EQ(text,
            "; kept comment\r\n[Before]\r\nGamePath=untouched\r\n[Config]\r\nA=1\r\nGamePath=D:\\New\\\r\n"
            "B=2\r\n[After]\r\nC=3\r\n");
  EXPECT_EQ(GetProfileString(ini, u"Before", u"GamePath", 1024), u"untouched");
  EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", 1024), u"D:\\New\\");
}

TEST(Profile, AddsAMissingKeyToItsSectionOnly) {
  TempDir dir;
  const std::u16string ini = dir.u16() + u"Morvelt.ini";
  testsupport::WriteFileText(dir.path() / "Morvelt.ini", "[Config]\r\nA=1\r\n[After]\r\nC=3\r\n");
  ASSERT_TRUE(WriteProfileString(ini, u"Config", u"GamePath", u"D:\\"));
  ASSERT_TRUE(WriteProfileString(ini, u"New", u"K", u"v"));
  EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", 1024), u"D:\\");
  EXPECT_EQ(GetProfileString(ini, u"After", u"GamePath", 1024), u"");
  EXPECT_EQ(GetProfileString(ini, u"New", u"K", 1024), u"v");
  EXPECT_EQ(GetProfileString(ini, u"After", u"C", 1024), u"3");
}

TEST(Profile, RepeatedWritesLeaveOneEntry) {
  TempDir dir;
  const std::u16string ini = dir.u16() + u"Morvelt.ini";
  for (const char16_t* value : {u"D:\\A\\", u"D:\\B\\", u"D:\\C\\"}) {
    ASSERT_TRUE(WriteProfileString(ini, u"Config", u"GamePath", value));
  }
  const std::string text = ReadText(dir.path() / "Morvelt.ini");
  EXPECT_EQ(Count(text, "GamePath"), 1u) << text;
  EXPECT_EQ(Count(text, "[Config]"), 1u) << text;
  EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", 1024), u"D:\\C\\");
}

TEST(Profile, MatchesNamesWithoutCaseAndTrimsBlanks) {
  TempDir dir;
  const std::u16string ini = dir.u16() + u"Morvelt.ini";
  testsupport::WriteFileText(dir.path() / "Morvelt.ini", "[CONFIG]\r\n  gamepath \t=  D:\\Game\\  \r\n");
  EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", 1024), u"D:\\Game\\");

  ASSERT_TRUE(WriteProfileString(ini, u"config", u"GAMEPATH", u"E:\\"));
  const std::string text = ReadText(dir.path() / "Morvelt.ini");
  EXPECT_EQ(Count(text, "="), 1u) << text;
  EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", 1024), u"E:\\");
}

TEST(Profile, TruncatesToTheBufferLessItsTerminator) {
  TempDir dir;
  const std::u16string ini = dir.u16() + u"Morvelt.ini";
  testsupport::WriteFileText(dir.path() / "Morvelt.ini", "[Config]\r\nGamePath=abcdef\r\n");
  struct Case {
    uint32_t units;
    std::u16string expected;
  };
  const Case cases[] = {{1024, u"abcdef"}, {7, u"abcdef"}, {6, u"abcde"}, {4, u"abc"}, {2, u"a"}};
  for (const auto& c : cases) EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", c.units), c.expected) << c.units;
}

TEST(Profile, KeepsChineseTextInAUnicodeFile) {
  TempDir dir;
  const std::u16string ini = dir.u16() + u"Morvelt.ini";
  // A file that starts as UTF-16LE keeps any text on every system.
  const std::u16string header = u"[Config]\r\n";
  std::vector<uint8_t> bytes{0xFF, 0xFE};
  for (char16_t c : header) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  testsupport::WriteFileBytes(dir.path() / "Morvelt.ini", bytes);
  const std::u16string path = u"D:\\\u5251\u7075\\";
  ASSERT_TRUE(WriteProfileString(ini, u"Config", u"GamePath", path));
  EXPECT_EQ(GetProfileString(ini, u"Config", u"GamePath", 1024), path);
}

}  // namespace
