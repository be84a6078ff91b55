#pragma once
// A game directory for the fault suites, and snapshots of every file in it.
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/support/tree_snapshot.h"

namespace faulttest {

namespace fs = std::filesystem;

using testsupport::Snapshot;
using testsupport::Tree;
inline const std::string& kDirectory = testsupport::kDirectoryMarker;
inline const std::string kBackup = ".VTBak";
// The sweeps count calls: one worker keeps them in entry order, run after run.
inline constexpr uint32_t kOneWorker = 1;

std::optional<std::string> Lookup(const Tree& tree, const std::string& key);
// "absent", "a directory" or the size, for failure messages.
std::string Describe(const std::optional<std::string>& value);
// Every path that stands in any of the trees.
std::set<std::string> AllPaths(std::initializer_list<const Tree*> trees);
// Every path holds in actual what it holds in expected; `when` starts each failure message.
void ExpectSameTree(const Tree& actual, const Tree& expected, const std::string& when);

// <scratch>/game with its launcher.
class Game {
 public:
  Game();
  const fs::path& root() const { return root_; }
  std::u16string directory() const { return testsupport::ToU16(root_); }
  void Write(const std::string& name, const std::string& text) const;

 private:
  testsupport::TempDir scratch_;
  fs::path root_;
};

}  // namespace faulttest
