#pragma once
// Read-only as Windows sees it, decided by the mode alone so that it holds for root as well.
#include <sys/stat.h>

namespace platform::posix {

inline bool IsReadOnlyFile(const struct stat& st) { return !S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }

}  // namespace platform::posix
