// Where the process is and what it runs.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/fs.h"
#include "platform/posix/last_error.h"
#include "platform/text.h"

namespace platform {

std::u16string GetCurrentDirectory(uint32_t bufferUnits) {
  std::string buffer(256, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      posix::FailErrno(errno, ".");
      return {};
    }
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  std::u16string directory = Utf8ToUtf16(buffer);
  if (directory.size() >= bufferUnits) {  // the terminator needs a unit too
    posix::Fail(posix::kErrorInsufficientBuffer);
    return {};
  }
  return directory;
}

std::u16string GetModuleFileName() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      posix::FailErrno(errno, "/proc/self/exe");
      return {};
    }
    if (static_cast<size_t>(length) < buffer.size()) {  // a full buffer may mean a cut-off name
      buffer.resize(static_cast<size_t>(length));
      return Utf8ToUtf16(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace platform
