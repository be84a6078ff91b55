#include "archive/entry_writer.h"

#include "archive/entry_data.h"

namespace archive {

ArchiveResult WriteEntryData(ZipArchiveReader& reader, platform::OutputFile& file) {
  EntryDataReader data(*reader.cursor, reader.password);
  if (reader.outputBuffer.empty()) reader.outputBuffer.resize(kPieceSize);
  for (;;) {
    const DataRead got = data.Read(reader.outputBuffer);
    if (got.status == DataStatus::kPasswordError) return kPasswordRequired;
    if (got.status != DataStatus::kOk) return kInflateFailed;
    if (got.delivered > 0 && !file.Write(reader.outputBuffer.data(), got.delivered)) return kWriteFailed;
    if (got.end) break;
    if (got.delivered == 0) return kInflateFailed;
  }
  // A deflate stream may end before the size its record announces.
  if (!data.Complete()) return kInflateFailed;
  if (!data.CrcMatches()) return kCrcMismatch;
  return kOk;
}

}  // namespace archive
