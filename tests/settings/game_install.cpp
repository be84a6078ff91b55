#include "tests/settings/game_install.h"

#include "platform/text.h"
#include "tests/support/temp_dir.h"

namespace settingstest {

std::u16string MakeInstall(const std::filesystem::path& root, InstallParts parts) {
  std::filesystem::create_directories(root);
  if (parts.launcher) testsupport::WriteFileText(root / "TCLS" / "Launcher.exe", "MZ launcher");
  if (parts.client) testsupport::WriteFileText(root / "bin" / "Client.exe", "MZ client");
  return testsupport::ToU16(root);
}

void WriteSettingsText(const std::filesystem::path& file, const std::string& text) {
  testsupport::WriteFileText(file, text);
}

void WriteGamePath(const std::filesystem::path& file, const std::u16string& value) {
  WriteSettingsText(file, "[Config]\r\nGamePath=" + platform::Utf16ToUtf8(value) + "\r\n");
}

}  // namespace settingstest
