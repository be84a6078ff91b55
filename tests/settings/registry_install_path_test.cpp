// The game's own registry entry as the system really stores it (Windows and Wine only).
#include <gtest/gtest.h>

#include <string>

#include "settings/game_directory.h"
#include "tests/settings/game_install.h"
#include "tests/settings/machine_registry.h"
#include "tests/support/temp_dir.h"

namespace {

using settings::LoadGameDirectoryFrom;
using settings::ReadInstallPathFromRegistry;
using settingstest::InstallKey;
using settingstest::MakeInstall;
using testsupport::TempDir;
using testsupport::ToU16;

class RegistryInstallPathTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!key_.Unavailable().empty()) GTEST_SKIP() << "real registry not reachable: " << key_.Unavailable();
  }
  std::u16string Load() { return LoadGameDirectoryFrom(ToU16(temp_.path() / "Morvelt.ini"), ReadInstallPathFromRegistry); }

  TempDir temp_;
  InstallKey key_;
};

TEST_F(RegistryInstallPathTest, InstallPathWithoutTrailingBackslashGainsOne) {
  const std::u16string game = MakeInstall(temp_.path() / "game");
  ASSERT_TRUE(key_.SetInstallPath(game + std::u16string(1, u'\0')));
  EXPECT_EQ(Load(), game + u"\\");
}

TEST_F(RegistryInstallPathTest, StaleSettingsValueFallsThroughToRegistry) {
  const std::u16string game = MakeInstall(temp_.path() / "game");
  const std::u16string stale = MakeInstall(temp_.path() / "stale", {.launcher = false, .client = true});
  settingstest::WriteGamePath(temp_.path() / "Morvelt.ini", stale);
  ASSERT_TRUE(key_.SetInstallPath(game + u"\\" + std::u16string(1, u'\0')));
  EXPECT_EQ(Load(), game + u"\\");
}

TEST_F(RegistryInstallPathTest, SettingsValueWinsOverValidInstallPath) {
  const std::u16string chosen = MakeInstall(temp_.path() / "chosen");
  const std::u16string installed = MakeInstall(temp_.path() / "installed");
  settingstest::WriteGamePath(temp_.path() / "Morvelt.ini", chosen);
  ASSERT_TRUE(key_.SetInstallPath(installed + std::u16string(1, u'\0')));
  EXPECT_EQ(Load(), chosen + u"\\");
}

TEST_F(RegistryInstallPathTest, TextAfterTheFirstZeroIsNotPartOfThePath) {
  const std::u16string game = MakeInstall(temp_.path() / "game");
  ASSERT_TRUE(key_.SetInstallPath(game + std::u16string(1, u'\0') + u"junk" + std::u16string(1, u'\0')));
  EXPECT_EQ(Load(), game + u"\\");
}

// A value that does not fit the 1024-unit buffer is ignored whole, even when its text up to the
// first zero would name a valid install: reading part of it would act on data never checked.
TEST_F(RegistryInstallPathTest, OversizedValueIsIgnoredAsIfAbsent) {
  const std::u16string game = MakeInstall(temp_.path() / "game");
  std::u16string value = game + std::u16string(1, u'\0');
  value.append(settings::kValueBufferUnits, u'x');
  value.push_back(u'\0');
  ASSERT_TRUE(key_.SetInstallPath(value));
  EXPECT_EQ(ReadInstallPathFromRegistry(), std::nullopt);
  EXPECT_EQ(Load(), u"");
}

TEST_F(RegistryInstallPathTest, ValueWithoutTerminatorIsIgnoredAsIfAbsent) {
  // Exactly fills the buffer with no zero anywhere: there is no end to take the text up to.
  const std::u16string game = MakeInstall(temp_.path() / "game");
  std::u16string value = game + u"\\";
  value.append(settings::kValueBufferUnits - value.size(), u'\\');
  ASSERT_TRUE(key_.SetInstallPath(value));
  EXPECT_EQ(ReadInstallPathFromRegistry(), std::nullopt);
  EXPECT_EQ(Load(), u"");
}

// The game's 32-bit installer writes in the 32-bit view; a value only in the 64-bit view was not
// written by it, and the shipped 32-bit exe would never see it: neither build may take it.
TEST_F(RegistryInstallPathTest, ValueOnlyInThe64BitViewIsNotTheGames) {
  if (!InstallKey::ViewsAreSeparate()) GTEST_SKIP() << "32-bit Windows: one registry view";
  InstallKey other(settingstest::RegistryView::k64Bit);
  ASSERT_EQ(other.Unavailable(), "");
  const std::u16string game = MakeInstall(temp_.path() / "game");
  ASSERT_TRUE(other.SetInstallPath(game + std::u16string(1, u'\0')));
  EXPECT_EQ(ReadInstallPathFromRegistry(), std::nullopt);
  EXPECT_EQ(Load(), u"");
}

}  // namespace
