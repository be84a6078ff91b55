// The settings file always holds the directory applied last, and is made by the first write.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

TEST(SaveGameDirectoryTest, ReportsAFileThatCannotBeWritten) {
  TempDir temp;
  const std::filesystem::path ini = temp.path() / "missing-folder" / "Morvelt.ini";
  EXPECT_FALSE(SaveGameDirectoryTo(ToU16(ini), u"C:\\Game\\"));
  EXPECT_FALSE(std::filesystem::exists(ini));
  EXPECT_FALSE(SaveGameDirectoryTo(u"", u"C:\\Game\\"));
}

}  // namespace
