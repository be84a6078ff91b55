#include "tests/faults/game_files.h"

#include <gtest/gtest.h>

namespace faulttest {

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

std::set<std::string> AllPaths(std::initializer_list<const Tree*> trees) {
  std::set<std::string> paths;
  for (const Tree* tree : trees) {
    for (const auto& [key, value] : *tree) paths.insert(key);
  }
  return paths;
}

void ExpectSameTree(const Tree& actual, const Tree& expected, const std::string& when) {
  for (const std::string& path : AllPaths({&actual, &expected})) {
    EXPECT_EQ(Lookup(actual, path), Lookup(expected, path))
        << when << " " << path << " is " << Describe(Lookup(actual, path)) << ", not "
        << Describe(Lookup(expected, path));
  }
}

Game::Game() : root_(scratch_.path() / "game") { testsupport::WriteFileText(root_ / "TCLS" / "Launcher.exe", "launcher"); }

void Game::Write(const std::string& name, const std::string& text) const { testsupport::WriteFileText(root_ / name, text); }

}  // namespace faulttest
