#include "patch/game_state.h"

#include <memory>
#include <vector>

#include "archive/archive.h"
#include "patch/entry_walk.h"
#include "patch/file_workers.h"
#include "patch/game_patcher.h"
#include "platform/fs.h"

namespace patch {
namespace {

struct ArchiveCloser {
  void operator()(ArchiveHandleData* archive) const {
    if (IsArchiveHandle(archive)) (void)CloseArchive(archive);  // ignored: the reader only read it
  }
};
using OwnArchive = std::unique_ptr<ArchiveHandleData, ArchiveCloser>;

OwnArchive Open(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return OwnArchive{};
  return OwnArchive(OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr));
}

bool Stopped(const std::atomic<bool>& stop) { return stop.load(std::memory_order_relaxed); }

// Two names of one file, or two files with the same bytes.
bool SameBytes(const std::u16string& a, const std::u16string& b, const std::atomic<bool>& stop) {
  if (platform::IsSameFile(a, b)) return true;
  platform::FileInfo x{}, y{};
  if (!platform::GetFileInfo(a, &x) || !platform::GetFileInfo(b, &y) || x.size != y.size) return false;
  platform::InputFile first = platform::InputFile::Open(a);
  platform::InputFile second = platform::InputFile::Open(b);
  if (!first.IsOpen() || !second.IsOpen()) return false;
  constexpr uint32_t kPiece = 64 * 1024;
  std::vector<uint8_t> left(kPiece), right(kPiece);
  for (;;) {
    if (Stopped(stop)) return false;
    uint32_t got = 0, other = 0;
    if (!first.Read(left.data(), kPiece, &got)) return false;
    // A read may deliver less than asked: the other side is read to the same length.
    for (uint32_t filled = 0; filled < got; filled += other) {
      if (!second.Read(right.data() + filled, got - filled, &other) || other == 0) return false;
    }
    if (got == 0) return second.Read(right.data(), 1, &other) && other == 0;
    if (!std::equal(left.begin(), left.begin() + got, right.begin())) return false;
  }
}

struct PackageCounts {
  std::atomic<uint32_t> files{0};
  std::atomic<uint32_t> patched{0};
  std::atomic<uint32_t> backups{0};
  std::atomic<uint32_t> changed{0};
};

void LookAtPackageFile(ArchiveHandle archive, int32_t index, const std::u16string& target,
                       const std::atomic<bool>& stop, PackageCounts& counts) {
  ++counts.files;
  const std::u16string backup = target + kBackupSuffix;
  const bool holds = EntryInPlace(archive, index, target.c_str(), &stop);
  const bool backedUp = platform::PathExists(backup);
  if (holds) ++counts.patched;
  if (backedUp) ++counts.backups;
  // Not patched yet (a press that could not replace it leaves the backup's bytes) is not a change.
  if (backedUp && !holds && platform::PathExists(target) && !SameBytes(target, backup, stop)) ++counts.changed;
}

bool DataSetInPlace(ArchiveHandle archive, const std::u16string& gameDirectory, const std::atomic<bool>& stop) {
  return WalkFileEntries(archive, gameDirectory, [&](int32_t index, const std::u16string& target) {
    return EntryInPlace(archive, index, target.c_str(), &stop);
  });
}

DataFiles ReadDataFiles(ArchiveHandle patched, ArchiveHandle stock, const std::u16string& gameDirectory,
                        const std::atomic<bool>& stop) {
  bool missing = false;
  (void)WalkFileEntries(patched, gameDirectory, [&](int32_t, const std::u16string& target) {
    missing = missing || !platform::PathExists(target);
    return true;
  });  // ignored: an unreadable record has been seen when the archive was opened
  if (missing) return DataFiles::kMissing;
  if (DataSetInPlace(patched, gameDirectory, stop)) return DataFiles::kPatched;
  if (DataSetInPlace(stock, gameDirectory, stop)) return DataFiles::kStock;
  return DataFiles::kOther;
}

GameVersion VersionOf(const GameState& state) {
  const bool everyPackage = state.patchedFiles == state.packageFiles;
  if (everyPackage && state.data == DataFiles::kPatched) return GameVersion::kPatched;
  if (everyPackage && state.data == DataFiles::kStock) return GameVersion::kSummoner;
  // A package file that had no official version before it stays after a restore: not counted.
  const bool dataOfficial = state.data == DataFiles::kStock || state.data == DataFiles::kOther;
  if (state.backups == 0 && dataOfficial) return GameVersion::kOfficial;
  return GameVersion::kMixed;
}

std::u16string Number(uint32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::optional<GameState> ReadGameState(const GameStateSources& sources, const std::atomic<bool>& stop) {
  const OwnArchive package = Open(sources.packageArchive);
  const OwnArchive patched = Open(sources.patchedDataArchive);
  const OwnArchive stock = Open(sources.stockDataArchive);
  if (!package || !patched || !stock) return std::nullopt;

  PackageCounts counts;
  (void)WorkOnFileEntries(package.get(), sources.packageArchive, sources.gameDirectory, sources.workers,
                          [&](ArchiveHandle own, int32_t index, const std::u16string& target) {
                            if (!Stopped(stop)) LookAtPackageFile(own, index, target, stop, counts);
                            return true;
                          });  // ignored: the visitor never fails
  if (Stopped(stop)) return std::nullopt;
  GameState state;
  state.packageFiles = counts.files;
  state.patchedFiles = counts.patched;
  state.backups = counts.backups;
  state.changedSincePatched = counts.changed;
  state.data = ReadDataFiles(patched.get(), stock.get(), sources.gameDirectory, stop);
  if (Stopped(stop)) return std::nullopt;
  state.version = VersionOf(state);
  return state;
}

std::u16string DescribeGameState(const GameState& state) {
  switch (state.version) {
    case GameVersion::kPatched:
      return u"当前：反和谐版";
    case GameVersion::kSummoner:
      return u"当前：召唤师专用版";
    case GameVersion::kOfficial:
      return u"当前：官方原版";
    case GameVersion::kMixed:
      break;
  }
  std::u16string parts;
  const auto add = [&](const std::u16string& part) { parts += (parts.empty() ? u"" : u"，") + part; };
  if (state.changedSincePatched > 0) add(Number(state.changedSincePatched) + u"个文件在打补丁后被改动");
  const uint32_t notPatched = state.packageFiles - state.patchedFiles - state.changedSincePatched;
  if (state.backups == 0 && state.patchedFiles == 0) {
    add(u"补丁文件为官方原版");
  } else if (notPatched > 0) {
    add(Number(notPatched) + u"个补丁文件未替换");
  }
  switch (state.data) {
    case DataFiles::kPatched:
      add(u"数据文件为反和谐版");
      break;
    case DataFiles::kStock:
      add(u"数据文件为官方原版");
      break;
    case DataFiles::kMissing:
      add(u"缺少数据文件");
      break;
    case DataFiles::kOther:
      add(u"数据文件与各版本都不同");
      break;
  }
  return u"当前：混合版本（" + parts + u"）";
}

}  // namespace patch
