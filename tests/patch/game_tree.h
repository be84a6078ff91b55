#pragma once
// A game installation on disk for the patcher tests, and checks of what lies in it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/patch/manifest.h"
#include "tests/support/temp_dir.h"

namespace patchtest {
namespace fs = std::filesystem;

// <scratch>/game with TCLS/Launcher.exe in it; the scratch directory around it catches anything
// written outside the game directory.
class GameTree {
 public:
  GameTree();

  const fs::path& scratch() const { return temp_.path(); }
  const fs::path& root() const { return root_; }
  // The game directory as the dialog hands it over: native separators, no trailing one.
  std::u16string directory() const;
  fs::path PathOf(std::string_view entryName) const;
  fs::path BackupOf(std::string_view entryName) const;
  fs::path Launcher() const;

 private:
  testsupport::TempDir temp_;
  fs::path root_;
};

// Every file and directory below root, relative, with the bytes of each file (directories map to
// an empty marker), to prove that an operation touched nothing.
using TreeSnapshot = std::map<std::string, std::vector<uint8_t>>;
TreeSnapshot Snapshot(const fs::path& root);

// The whole file in one read (empty when it cannot be read): the suites read many megabytes.
std::vector<uint8_t> ReadBytes(const fs::path& file);
uint32_t Crc32(const std::vector<uint8_t>& bytes);
// The file exists and holds exactly the bytes the entry unpacks to.
testing::AssertionResult HoldsEntry(const fs::path& file, const ManifestEntry& entry);

// The content a game file has before any install: distinct for every name and variant.
std::vector<uint8_t> OfficialBytes(std::string_view entryName, int variant = 0);

std::vector<ManifestEntry> FileEntries(std::span<const ManifestEntry> manifest);

// Whether the file system of this platform backend refuses to recreate a read-only file (the
// posix backend always does; Wine does not when run as root).
bool PlatformHonoursReadOnly();

}  // namespace patchtest
