#include "settings/game_directory.h"

#include "platform/profile.h"
#include "platform/registry.h"

namespace settings {

namespace {

// A source's value counts only when it leads to the launcher; anything else is passed over silently.
std::optional<std::u16string> AsGameDirectory(const std::u16string& value) {
  if (value.empty()) return std::nullopt;
  std::u16string directory = WithTrailingBackslash(value);
  if (!IsGameDirectory(directory)) return std::nullopt;
  return directory;
}

}  // namespace

std::optional<std::u16string> ReadInstallPathFromRegistry() {
  return platform::ReadMachineString(kInstallKeyPath, kInstallPathValue, kValueBufferUnits);
}

std::u16string LoadGameDirectoryFrom(const std::u16string& settingsFile, const InstallPathSource& installPath) {
  if (!settingsFile.empty()) {
    const std::u16string value =
        platform::GetProfileString(settingsFile, kSettingsSection, kGamePathKey, kValueBufferUnits);
    if (auto directory = AsGameDirectory(value)) return *directory;
  }
  if (installPath) {
    if (const std::optional<std::u16string> value = installPath()) {
      if (auto directory = AsGameDirectory(*value)) return *directory;
    }
  }
  return {};
}

std::u16string LoadGameDirectory() { return LoadGameDirectoryFrom(SettingsFilePath(), ReadInstallPathFromRegistry); }

}  // namespace settings
