#pragma once
// What the game's files hold now, read without changing anything: the state a press would find,
// by the rule a press uses to leave a file in place.
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace patch {

enum class GameVersion {
  kPatched,   // every package file holds its entry, the data files the patched set
  kSummoner,  // every package file holds its entry, the data files the stock set
  kOfficial,  // no backup left, and the data files are there but not the patched set
  kMixed,     // anything else
};

enum class DataFiles {
  kPatched,  // every data file holds its entry of the patched set
  kStock,    // ... of the stock set
  kMissing,  // one of them is not there
  kOther,    // there, but neither set (a game update)
};

struct GameState {
  GameVersion version = GameVersion::kMixed;
  uint32_t packageFiles = 0;
  uint32_t patchedFiles = 0;  // package files that hold their entry
  uint32_t backups = 0;       // package files with a backup beside them
  // Package files with a backup that hold neither their entry nor the backup's bytes: written
  // since the patch went in (a game update does that).
  uint32_t changedSincePatched = 0;
  DataFiles data = DataFiles::kOther;
};

// What the reader looks at: copies, so that it never touches the patcher the dialog's thread uses.
struct GameStateSources {
  std::u16string gameDirectory;  // ends with a backslash
  std::span<const uint8_t> packageArchive;
  std::span<const uint8_t> patchedDataArchive;
  std::span<const uint8_t> stockDataArchive;
  uint32_t workers = 1;  // files read side by side (patch/file_workers.h)
};

// Writes nothing and takes no lock. Empty when `stop` was set before it finished (checked per
// file and between the pieces of a CRC read), or when an archive cannot be read.
std::optional<GameState> ReadGameState(const GameStateSources& sources, const std::atomic<bool>& stop);

// The line a player reads, "当前：官方原版", or for a mix what differs.
std::u16string DescribeGameState(const GameState& state);

}  // namespace patch
