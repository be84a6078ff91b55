#pragma once
// A scratch directory per test, removed with everything in it (read-only files included).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The directory as the core spells it: UTF-16 with a trailing separator ("\" on Windows, "/" elsewhere).
  std::u16string u16() const;

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::filesystem::path& path, const std::string& text);
// A settings file's text as UTF-8: UTF-16 after its byte-order mark, else the bytes as they are.
std::string ReadSettingsText(const std::filesystem::path& path);
std::u16string ToU16(const std::filesystem::path& path);

// True when the process can overwrite a file that lacks write permission (root on Linux,
// Wine run as root): tests of read-only behaviour that rely on the OS skip themselves then.
bool OsIgnoresReadOnly();

}  // namespace testsupport
