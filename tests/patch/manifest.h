#pragma once
// What one archive entry unpacks to, as an independent reader saw it when the tests were built.
#include <cstdint>

namespace patchtest {

struct ManifestEntry {
  const char* name;
  bool directory;
  uint32_t size;
  uint32_t crc32;
};

}  // namespace patchtest
