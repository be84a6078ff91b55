#pragma once
// One entry's data out of the archive: stored or raw-deflated, optionally behind traditional
// PKWARE encryption, with a running CRC-32. Unencrypted data is decoded where it lies in the
// archive; encrypted data is decrypted into one 16 KiB input buffer. Deflated data up to
// kWholeInflateCap bytes is decoded in one call into the handle's WholeInflater; the rest is
// decoded straight into zlib's 32 KiB window and handed out from there. Memory is bounded by
// those buffers, whatever the entry's size.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "archive/central_directory.h"
#include "archive/pkware_keys.h"
#include "archive/whole_inflate.h"

namespace archive {

inline constexpr uint32_t kPieceSize = 16384;

// Takes the decoded data in order, one piece of at most kWholeWritePiece bytes per call.
class PieceSink {
 public:
  // False stops the delivery.
  virtual bool Put(const uint8_t* data, uint32_t size) = 0;

 protected:
  ~PieceSink() = default;
};

enum class DataStatus {
  kOk,             // the data ended, or every recorded byte was delivered
  kPasswordError,  // the decrypted check byte differs from the expected one
  kDataError,      // not open, an archive read failed, inflate failed or the input ran out
  kSinkError,      // the sink refused a piece
};

class EntryDataReader {
 public:
  // Opens the data of the record under the cursor. A refusal (invalid record, failed local
  // header check) is not reported here: the delivery fails instead.
  EntryDataReader(const CentralDirectoryCursor& cursor, const std::optional<std::string>& password);
  ~EntryDataReader();
  EntryDataReader(const EntryDataReader&) = delete;
  EntryDataReader& operator=(const EntryDataReader&) = delete;

  // Hands the data to sink in order until the data ends or the recorded size is reached: pieces
  // of kWholeWritePiece bytes when `whole` decoded it at once, else of kPieceSize bytes (the last
  // one shorter). Stored data is gathered in buffer (kPieceSize bytes). A piece in which decoding
  // fails is not delivered.
  DataStatus Deliver(PieceSink& sink, std::span<uint8_t> buffer, WholeInflater& whole);

  // Every byte the record announces has been produced.
  bool Complete() const { return uncompressedLeft_ == 0; }
  bool CrcMatches() const { return runningCrc_ == expectedCrc_; }

 private:
  struct Inflater;
  struct Read {
    DataStatus status;
    uint32_t delivered;
    bool end;  // no more data will come
  };

  bool FillInput();
  uint32_t ReadableInPlace(uint32_t at) const;
  DataStatus SkipEncryptionHeader();
  Read ReadStored(std::span<uint8_t> out);
  DataStatus DeliverStored(PieceSink& sink, std::span<uint8_t> buffer);
  std::optional<DataStatus> DeliverWhole(PieceSink& sink, WholeInflater& whole);
  DataStatus DeliverDeflated(PieceSink& sink);
  // What zlib's callbacks do with the reader.
  uint32_t NextInput(const uint8_t** data);
  bool TakeWindow(const uint8_t* data, uint32_t size);
  bool PassOn(const uint8_t* data, uint32_t size);

  bool open_ = false;
  const ArchiveSource* source_ = nullptr;
  std::unique_ptr<Inflater> inflater_;  // method 8 only
  std::unique_ptr<uint8_t[]> decrypted_;  // encrypted entries only
  const uint8_t* input_ = nullptr;  // the next unread input byte: in the archive or in decrypted_
  uint32_t inputAvailable_ = 0;
  uint32_t nextCompressedOffset_ = 0;
  uint32_t prefixLength_ = 0;
  uint32_t compressedLeft_ = 0;
  uint32_t uncompressedLeft_ = 0;
  uint32_t runningCrc_ = 0;
  uint32_t expectedCrc_ = 0;
  uint32_t method_ = 0;
  bool encrypted_ = false;
  std::optional<PkwareKeys> keys_;
  uint32_t encryptionHeaderLeft_ = 0;
  uint8_t checkByte_ = 0;
  // While inflating: where the pieces go, whether one was refused, a short piece held back until
  // the stream is known to have ended well, and whether the recorded size has been reached.
  PieceSink* sink_ = nullptr;
  bool sinkFailed_ = false;
  const uint8_t* heldBack_ = nullptr;
  uint32_t heldBackSize_ = 0;
  bool filled_ = false;
};

}  // namespace archive
