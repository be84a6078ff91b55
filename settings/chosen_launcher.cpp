#include "settings/game_directory.h"

#include "platform/fs.h"

namespace settings {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The path without its last component, as PathRemoveFileSpecW leaves it: the separator goes too,
// except the one of a root ("D:\" or "/"). Empty when there is no separator at all.
std::u16string WithoutLastComponent(const std::u16string& path) {
  size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  if (cut == 0) return {};
  const bool isRoot = cut == 1 || (cut == 3 && path[1] == u':');
  return path.substr(0, isRoot ? cut : cut - 1);
}

}  // namespace

std::optional<std::u16string> GameDirectoryFromChosenLauncher(const std::u16string& chosenPath) {
  const std::u16string folder = WithoutLastComponent(chosenPath);
  const std::u16string parent = WithoutLastComponent(folder);
  if (parent.empty()) return std::nullopt;
  std::u16string directory = WithTrailingBackslash(parent);
  if (!platform::PathExists(directory + kClientRelPath)) return std::nullopt;
  if (!IsGameDirectory(directory)) return std::nullopt;
  return directory;
}

}  // namespace settings
