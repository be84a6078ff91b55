// The settings file always holds the directory applied last, and is made by the first write.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"
#include "platform/text.h"
#include "settings/game_directory.h"
#include "tests/settings/game_install.h"
#include "tests/support/temp_dir.h"

namespace {

using settings::LoadGameDirectoryFrom;
using settings::SaveGameDirectoryTo;
using settingstest::MakeInstall;
using testsupport::TempDir;
using testsupport::ToU16;

settings::InstallPathSource NoRegistry() {
  return [] { return std::optional<std::u16string>(); };
}

TEST(SaveGameDirectoryTest, FirstWriteCreatesTheSettingsFile) {
  TempDir temp;
  const std::u16string game = MakeInstall(temp.path() / "game") + u"\\";
  const std::filesystem::path ini = temp.path() / "Morvelt.ini";
  ASSERT_FALSE(std::filesystem::exists(ini));

  ASSERT_TRUE(SaveGameDirectoryTo(ToU16(ini), game));
  EXPECT_TRUE(std::filesystem::exists(ini));
  EXPECT_EQ(LoadGameDirectoryFrom(ToU16(ini), NoRegistry()), game);
}

TEST(SaveGameDirectoryTest, EveryApplyReplacesTheRememberedDirectory) {
  TempDir temp;
  const std::u16string first = MakeInstall(temp.path() / "first") + u"\\";
  const std::u16string second = MakeInstall(temp.path() / "second") + u"\\";
  const std::u16string ini = ToU16(temp.path() / "Morvelt.ini");

  ASSERT_TRUE(SaveGameDirectoryTo(ini, first));
  ASSERT_TRUE(SaveGameDirectoryTo(ini, second));
  EXPECT_EQ(LoadGameDirectoryFrom(ini, NoRegistry()), second);
  ASSERT_TRUE(SaveGameDirectoryTo(ini, first));
  EXPECT_EQ(LoadGameDirectoryFrom(ini, NoRegistry()), first);
}

TEST(SaveGameDirectoryTest, KeepsOtherLinesOfTheSettingsFile) {
  TempDir temp;
  const std::u16string game = MakeInstall(temp.path() / "game") + u"\\";
  const std::filesystem::path ini = temp.path() / "Morvelt.ini";
  settingstest::WriteSettingsText(ini, "[Other]\r\nKey=kept\r\n");

  ASSERT_TRUE(SaveGameDirectoryTo(ToU16(ini), game));
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(ini);
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("Key=kept"), std::string::npos);
  EXPECT_EQ(LoadGameDirectoryFrom(ToU16(ini), NoRegistry()), game);
}

std::vector<uint8_t> Utf16BeWithMark(std::u16string_view text) {
  std::vector<uint8_t> bytes{0xFE, 0xFF};
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c >> 8));
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
  }
  return bytes;
}

std::vector<uint8_t> BytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// Folder names in scripts an ANSI code page lacks (and a full-width name its best fit would turn
// into another folder), applied with no settings file yet and over files another program wrote
// whose other lines must stay: an old ANSI file, and the encodings Notepad saves in. Run once per
// code page: MORVELT_EXPECTED_ACP names the one this run must have.
TEST(SaveGameDirectoryTest, EveryFolderNameComesBackOnThisCodePage) {
  if (const char* expected = std::getenv("MORVELT_EXPECTED_ACP")) {
    ASSERT_EQ(platform::AnsiCodePage(), static_cast<uint32_t>(std::atoi(expected)))
        << "the locale asked for did not reach Wine";
  }
  const std::u16string kept = u"kept \u4FDD\u7559";
  // D:\游戏\剑灵\ as a Chinese system (code page 936) writes it: no UTF-8, so read in the ANSI page.
  const std::string gbkFolder = "D:\\\xD3\xCE\xCF\xB7\\\xBD\xA3\xC1\xE9\\";
  const std::u16string gbkFolderRead = platform::AnsiCodePage() == 936
                                           ? u"D:\\\u6E38\u620F\\\u5251\u7075\\"
                                           : platform::SystemMultiByteToWide(platform::kCodePageAnsi, gbkFolder);
  const std::u16string otherLines = u"; kept comment\r\n[Other]\r\nKey=" + kept + u"\r\n";
  struct OldFile {
    const char* name;
    std::vector<uint8_t> bytes;  // none: no file yet
    std::u16string otherValue;
  };
  const OldFile oldFiles[] = {
      {"no file", {}, u""},
      {"old ANSI file", BytesOf("; kept comment\r\n[Other]\r\nKey=kept\r\n"), u"kept"},
      {"old ANSI file from a Chinese system", BytesOf("; kept comment\r\n[Other]\r\nKey=" + gbkFolder + "\r\n"),
       gbkFolderRead},
      {"UTF-16BE file", Utf16BeWithMark(otherLines), kept},
      {"UTF-8 file without a mark", BytesOf(platform::Utf16ToUtf8(otherLines)), kept},
  };
  struct Row {
    const char* name;
    std::filesystem::path folder;
  };
  const Row rows[] = {
      {"ascii", u"Game"},
      {"chinese", std::filesystem::path(u"\u6E38\u620F") / u"\u5251\u7075"},
      {"korean", u"\uAC8C\uC784"},
      {"emoji", u"G\U0001F3AE"},
      {"full-width", u"\uFF27\uFF41\uFF4D\uFF45"},
  };
  for (const Row& row : rows) {
    for (const OldFile& old : oldFiles) {
      SCOPED_TRACE(std::string(row.name) + ", " + old.name + ", code page " + std::to_string(platform::AnsiCodePage()));
      TempDir temp;
      const std::u16string game = MakeInstall(temp.path() / row.folder) + u"\\";
      const std::filesystem::path ini = temp.path() / "Morvelt.ini";
      if (!old.bytes.empty()) testsupport::WriteFileBytes(ini, old.bytes);

      ASSERT_TRUE(SaveGameDirectoryTo(ToU16(ini), game));
      EXPECT_EQ(LoadGameDirectoryFrom(ToU16(ini), NoRegistry()), game);
      // Nothing else appeared beside the settings file (a conversion's temporary would).
      std::set<std::filesystem::path> names;
      for (const auto& entry : std::filesystem::directory_iterator(temp.path())) names.insert(entry.path().filename());
      EXPECT_EQ(names, (std::set<std::filesystem::path>{"Morvelt.ini", *row.folder.begin()}));
      if (old.bytes.empty()) continue;
      const std::string text = testsupport::ReadSettingsText(ini);
      EXPECT_NE(text.find("; kept comment"), std::string::npos) << text;
      EXPECT_EQ(platform::GetProfileString(ToU16(ini), u"Other", u"Key", 64), old.otherValue);
      // A value the page holds leaves an ANSI file in it.
      if (std::string_view(row.name) == "ascii" && std::string_view(old.name) == "old ANSI file") {
        EXPECT_NE(testsupport::ReadFileBytes(ini).at(0), 0xFF);
      }
    }
  }
}

TEST(SaveGameDirectoryTest, ReportsAFileThatCannotBeWritten) {
  TempDir temp;
  const std::filesystem::path ini = temp.path() / "missing-folder" / "Morvelt.ini";
  EXPECT_FALSE(SaveGameDirectoryTo(ToU16(ini), u"C:\\Game\\"));
  EXPECT_FALSE(std::filesystem::exists(ini));
  EXPECT_FALSE(SaveGameDirectoryTo(u"", u"C:\\Game\\"));
}

}  // namespace
