#pragma once
// Streaming one entry's data out of the archive: stored or raw-deflated, optionally behind
// traditional PKWARE encryption, with a running CRC-32. Unencrypted data is decoded where it lies
// in the archive; encrypted data is decrypted into one 16 KiB input buffer. Memory is bounded by
// that buffer and zlib's window, whatever the entry's size.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "archive/central_directory.h"
#include "archive/pkware_keys.h"

namespace archive {

inline constexpr uint32_t kPieceSize = 16384;

enum class DataStatus {
  kOk,
  kPasswordError,  // the decrypted check byte differs from the expected one
  kDataError,      // not open, an archive read failed, inflate failed or the input ran out
};

struct DataRead {
  DataStatus status;
  uint32_t delivered;
  bool end;  // no more data will come
};

class EntryDataReader {
 public:
  // Opens the data of the record under the cursor. A refusal (invalid record, failed local
  // header check) is not reported here: the first Read fails instead.
  EntryDataReader(const CentralDirectoryCursor& cursor, const std::optional<std::string>& password);
  ~EntryDataReader();
  EntryDataReader(const EntryDataReader&) = delete;
  EntryDataReader& operator=(const EntryDataReader&) = delete;

  DataRead Read(std::span<uint8_t> out);

  // Every byte the record announces has been produced.
  bool Complete() const { return uncompressedLeft_ == 0; }
  bool CrcMatches() const { return runningCrc_ == expectedCrc_; }

 private:
  struct Inflater;

  bool FillInput();
  uint32_t ReadableInPlace(uint32_t at) const;

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
};

}  // namespace archive
