#include "tests/patch/game_tree.h"

#include <zlib.h>

#include <fstream>
#include <system_error>

#include "platform/fs.h"

namespace patchtest {

GameTree::GameTree() : root_(temp_.path() / "game") {
  testsupport::WriteFileText(Launcher(), "launcher");
}

std::u16string GameTree::directory() const { return testsupport::ToU16(root_); }

fs::path GameTree::PathOf(std::string_view entryName) const { return root_ / fs::path(entryName).make_preferred(); }

fs::path GameTree::BackupOf(std::string_view entryName) const {
  fs::path path = PathOf(entryName);
  path += ".VTBak";
  return path;
}

fs::path GameTree::Launcher() const { return root_ / "TCLS" / "Launcher.exe"; }

TreeSnapshot Snapshot(const fs::path& root) {
  TreeSnapshot snapshot;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string relative = fs::relative(it->path(), root).generic_string();
    snapshot[relative] = it->is_directory() ? std::vector<uint8_t>{} : ReadBytes(it->path());
  }
  return snapshot;
}

std::vector<uint8_t> ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return {};
  return bytes;
}

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, bytes.data(), static_cast<uInt>(bytes.size()));
  return static_cast<uint32_t>(crc);
}

testing::AssertionResult HoldsEntry(const fs::path& file, const ManifestEntry& entry) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return testing::AssertionFailure() << file << " is not a file";
  const std::vector<uint8_t> bytes = ReadBytes(file);
  if (bytes.size() != entry.size || Crc32(bytes) != entry.crc32) {
    return testing::AssertionFailure() << file << " holds " << bytes.size() << " bytes, CRC " << std::hex
                                       << Crc32(bytes) << "; entry " << entry.name << " has " << std::dec
                                       << entry.size << " bytes, CRC " << std::hex << entry.crc32;
  }
  return testing::AssertionSuccess();
}

std::vector<uint8_t> OfficialBytes(std::string_view entryName, int variant) {
  std::string text = "official " + std::to_string(variant) + " " + std::string(entryName) + "\n";
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 50; ++i) bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

std::vector<ManifestEntry> FileEntries(std::span<const ManifestEntry> manifest) {
  std::vector<ManifestEntry> files;
  for (const ManifestEntry& entry : manifest) {
    if (!entry.directory) files.push_back(entry);
  }
  return files;
}

bool PlatformHonoursReadOnly() {
  testsupport::TempDir dir;
  const std::u16string probe = dir.u16() + u"probe";
  testsupport::WriteFileText(dir.path() / "probe", "x");
  if (!platform::SetFileAttributes(probe, platform::kAttrReadOnly)) return false;
  auto file = platform::OutputFile::Open(probe, platform::Disposition::kCreateAlways, platform::kAttrArchive);
  const bool refused = !file.IsOpen();
  (void)file.Close();  // ignored: only the open mattered
  (void)platform::SetFileAttributes(probe, platform::kAttrNormal);  // ignored: TempDir clears it anyway
  return refused;
}

}  // namespace patchtest
