// Which directory start-up settles on: settings file first, registry second, nothing else.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/text.h"
#include "settings/game_directory.h"
#include "tests/settings/game_install.h"
#include "tests/support/temp_dir.h"

namespace {

using settings::LoadGameDirectoryFrom;
using settingstest::MakeInstall;
using settingstest::WriteGamePath;
using settingstest::WriteSettingsText;
using testsupport::TempDir;
using testsupport::ToU16;

// Stands in for the registry and counts how often it was asked.
struct FakeRegistry {
  std::optional<std::u16string> value;
  int reads = 0;
  settings::InstallPathSource Source() {
    return [this] {
      ++reads;
      return value;
    };
  }
};

class LoadGameDirectoryTest : public testing::Test {
 protected:
  TempDir temp_;
  std::u16string ini_ = ToU16(temp_.path() / "Morvelt.ini");
  FakeRegistry registry_;
};

TEST_F(LoadGameDirectoryTest, SettingsValueWithoutTrailingBackslashGainsOne) {
  const std::u16string game = MakeInstall(temp_.path() / "game");
  WriteGamePath(temp_.path() / "Morvelt.ini", game);
  EXPECT_EQ(LoadGameDirectoryFrom(ini_, registry_.Source()), game + u"\\");
  EXPECT_EQ(registry_.reads, 0);
}

TEST_F(LoadGameDirectoryTest, SettingsValueWithTrailingBackslashIsKeptAsWritten) {
  const std::u16string game = MakeInstall(temp_.path() / "game") + u"\\";
  WriteGamePath(temp_.path() / "Morvelt.ini", game);
  EXPECT_EQ(LoadGameDirectoryFrom(ini_, registry_.Source()), game);
}

TEST_F(LoadGameDirectoryTest, StaleSettingsValueFallsThroughToRegistry) {
  const std::u16string stale = MakeInstall(temp_.path() / "old", {.launcher = false, .client = true});
  const std::u16string game = MakeInstall(temp_.path() / "game");
  WriteGamePath(temp_.path() / "Morvelt.ini", stale);
  registry_.value = game + u"\\";
  EXPECT_EQ(LoadGameDirectoryFrom(ini_, registry_.Source()), game + u"\\");
}

TEST_F(LoadGameDirectoryTest, SettingsValueWinsOverValidRegistryValue) {
  const std::u16string chosen = MakeInstall(temp_.path() / "chosen");
  const std::u16string installed = MakeInstall(temp_.path() / "installed");
  WriteGamePath(temp_.path() / "Morvelt.ini", chosen);
  registry_.value = installed + u"\\";
  EXPECT_EQ(LoadGameDirectoryFrom(ini_, registry_.Source()), chosen + u"\\");
}

TEST_F(LoadGameDirectoryTest, RegistryValueWithoutTrailingBackslashGainsOne) {
  const std::u16string game = MakeInstall(temp_.path() / "game");
  registry_.value = game;
  EXPECT_EQ(LoadGameDirectoryFrom(ini_, registry_.Source()), game + u"\\");
}

// Values that must not be taken for a game directory, whatever the other source holds.
TEST_F(LoadGameDirectoryTest, IgnoresValuesThatDoNotLeadToTheLauncher) {
  const std::u16string noLauncher = MakeInstall(temp_.path() / "nolauncher", {.launcher = false, .client = true});
  struct Case {
    const char* name;
    std::string settingsText;  // empty: no settings file at all
    std::optional<std::u16string> registry;
  };
  const std::string noLauncher8 = platform::Utf16ToUtf8(noLauncher);
  const Case cases[] = {
      {"nothing anywhere", "", std::nullopt},
      {"empty registry value", "", u""},
      {"registry directory without launcher", "", noLauncher},
      {"settings directory without launcher", "[Config]\r\nGamePath=" + noLauncher8 + "\r\n", std::nullopt},
      {"value under another section", "[Other]\r\nGamePath=" + noLauncher8 + "\r\n", std::nullopt},
      {"empty GamePath", "[Config]\r\nGamePath=\r\n", std::nullopt},
      {"missing directory", "[Config]\r\nGamePath=" + noLauncher8 + "-gone\r\n", noLauncher + u"-gone"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(temp_.path() / "Morvelt.ini");
    if (!c.settingsText.empty()) WriteSettingsText(temp_.path() / "Morvelt.ini", c.settingsText);
    registry_.value = c.registry;
    EXPECT_EQ(LoadGameDirectoryFrom(ini_, registry_.Source()), u"");
  }
}

TEST(ModuleDirectoryTest, NamesTheFolderOfTheRunningExecutableWithTrailingBackslash) {
  const std::u16string directory = settings::GetModuleDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), u'\\');
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(directory.substr(0, directory.size() - 1))));
  EXPECT_EQ(settings::SettingsFilePath(), directory + u"Morvelt.ini");
}

}  // namespace
