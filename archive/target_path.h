#pragma once
// Where an extraction writes: the caller's path split, joined with the base directory when it is
// relative, and held to the 259-unit limit instead of being cut short.
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive.h"

namespace archive {

inline constexpr uint32_t kMaxPathUnits = 259;

struct TargetPath {
  std::u16string base;       // the base directory for a relative path; empty for an absolute one
  std::u16string directory;  // the path up to and including its last "/" or "\"; may be empty
  std::u16string fileName;   // the rest
  std::u16string full;       // base + directory + fileName
};

// kOk, or kPathTooLong when the joined path exceeds 259 units or a relative path has no base.
ArchiveResult ResolveTarget(std::u16string_view base, std::u16string_view path, TargetPath* target);

// The length of the temporary file's name beside a target (TemporaryPathFor).
inline constexpr uint32_t kTemporaryNameUnits = 13;

}  // namespace archive
