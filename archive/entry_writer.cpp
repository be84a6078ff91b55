#include "archive/entry_writer.h"

#include "archive/entry_data.h"

namespace archive {
namespace {

class FileSink final : public PieceSink {
 public:
  explicit FileSink(platform::OutputFile& file) : file_(file) {}
  bool Put(const uint8_t* data, uint32_t size) override { return file_.Write(data, size); }

 private:
  platform::OutputFile& file_;
};

}  // namespace

ArchiveResult WriteEntryData(ZipArchiveReader& reader, platform::OutputFile& file) {
  EntryDataReader data(*reader.cursor, reader.password);
  if (reader.outputBuffer.empty()) reader.outputBuffer.resize(kPieceSize);
  FileSink sink(file);
  switch (data.Deliver(sink, reader.outputBuffer, reader.inflater)) {
    case DataStatus::kOk:
      break;
    case DataStatus::kPasswordError:
      return kPasswordRequired;
    case DataStatus::kSinkError:
      return kWriteFailed;
    case DataStatus::kDataError:
      return kInflateFailed;
  }
  // A deflate stream may end before the size its record announces.
  if (!data.Complete()) return kInflateFailed;
  if (!data.CrcMatches()) return kCrcMismatch;
  return kOk;
}

}  // namespace archive
