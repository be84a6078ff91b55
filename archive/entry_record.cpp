#include "archive/entry_record.h"

#include <algorithm>

#include "archive/entry_attributes.h"
#include "archive/entry_name.h"
#include "archive/entry_times.h"
#include "archive/local_header.h"

namespace archive {
namespace {

ArchiveResult ReadEntryRecord(const CentralDirectoryCursor& cursor, ArchiveEntry* entry) {
  const CentralRecord& central = cursor.record();
  LocalHeader local{};
  if (CheckLocalHeader(cursor.source(), cursor.prefixLength(), central, &local) != LocalHeaderCheck::kOk) {
    return kCorrupt;
  }
  const auto localExtra = cursor.source().Slice(local.extraOffset, local.extraLength);
  if (!localExtra) return kReadFailed;

  const auto converted = ConvertStoredName(central.name);
  if (!converted) return kNameTooLong;
  const std::u16string name = SanitiseName(*converted);

  const uint64_t dosTime = DosDateTimeToFileTime(central.dosDateTime);
  EntryTimes times{dosTime, dosTime, dosTime};
  ApplyExtendedTimestamp(*localExtra, &times);

  ArchiveEntry record{};
  record.index = static_cast<int32_t>(cursor.index());
  std::copy(name.begin(), name.end(), record.name);  // fits: at most kMaxNameUnits units
  record.name[name.size()] = u'\0';
  record.attributes = EntryAttributes(central.versionMadeBy, central.externalAttributes);
  record.accessTime = times.access;
  record.creationTime = times.creation;
  record.modificationTime = times.modification;
  record.compressedSize = central.compressedSize;
  record.uncompressedSize = central.uncompressedSize;
  *entry = record;
  return kOk;
}

}  // namespace

ArchiveResult ObtainEntry(ZipArchiveReader& reader, int32_t index, ArchiveEntry* entry) {
  CentralDirectoryCursor& cursor = *reader.cursor;
  if (!cursor.MoveTo(static_cast<uint32_t>(index))) return kBadRecord;
  if (index == reader.cachedIndex) {
    *entry = reader.cachedEntry;
    return kOk;
  }
  ArchiveEntry record{};
  const ArchiveResult result = ReadEntryRecord(cursor, &record);
  if (result != kOk) return result;
  reader.cachedEntry = record;
  reader.cachedIndex = index;
  *entry = record;
  return kOk;
}

}  // namespace archive
