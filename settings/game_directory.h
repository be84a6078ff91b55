#pragma once
// Where the game lives: the settings file next to the executable, then the game's registry key,
// and the launcher the user picks by hand. A game directory is absolute, ends with a backslash
// and holds TCLS\Launcher.exe.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace settings {

inline constexpr char16_t kSettingsFileName[] = u"Morvelt.ini";
inline constexpr char16_t kSettingsSection[] = u"Config";
inline constexpr char16_t kGamePathKey[] = u"GamePath";
inline constexpr char16_t kInstallKeyPath[] = u"SOFTWARE\\Tencent\\Blade_and_Soul";
inline constexpr char16_t kInstallPathValue[] = u"InstallPath";
inline constexpr char16_t kClientRelPath[] = u"bin\\Client.exe";
// Both the settings value and the registry value are read through buffers of this many units.
inline constexpr uint32_t kValueBufferUnits = 1024;

// The text with a backslash appended unless it already ends with one.
std::u16string WithTrailingBackslash(std::u16string path);
// True when directory (ending with a separator) + TCLS\Launcher.exe exists.
bool IsGameDirectory(const std::u16string& directory);

// The running executable's directory with a trailing backslash, e.g. C:\Tools\.
// Empty when the executable's path cannot be had in full.
std::u16string GetModuleDirectory();
// GetModuleDirectory() + "Morvelt.ini"; empty when the module directory is unknown.
std::u16string SettingsFilePath();

// The registry's InstallPath as read (absent when the key or value is missing or oversized).
using InstallPathSource = std::function<std::optional<std::u16string>()>;
std::optional<std::u16string> ReadInstallPathFromRegistry();

// GamePath of settingsFile when it leads to the launcher, else the install path when that does,
// else empty. An empty settingsFile skips the first source.
std::u16string LoadGameDirectoryFrom(const std::u16string& settingsFile, const InstallPathSource& installPath);
// LoadGameDirectoryFrom(SettingsFilePath(), ReadInstallPathFromRegistry).
std::u16string LoadGameDirectory();

// Writes directory as GamePath, creating the file on first use. False when it could not be written.
bool SaveGameDirectoryTo(const std::u16string& settingsFile, const std::u16string& directory);
bool SaveGameDirectory(const std::u16string& directory);

// The game directory of a launcher the user picked: the chosen path without its last two
// components, with a trailing backslash (D:\Game\TCLS\Launcher.exe gives D:\Game\).
// Nothing when that directory lacks bin\Client.exe or TCLS\Launcher.exe: applying a directory
// the patcher refuses would patch one install and start the launcher of another.
std::optional<std::u16string> GameDirectoryFromChosenLauncher(const std::u16string& chosenPath);

}  // namespace settings
