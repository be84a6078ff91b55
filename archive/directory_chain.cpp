#include "archive/directory_chain.h"

#include <string>

#include "archive/path_separator.h"
#include "platform/fs.h"

namespace archive {
namespace {

void CreateIfMissing(const std::u16string& path) {
  if (!platform::PathExists(path)) platform::CreateDirectory(path);  // failure surfaces later, see header
}

void CreateLevels(std::u16string_view base, std::u16string_view directory) {
  if (directory.empty()) return;
  size_t last = directory.size();
  while (last > 0 && !IsSeparator(directory[last - 1])) --last;
  // A separator at the very start ("/x") or none at all ("D:") marks the bottom level.
  if (last > 1) CreateLevels(base, directory.substr(0, last - 1));
  CreateIfMissing(std::u16string(base) + std::u16string(directory));
}

}  // namespace

void CreateDirectoryChain(std::u16string_view base, std::u16string_view directory) {
  if (!base.empty()) {
    std::u16string root(base);
    if (IsSeparator(root.back())) root.pop_back();
    if (!root.empty()) CreateIfMissing(root);
  }
  CreateLevels(base, directory);
}

}  // namespace archive
