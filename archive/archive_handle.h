#pragma once
// What an ArchiveHandle points at, and the validation every handle-taking call starts with.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/central_directory.h"
#include "archive/whole_inflate.h"

namespace archive {

inline constexpr uint32_t kReaderHandleKind = 1;

struct ZipArchiveReader {
  std::optional<CentralDirectoryCursor> cursor;
  ArchiveEntry cachedEntry{};
  int32_t cachedIndex = -1;
  std::optional<std::string> password;
  std::vector<uint8_t> outputBuffer;  // made by the first extraction, kept for the reader's life
  WholeInflater inflater;             // its buffer too: at most kWholeInflateCap bytes
  // Fixed at open; ends in "/" or "\". Empty when the current directory did not fit.
  std::u16string baseDirectory;
};

}  // namespace archive

struct ArchiveHandleData {
  uint32_t kind = archive::kReaderHandleKind;
  std::unique_ptr<archive::ZipArchiveReader> reader;
};

namespace archive {

// kOk with the reader, or kBadArguments (null) / kWrongHandleKind.
ArchiveResult ValidateHandle(ArchiveHandle handle, ZipArchiveReader** reader);

}  // namespace archive
