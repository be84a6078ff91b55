// The launcher the user picks by hand must name a complete install, or nothing changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "settings/game_directory.h"
#include "tests/settings/game_install.h"
#include "tests/support/temp_dir.h"

namespace {

using settings::GameDirectoryFromChosenLauncher;
using settingstest::InstallParts;
using settingstest::MakeInstall;
using testsupport::TempDir;
using testsupport::ToU16;

TEST(ChosenLauncherTest, LauncherOfCompleteInstallGivesItsDirectoryWithBackslash) {
  TempDir temp;
  const std::u16string game = MakeInstall(temp.path() / "game");
  const std::u16string chosen = ToU16(temp.path() / "game" / "TCLS" / "Launcher.exe");
  EXPECT_EQ(GameDirectoryFromChosenLauncher(chosen), game + u"\\");
}

TEST(ChosenLauncherTest, BackslashPathOfCompleteInstallGivesItsDirectory) {
  TempDir temp;
  const std::u16string game = MakeInstall(temp.path() / "game");
  EXPECT_EQ(GameDirectoryFromChosenLauncher(game + u"\\TCLS\\Launcher.exe"), game + u"\\");
}

// Every refused choice: the grandparent must hold both the client and the launcher.
TEST(ChosenLauncherTest, RefusesChoiceWhoseGrandparentIsNoCompleteInstall) {
  TempDir temp;
  // Client only: a Launcher.exe elsewhere in this tree passes the client test alone.
  MakeInstall(temp.path() / "clientonly", InstallParts{.launcher = false, .client = true});
  testsupport::WriteFileText(temp.path() / "clientonly" / "Other" / "Launcher.exe", "MZ");
  MakeInstall(temp.path() / "launcheronly", InstallParts{.launcher = true, .client = false});
  MakeInstall(temp.path() / "game");
  testsupport::WriteFileText(temp.path() / "game" / "TCLS" / "deeper" / "Launcher.exe", "MZ");

  struct Case {
    const char* name;
    std::u16string chosen;
  };
  const Case cases[] = {
      {"launcher in another folder of a directory without TCLS",
       ToU16(temp.path() / "clientonly" / "Other" / "Launcher.exe")},
      {"install without bin\\Client.exe", ToU16(temp.path() / "launcheronly" / "TCLS" / "Launcher.exe")},
      {"one folder too deep", ToU16(temp.path() / "game" / "TCLS" / "deeper" / "Launcher.exe")},
      {"file straight in the install", ToU16(temp.path() / "game" / "Launcher.exe")},
      {"bare file name", u"Launcher.exe"},
      {"empty", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GameDirectoryFromChosenLauncher(c.chosen), std::nullopt);
  }
}

}  // namespace
