#pragma once
// Binds the three embedded archives to one game directory and installs, backs up and restores
// the game's files.
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
  bool InstallPackages();
  bool RestorePackages();
  bool InstallPatchedData();
  bool InstallStockData();

  const std::u16string& GameDirectory() const { return gameDirectory_; }

 private:
  std::u16string gameDirectory_;
  ArchiveHandle packageArchive_ = nullptr;
  ArchiveHandle patchedDataArchive_ = nullptr;
  ArchiveHandle stockDataArchive_ = nullptr;
};
