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

// zlib's raw inflate driven by callbacks ("inflateBack"): it decodes straight into its 32 KiB
// window and hands each full window out, so no output is copied into the window afterwards.
// Its state points back at the stream, so it stays where it was made.
struct EntryDataReader::Inflater {
  z_stream stream{};
  std::unique_ptr<unsigned char[]> window;
  bool initialised = false;

  Inflater() : window(new(std::nothrow) unsigned char[1u << MAX_WBITS]) {
    initialised = window && inflateBackInit(&stream, MAX_WBITS, window.get()) == Z_OK;
  }
  ~Inflater() {
    if (initialised) inflateBackEnd(&stream);
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

DataStatus EntryDataReader::SkipEncryptionHeader() {
  while (encryptionHeaderLeft_ > 0) {
    if (inputAvailable_ == 0 && (compressedLeft_ == 0 || !FillInput())) return DataStatus::kDataError;
    const uint8_t b = *input_++;
    --inputAvailable_;
    if (--encryptionHeaderLeft_ == 0 && b != checkByte_) return DataStatus::kPasswordError;
  }
  return DataStatus::kOk;
}

DataStatus EntryDataReader::Deliver(PieceSink& sink, std::span<uint8_t> buffer, WholeInflater& whole) {
  if (!open_) return DataStatus::kDataError;
  // An empty entry is complete before a byte is read, encryption header included.
  if (uncompressedLeft_ == 0) return DataStatus::kOk;
  const DataStatus header = SkipEncryptionHeader();
  if (header != DataStatus::kOk) return header;
  if (method_ != 8) return DeliverStored(sink, buffer);
  if (const auto done = DeliverWhole(sink, whole)) return *done;
  return DeliverDeflated(sink);
}

// Unencrypted data that lies whole inside the block, decoded at once. Nothing when the decoder
// would not take it or gave anything but exactly the recorded size: nothing has been consumed or
// written then, and the stream goes to zlib, whose verdict on damaged and overlong streams is the
// one that counts.
std::optional<DataStatus> EntryDataReader::DeliverWhole(PieceSink& sink, WholeInflater& whole) {
  if (encrypted_ || uncompressedLeft_ > kWholeInflateCap) return std::nullopt;
  uint32_t at = 0;
  if (!CheckedAdd(nextCompressedOffset_, prefixLength_, &at)) return std::nullopt;
  const auto in = source_->Slice(at, compressedLeft_);
  if (!in) return std::nullopt;
  const auto out = whole.Inflate(*in, uncompressedLeft_);
  if (!out) return std::nullopt;
  runningCrc_ = Crc32(0, out->data(), out->size());
  uncompressedLeft_ = 0;
  compressedLeft_ = 0;
  for (size_t done = 0; done < out->size(); done += kWholeWritePiece) {
    const auto piece = static_cast<uint32_t>(std::min<size_t>(kWholeWritePiece, out->size() - done));
    if (!sink.Put(out->data() + done, piece)) return DataStatus::kSinkError;
  }
  return DataStatus::kOk;
}

EntryDataReader::Read EntryDataReader::ReadStored(std::span<uint8_t> out) {
  uint32_t room = std::min(static_cast<uint32_t>(out.size()), uncompressedLeft_);
  uint32_t delivered = 0;
  while (room > 0) {
    if (inputAvailable_ == 0 && compressedLeft_ > 0 && !FillInput()) return {DataStatus::kDataError, delivered, false};
    // Input that runs out before the recorded size would otherwise spin here forever.
    if (inputAvailable_ == 0) return {DataStatus::kDataError, delivered, false};
    const uint32_t n = std::min(room, inputAvailable_);
    std::memcpy(out.data() + delivered, input_, n);
    runningCrc_ = Crc32(runningCrc_, out.data() + delivered, n);
    input_ += n;
    inputAvailable_ -= n;
    uncompressedLeft_ -= n;
    delivered += n;
    room -= n;
  }
  return {DataStatus::kOk, delivered, uncompressedLeft_ == 0};
}

DataStatus EntryDataReader::DeliverStored(PieceSink& sink, std::span<uint8_t> buffer) {
  for (;;) {
    const Read got = ReadStored(buffer.first(std::min<size_t>(buffer.size(), kPieceSize)));
    if (got.status != DataStatus::kOk) return got.status;
    if (got.delivered > 0 && !sink.Put(buffer.data(), got.delivered)) return DataStatus::kSinkError;
    if (got.end) return DataStatus::kOk;
    if (got.delivered == 0) return DataStatus::kDataError;
  }
}

uint32_t EntryDataReader::NextInput(const uint8_t** data) {
  if (inputAvailable_ == 0 && (compressedLeft_ == 0 || !FillInput())) return 0;  // zlib then stops
  *data = input_;
  const uint32_t n = inputAvailable_;
  input_ += n;
  inputAvailable_ = 0;
  return n;
}

bool EntryDataReader::PassOn(const uint8_t* data, uint32_t size) {
  runningCrc_ = Crc32(runningCrc_, data, size);
  uncompressedLeft_ -= size;
  if (!sink_->Put(data, size)) {
    sinkFailed_ = true;
    return false;
  }
  return true;
}

// zlib hands out each full window (a whole number of pieces), and once more what is left when it
// stops, on success or failure alike. A short piece can only come from that last call; it goes
// out once the stream has ended well, so a piece in which decoding failed is never written.
bool EntryDataReader::TakeWindow(const uint8_t* data, uint32_t size) {
  while (size > 0) {
    const uint32_t n = std::min({size, kPieceSize, uncompressedLeft_});
    if (n == size && n < kPieceSize && n < uncompressedLeft_) {
      heldBack_ = data;
      heldBackSize_ = n;
      return true;
    }
    if (!PassOn(data, n)) return false;
    if (uncompressedLeft_ == 0) {
      filled_ = true;  // the recorded size is reached: whatever follows is not wanted
      return false;
    }
    data += n;
    size -= n;
  }
  return true;
}

DataStatus EntryDataReader::DeliverDeflated(PieceSink& sink) {
  if (!inflater_ || !inflater_->initialised) return DataStatus::kDataError;
  sink_ = &sink;
  z_stream& z = inflater_->stream;
  z.next_in = nullptr;
  z.avail_in = 0;
  const in_func in = [](void* self, const unsigned char** data) -> unsigned {
    return static_cast<EntryDataReader*>(self)->NextInput(data);
  };
  const out_func out = [](void* self, unsigned char* data, unsigned size) -> int {
    return static_cast<EntryDataReader*>(self)->TakeWindow(data, size) ? 0 : 1;
  };
  const int status = inflateBack(&z, in, this, out, this);
  if (sinkFailed_) return DataStatus::kSinkError;
  if (filled_) return DataStatus::kOk;
  if (status != Z_STREAM_END) return DataStatus::kDataError;
  if (heldBackSize_ > 0 && !PassOn(heldBack_, heldBackSize_)) return DataStatus::kSinkError;
  return DataStatus::kOk;
}

}  // namespace archive
