#include "tests/platform/file_probe.h"

#include <fstream>
#include <random>
#include <string>

#include "platform/fs.h"
#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#undef GetModuleFileName  // the macro would hide platform::GetModuleFileName
#else
#include <sys/stat.h>
#endif

namespace platformtest {

bool MayWriteBesideOwnProgram() {
  // A name of its own: suites of this program may run side by side.
  const std::filesystem::path probe = std::filesystem::path(platform::GetModuleFileName()).parent_path() /
                                      ("write-probe-" + std::to_string(std::random_device{}()));
  std::ofstream out(probe, std::ios::binary);
  if (!out.is_open()) return false;
  out.close();
  std::error_code ignored;  // a probe left behind harms nothing
  std::filesystem::remove(probe, ignored);
  return true;
}

#ifdef _WIN32

namespace {
uint64_t ToU64(const FILETIME& ft) { return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }
}  // namespace

FileTimes ReadFileTimes(const std::filesystem::path& path) {
  HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  FileTimes times{};
  if (h == INVALID_HANDLE_VALUE) return times;
  FILETIME c{}, a{}, m{};
  if (GetFileTime(h, &c, &a, &m)) times = {ToU64(c), ToU64(a), ToU64(m)};
  CloseHandle(h);
  return times;
}

namespace {
bool RunsUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
}  // namespace

bool ReadOnlyIsEnforced() { return !testsupport::OsIgnoresReadOnly(); }
bool OpenFilesAreExclusive() { return true; }
bool KeepsCreationTime() { return !RunsUnderWine(); }
bool ReadOnlyFileTakesTimesByPath() { return !RunsUnderWine() || !ReadOnlyIsEnforced(); }

#else

namespace {
uint64_t ToFileTime(const struct timespec& ts) {
  return static_cast<uint64_t>(ts.tv_sec) * 10'000'000 + static_cast<uint64_t>(ts.tv_nsec) / 100 +
         116'444'736'000'000'000ULL;
}
}  // namespace

FileTimes ReadFileTimes(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {0, ToFileTime(st.st_atim), ToFileTime(st.st_mtim)};
}

bool ReadOnlyIsEnforced() { return true; }
bool OpenFilesAreExclusive() { return false; }
bool KeepsCreationTime() { return false; }
bool ReadOnlyFileTakesTimesByPath() { return true; }

#endif

}  // namespace platformtest
