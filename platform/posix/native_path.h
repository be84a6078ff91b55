#pragma once
// Core paths (UTF-16, "\" or "/") as the kernel takes them (UTF-8, "/").
#include <string>

namespace platform::posix {

std::string NativePath(const std::u16string& path);

}  // namespace platform::posix
