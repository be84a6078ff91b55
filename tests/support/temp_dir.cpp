#include "tests/support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <system_error>

#include "platform/text.h"

namespace testsupport {
namespace fs = std::filesystem;

namespace {

void MakeWritable(const fs::path& root) {
  std::error_code ec;
  fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::string name = "morvelt-test-" + std::to_string(rd()) + "-" + std::to_string(stamp) + "-" +
                           std::to_string(counter++);
  path_ = fs::temp_directory_path() / name;
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  MakeWritable(path_);
  std::error_code ec;
  fs::remove_all(path_, ec);  // best effort: a leftover scratch directory is harmless
}

std::u16string TempDir::u16() const {
  std::u16string s = ToU16(path_);
#ifdef _WIN32
  if (s.empty() || s.back() != u'\\') s.push_back(u'\\');
#else
  if (s.empty() || s.back() != u'/') s.push_back(u'/');
#endif
  return s;
}

std::u16string ToU16(const fs::path& path) { return path.u16string(); }

std::vector<uint8_t> ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFileText(const fs::path& path, const std::string& text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string ReadSettingsText(const fs::path& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  const bool little = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool big = bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (!little && !big) return std::string(bytes.begin(), bytes.end());
  const size_t low = little ? 0 : 1;
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(bytes[i + low] | (bytes[i + 1 - low] << 8)));
  }
  return platform::Utf16ToUtf8(text);
}

bool OsIgnoresReadOnly() {
  TempDir dir;
  const fs::path probe = dir.path() / "probe";
  WriteFileText(probe, "x");
  fs::permissions(probe, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  std::ofstream out(probe, std::ios::binary | std::ios::trunc);
  return out.is_open();
}

}  // namespace testsupport
