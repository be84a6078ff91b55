// Opening and closing archive handles.
#include <memory>

#include "archive/archive.h"
#include "archive/archive_handle.h"
#include "archive/end_record.h"
#include "platform/fs.h"

namespace archive {
namespace {

// GetCurrentDirectoryW into 259 units, so at most 258 characters and room for the "/" added.
constexpr uint32_t kCurrentDirectoryUnits = 259;

std::u16string BaseDirectoryNow() {
  std::u16string base = platform::GetCurrentDirectory(kCurrentDirectoryUnits);
  if (!base.empty() && base.back() != u'\\' && base.back() != u'/') base.push_back(u'/');
  return base;
}

}  // namespace
}  // namespace archive

ArchiveHandle OpenArchiveFromMemory(const void* data, uint32_t size, const char* password) {
  using namespace archive;
  auto reader = std::make_unique<ZipArchiveReader>();
  if (password != nullptr) reader->password.emplace(password);
  reader->baseDirectory = BaseDirectoryNow();

  const ArchiveSource source(static_cast<const uint8_t*>(data), size);
  const auto end = ReadEndRecord(source);
  if (!end) return nullptr;
  reader->cursor.emplace(source, *end);
  reader->cursor->MoveFirst();  // an unreadable first record does not fail the open

  auto handle = std::make_unique<ArchiveHandleData>();
  handle->reader = std::move(reader);
  return handle.release();
}

ArchiveResult CloseArchive(ArchiveHandle handle) {
  archive::ZipArchiveReader* reader = nullptr;
  const ArchiveResult result = archive::ValidateHandle(handle, &reader);
  if (result != kOk) return result;
  delete handle;  // the archive bytes belong to the caller and stay where they are
  return kOk;
}
