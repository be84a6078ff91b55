#include "archive/entry_data.h"

#define ZLIB_CONST  // next_in points into the caller's archive, which is never written
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "archive/local_header.h"

namespace archive {
namespace {

constexpr uint32_t kEncryptionHeaderLength = 12;

}  // namespace

// zlib's raw inflate (no zlib header, 32 KB window); its state points back at the stream, so it
// stays where it was made.
struct EntryDataReader::Inflater {
  z_stream stream{};
  bool initialised = false;

  Inflater() { initialised = inflateInit2(&stream, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (initialised) inflateEnd(&stream);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
};

EntryDataReader::EntryDataReader(const CentralDirectoryCursor& cursor, const std::optional<std::string>& password) {
  if (!cursor.valid()) return;
  const CentralRecord& central = cursor.record();
  LocalHeader local{};
  if (CheckLocalHeader(cursor.source(), cursor.prefixLength(), central, &local) != LocalHeaderCheck::kOk) return;

  source_ = &cursor.source();
  expectedCrc_ = central.crc32;
  compressedLeft_ = central.compressedSize;
  uncompressedLeft_ = central.uncompressedSize;
  method_ = central.method;
  prefixLength_ = cursor.prefixLength();
  nextCompressedOffset_ = local.dataOffset;
  if (method_ == 8) inflater_ = std::make_unique<Inflater>();  // a failed init fails the first read

  encrypted_ = (central.flags & kFlagEncrypted) != 0;
  if (encrypted_) {
    // Writers that stream (data descriptor) do not know the CRC yet and check the time instead.
    checkByte_ = (central.flags & kFlagDataDescriptor) != 0 ? static_cast<uint8_t>(central.dosDateTime >> 8)
                                                            : static_cast<uint8_t>(central.crc32 >> 24);
    encryptionHeaderLeft_ = kEncryptionHeaderLength;
    decrypted_ = std::make_unique<uint8_t[]>(kPieceSize);
    keys_.emplace(password ? std::string_view(*password) : std::string_view());
  }
  open_ = true;
}

EntryDataReader::~EntryDataReader() = default;

// Data read piece by piece fails at the first 16 KiB piece that does not lie whole inside the
// block. In place, all the remaining data is handed over when it lies inside, otherwise only the
// whole pieces that do, so decoding stops at the same byte with the same result.
uint32_t EntryDataReader::ReadableInPlace(uint32_t at) const {
  const uint32_t inside = at < source_->length() ? source_->length() - at : 0;
  if (compressedLeft_ <= inside) return compressedLeft_;
  return inside - inside % kPieceSize;
}

bool EntryDataReader::FillInput() {
  uint32_t at = 0;
  if (!CheckedAdd(nextCompressedOffset_, prefixLength_, &at)) return false;
  const uint32_t chunk = encrypted_ ? std::min(kPieceSize, compressedLeft_) : ReadableInPlace(at);
  const auto bytes = source_->Slice(at, chunk);
  if (chunk == 0 || !bytes) return false;
  if (encrypted_) {
    std::memcpy(decrypted_.get(), bytes->data(), chunk);
    keys_->Decrypt(std::span<uint8_t>(decrypted_.get(), chunk));
    input_ = decrypted_.get();
  } else {
    input_ = bytes->data();
  }
  nextCompressedOffset_ += chunk;  // cannot wrap: the slice ended inside the block
  compressedLeft_ -= chunk;
  inputAvailable_ = chunk;
  return true;
}

DataRead EntryDataReader::Read(std::span<uint8_t> out) {
  if (!open_) return {DataStatus::kDataError, 0, false};
  uint32_t room = std::min(static_cast<uint32_t>(out.size()), uncompressedLeft_);
  if (room == 0) return {DataStatus::kOk, 0, true};

  uint32_t delivered = 0;
  while (room > 0) {
    if (inputAvailable_ == 0 && compressedLeft_ > 0 && !FillInput()) return {DataStatus::kDataError, delivered, false};

    while (encryptionHeaderLeft_ > 0 && inputAvailable_ > 0) {
      const uint8_t b = *input_++;
      --inputAvailable_;
      if (--encryptionHeaderLeft_ == 0 && b != checkByte_) return {DataStatus::kPasswordError, delivered, false};
    }
    if (encryptionHeaderLeft_ > 0) {
      if (compressedLeft_ == 0) return {DataStatus::kDataError, delivered, false};
      continue;
    }

    if (method_ == 0) {
      // Input that runs out before the recorded size would otherwise spin here forever.
      if (inputAvailable_ == 0) return {DataStatus::kDataError, delivered, false};
      const uint32_t n = std::min(room, inputAvailable_);
      std::memcpy(out.data() + delivered, input_, n);
      runningCrc_ = static_cast<uint32_t>(crc32(runningCrc_, out.data() + delivered, n));
      input_ += n;
      inputAvailable_ -= n;
      uncompressedLeft_ -= n;
      delivered += n;
      room -= n;
      continue;
    }

    if (!inflater_ || !inflater_->initialised) return {DataStatus::kDataError, delivered, false};
    z_stream& z = inflater_->stream;
    z.next_in = input_;
    z.avail_in = inputAvailable_;
    z.next_out = out.data() + delivered;
    z.avail_out = room;
    const int status = inflate(&z, Z_SYNC_FLUSH);
    const uint32_t consumed = inputAvailable_ - z.avail_in;
    const uint32_t produced = room - z.avail_out;
    input_ += consumed;
    inputAvailable_ -= consumed;
    runningCrc_ = static_cast<uint32_t>(crc32(runningCrc_, out.data() + delivered, produced));
    uncompressedLeft_ -= produced;
    delivered += produced;
    room -= produced;
    if (status == Z_STREAM_END || uncompressedLeft_ == 0) return {DataStatus::kOk, delivered, true};
    // Z_BUF_ERROR included: no progress was possible, so the input has run out.
    if (status != Z_OK) return {DataStatus::kDataError, delivered, false};
  }
  return {DataStatus::kOk, delivered, uncompressedLeft_ == 0};
}

}  // namespace archive
