#include "tests/support/tree_snapshot.h"

#include "tests/support/temp_dir.h"

namespace testsupport {

Tree Snapshot(const std::filesystem::path& root) {
  Tree tree;
  for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
    const std::u8string relative = std::filesystem::relative(item.path(), root).generic_u8string();
    const std::string key(relative.begin(), relative.end());
    if (item.is_directory()) {
      tree[key] = kDirectoryMarker;
    } else {
      const auto bytes = ReadFileBytes(item.path());
      tree[key] = std::string(bytes.begin(), bytes.end());
    }
  }
  return tree;
}

}  // namespace testsupport
