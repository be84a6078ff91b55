#include "bench/zlib_loop.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <memory>

namespace bench {
namespace {

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  for (size_t offset = 0; offset < size;) {
    const size_t piece = std::min(kPieceBytes, size - offset);
    if (::write(fd, data + offset, piece) != static_cast<ssize_t>(piece)) return false;
    offset += piece;
  }
  return true;
}

bool InflateEntry(std::span<const uint8_t> zip, const ZipItem& item, int fd, std::vector<uint8_t>& out) {
  if (item.method == 0) {
    const uint8_t* data = zip.data() + item.dataOffset;
    return crc32(0, data, item.uncompressedSize) == item.crc32 && WriteAll(fd, data, item.uncompressedSize);
  }
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&stream, inflateEnd);
  stream.next_in = const_cast<Bytef*>(zip.data() + item.dataOffset);
  stream.avail_in = item.compressedSize;
  uLong crc = crc32(0, Z_NULL, 0);
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    status = inflate(&stream, Z_SYNC_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) return false;
    const size_t produced = out.size() - stream.avail_out;
    if (produced == 0 && status != Z_STREAM_END) return false;
    crc = crc32(crc, out.data(), static_cast<uInt>(produced));
    if (!WriteAll(fd, out.data(), produced)) return false;
  }
  return crc == item.crc32;
}

}  // namespace

bool ExtractWithZlibLoop(std::span<const uint8_t> zip, const std::vector<ZipItem>& items,
                         const std::string& directory, size_t inflateBytes) {
  std::vector<uint8_t> out(inflateBytes);
  for (const ZipItem& item : items) {
    const std::filesystem::path target = std::filesystem::path(directory) / item.name;
    std::error_code ec;
    if (item.directory) continue;
    std::filesystem::create_directories(target.parent_path(), ec);
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = InflateEntry(zip, item, fd, out);
    if (::close(fd) != 0 || !ok) return false;
  }
  return true;
}

}  // namespace bench
