#pragma once
// Every file and directory below a root with the bytes of each file, to show what an operation
// changed and that a refused one changed nothing.
#include <filesystem>
#include <map>
#include <string>

namespace testsupport {

// Relative path ("/" separated) -> file bytes; directories map to kDirectoryMarker.
using Tree = std::map<std::string, std::string>;
inline const std::string kDirectoryMarker = "<directory>";

Tree Snapshot(const std::filesystem::path& root);

}  // namespace testsupport
