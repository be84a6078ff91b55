#include "tests/archive/file_times.h"

#include "platform/fs.h"
#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace archivetest {

#ifdef _WIN32

namespace {
uint64_t FromFiletime(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }
}  // namespace

std::optional<FileTimesOnDisk> ReadFileTimes(const std::filesystem::path& path) {
  HANDLE file = CreateFileW(path.wstring().c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  FILETIME creation{}, access{}, write{};
  const BOOL ok = GetFileTime(file, &creation, &access, &write);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return FileTimesOnDisk{FromFiletime(creation), FromFiletime(access), FromFiletime(write)};
}

#else

namespace {
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000;
uint64_t FromTimespec(const timespec& t) {
  return static_cast<uint64_t>(static_cast<int64_t>(t.tv_sec) * 10000000 + t.tv_nsec / 100 + kUnixEpochAsFileTime);
}
}  // namespace

std::optional<FileTimesOnDisk> ReadFileTimes(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileTimesOnDisk{std::nullopt, FromTimespec(st.st_atim), FromTimespec(st.st_mtim)};
}

#endif

bool CreationTimeSticks(const std::filesystem::path& dir) {
  const std::filesystem::path probe = dir / "creation-time-probe";
  testsupport::WriteFileText(probe, "probe");
  constexpr uint64_t kCreation = 125000000000000000;  // 1997, unlike any time the probe has
  platform::SetFileTimes(probe.u16string(), kCreation, kCreation + 10000000, kCreation + 20000000);
  const auto times = ReadFileTimes(probe);
  std::filesystem::remove(probe);
  return times && times->creation == kCreation;
}

}  // namespace archivetest
