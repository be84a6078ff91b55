#include "tests/faults/game_files.h"

namespace faulttest {

Tree Snapshot(const fs::path& root) {
  Tree tree;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    const std::u8string relative = fs::relative(item.path(), root).generic_u8string();
    const std::string key(relative.begin(), relative.end());
    if (item.is_directory()) {
      tree[key] = kDirectory;
    } else {
      const auto bytes = testsupport::ReadFileBytes(item.path());
      tree[key] = std::string(bytes.begin(), bytes.end());
    }
  }
  return tree;
}

std::optional<std::string> Lookup(const Tree& tree, const std::string& key) {
  auto it = tree.find(key);
  if (it == tree.end()) return std::nullopt;
  return it->second;
}

std::string Describe(const std::optional<std::string>& value) {
  if (!value) return "absent";
  if (*value == kDirectory) return "a directory";
  return std::to_string(value->size()) + " bytes";
}

Game::Game() : root_(scratch_.path() / "game") { testsupport::WriteFileText(root_ / "TCLS" / "Launcher.exe", "launcher"); }

void Game::Write(const std::string& name, const std::string& text) const { testsupport::WriteFileText(root_ / name, text); }

}  // namespace faulttest
