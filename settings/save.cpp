#include "settings/game_directory.h"

#include "platform/profile.h"

namespace settings {

bool SaveGameDirectoryTo(const std::u16string& settingsFile, const std::u16string& directory) {
  if (settingsFile.empty()) return false;
  return platform::WriteProfileString(settingsFile, kSettingsSection, kGamePathKey, directory);
}

bool SaveGameDirectory(const std::u16string& directory) { return SaveGameDirectoryTo(SettingsFilePath(), directory); }

}  // namespace settings
