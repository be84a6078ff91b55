#pragma once
// File descriptors under UniqueResource.
#include <unistd.h>

#include <cerrno>

#include "platform/unique_resource.h"

namespace platform::posix {

struct FdTraits {
  using Value = int;
  static Value Invalid() noexcept { return -1; }
  static void Close(Value fd) noexcept {
    const int saved = errno;  // the caller may still be reading why an earlier call failed
    ::close(fd);
    errno = saved;
  }
};
using UniqueFd = UniqueResource<FdTraits>;

}  // namespace platform::posix
