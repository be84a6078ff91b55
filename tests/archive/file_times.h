#pragma once
// Reading a file's times back, as FILETIME values, to check what extraction stamped.
#include <cstdint>
#include <filesystem>
#include <optional>

namespace archivetest {

struct FileTimesOnDisk {
  std::optional<uint64_t> creation;  // Linux keeps none that a program can set
  uint64_t access;
  uint64_t modification;
};

std::optional<FileTimesOnDisk> ReadFileTimes(const std::filesystem::path& path);

// Whether a creation time set on a scratch file in dir reads back (Wine on Linux keeps none).
bool CreationTimeSticks(const std::filesystem::path& dir);

}  // namespace archivetest
