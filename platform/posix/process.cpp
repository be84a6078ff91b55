// Running programs, found by the file they were started from: /proc/<pid>/exe of each process.
#include "platform/process.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/posix/native_path.h"

namespace platform {

// Paths are compared as the posix file system does, case and all; only "\" and "/" are one.
bool IsSamePath(const std::u16string& a, const std::u16string& b) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path x = fs::weakly_canonical(posix::NativePath(a), error);
  if (error) return false;
  const fs::path y = fs::weakly_canonical(posix::NativePath(b), error);
  return !error && x == y;
}

// stat() of /proc/<pid>/exe is the running image itself, whatever path started it.
bool IsImageRunning(const std::u16string& image) {
  struct stat client {};
  if (::stat(posix::NativePath(image).c_str(), &client) != 0) return false;
  const std::unique_ptr<DIR, int (*)(DIR*)> processes(::opendir("/proc"), ::closedir);
  if (!processes) return false;
  while (const dirent* entry = ::readdir(processes.get())) {
    if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
    struct stat running {};
    const std::string exe = std::string("/proc/") + entry->d_name + "/exe";
    if (::stat(exe.c_str(), &running) == 0 && running.st_dev == client.st_dev && running.st_ino == client.st_ino) {
      return true;
    }
  }
  return false;
}

}  // namespace platform
