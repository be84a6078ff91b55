#pragma once
// Fake game installs and settings files for the directory-rule tests.
#include <filesystem>
#include <string>

namespace settingstest {

struct InstallParts {
  bool launcher = true;  // TCLS\Launcher.exe
  bool client = true;    // bin\Client.exe
};

// Creates root (and the parts asked for) and returns root as the core spells a directory
// without its trailing separator.
std::u16string MakeInstall(const std::filesystem::path& root, InstallParts parts = {});
// A settings file holding exactly this text.
void WriteSettingsText(const std::filesystem::path& file, const std::string& text);
// "[Config]" with GamePath = value.
void WriteGamePath(const std::filesystem::path& file, const std::u16string& value);

}  // namespace settingstest
