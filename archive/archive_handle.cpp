#include "archive/archive_handle.h"

namespace archive {

ArchiveResult ValidateHandle(ArchiveHandle handle, ZipArchiveReader** reader) {
  *reader = nullptr;
  if (handle == nullptr) return kBadArguments;
  if (handle->kind != kReaderHandleKind || !handle->reader) return kWrongHandleKind;
  *reader = handle->reader.get();
  return kOk;
}

}  // namespace archive

bool IsArchiveHandle(ArchiveHandle handle) { return handle != nullptr && handle->kind == archive::kReaderHandleKind; }
