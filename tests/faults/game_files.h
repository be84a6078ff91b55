#pragma once
// A game directory for the fault suites, and snapshots of every file in it.
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace faulttest {

namespace fs = std::filesystem;

// Relative path -> file bytes; directories map to a marker no test file holds.
using Tree = std::map<std::string, std::string>;
inline const std::string kDirectory = "<directory>";
inline const std::string kBackup = ".VTBak";

Tree Snapshot(const fs::path& root);
std::optional<std::string> Lookup(const Tree& tree, const std::string& key);
// "absent", "a directory" or the size, for failure messages.
std::string Describe(const std::optional<std::string>& value);

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
