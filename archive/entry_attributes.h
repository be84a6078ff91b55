#pragma once
#include <cstdint>

namespace archive {

// Windows attribute bits for an entry, from its external attributes and the host byte of
// "version made by": DOS-style hosts keep them in the low byte, Unix-style hosts in the mode bits.
uint32_t EntryAttributes(uint32_t versionMadeBy, uint32_t externalAttributes);

}  // namespace archive
