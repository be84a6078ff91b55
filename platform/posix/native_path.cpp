#include "platform/posix/native_path.h"

#include <algorithm>

#include "platform/text.h"

namespace platform::posix {

std::string NativePath(const std::u16string& path) {
  std::string native = Utf16ToUtf8(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

}  // namespace platform::posix
