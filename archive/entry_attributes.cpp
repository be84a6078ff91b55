#include "archive/entry_attributes.h"

namespace archive {
namespace {

constexpr uint32_t kReadOnly = 0x01;
constexpr uint32_t kHidden = 0x02;
constexpr uint32_t kSystem = 0x04;
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;

// MS-DOS/FAT, NTFS, VFAT and Windows NT: external attributes are the DOS attribute byte.
bool HasDosAttributes(uint32_t host) { return host == 0 || host == 7 || host == 11 || host == 14; }

}  // namespace

uint32_t EntryAttributes(uint32_t versionMadeBy, uint32_t externalAttributes) {
  const uint32_t a = externalAttributes;
  bool directory = (a & 0x40000000u) != 0;  // S_IFDIR in the high 16 bits
  bool readOnly = (a & 0x00800000u) == 0;   // owner write (S_IWUSR) clear
  bool hidden = false;
  bool system = false;
  bool archive = true;
  if (HasDosAttributes(versionMadeBy >> 8)) {
    readOnly = (a & kReadOnly) != 0;
    hidden = (a & kHidden) != 0;
    system = (a & kSystem) != 0;
    directory = (a & kDirectory) != 0;
    archive = (a & kArchive) != 0;
  }
  return (directory ? kDirectory : 0) | (archive ? kArchive : 0) | (hidden ? kHidden : 0) |
         (readOnly ? kReadOnly : 0) | (system ? kSystem : 0);
}

}  // namespace archive
