#pragma once
// Binds the three embedded archives to one game directory and installs, backs up and restores
// the game's files.
#include <cstdint>
#include <string>

#include "archive/archive.h"

inline constexpr char16_t kLauncherRelPath[] = u"TCLS\\Launcher.exe";
inline constexpr char16_t kBackupSuffix[] = u".VTBak";

inline constexpr uint16_t kPackageArchiveId = 203;
inline constexpr uint16_t kPatchedDataArchiveId = 204;
inline constexpr uint16_t kStockDataArchiveId = 205;

class GamePatcher {
 public:
  // Opens the three embedded archives and offers the candidate to SetGameDirectory.
  explicit GamePatcher(const std::u16string& candidate);
  ~GamePatcher();
  GamePatcher(const GamePatcher&) = delete;
  GamePatcher& operator=(const GamePatcher&) = delete;

  // Accepts a directory (with or without trailing backslash) holding TCLS\Launcher.exe.
  bool SetGameDirectory(const std::u16string& directory);
  // Each operation returns false at once, touching nothing, unless a game directory is accepted,
  // its launcher still exists and the operation's archive is open. Otherwise it processes every
  // file entry and returns true when none failed; a false result may mean a partly applied state.
  // Files that another program holds for a moment are waited for, about a second each and three
  // seconds in all per operation.

  // Writes every package file, first keeping a file it replaces as its ".VTBak" backup (a hard
  // link, or a copy where links cannot be made) unless one exists. A file whose backup cannot be
  // made is left as it is. A file that already holds its entry is not rewritten.
  bool InstallPackages();
  // Moves every existing backup back over its package file.
  bool RestorePackages();
  // Writes the data files of resource 204 or 205; no backups.
  bool InstallPatchedData();
  bool InstallStockData();

  const std::u16string& GameDirectory() const { return gameDirectory_; }

 private:
  bool CanOperateOn(ArchiveHandle archive) const;
  bool InstallData(ArchiveHandle archive);

  std::u16string gameDirectory_;
  ArchiveHandle packageArchive_ = nullptr;
  ArchiveHandle patchedDataArchive_ = nullptr;
  ArchiveHandle stockDataArchive_ = nullptr;
};
