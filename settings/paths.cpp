#include "settings/game_directory.h"

#include <utility>

#include "patch/game_patcher.h"
#include "platform/fs.h"

namespace settings {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::u16string WithTrailingBackslash(std::u16string path) {
  if (path.empty() || path.back() != u'\\') path.push_back(u'\\');
  return path;
}

bool IsGameDirectory(const std::u16string& directory) {
  return platform::PathExists(directory + kLauncherRelPath);
}

std::u16string GetModuleDirectory() {
  const std::u16string module = platform::GetModuleFileName();
  size_t cut = module.size();
  while (cut > 0 && !IsSeparator(module[cut - 1])) --cut;
  if (cut == 0) return {};
  std::u16string directory = module.substr(0, cut);
  // A posix backend names the module with "/": end it with the backslash all callers expect.
  if (directory.size() > 1 && directory.back() == u'/') directory.pop_back();
  return WithTrailingBackslash(std::move(directory));
}

std::u16string SettingsFilePath() {
  const std::u16string directory = GetModuleDirectory();
  return directory.empty() ? std::u16string() : directory + kSettingsFileName;
}

}  // namespace settings
