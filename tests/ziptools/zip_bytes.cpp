// Byte-level helpers of the test ZIP writer.
#include "tests/ziptools/zip_writer.h"

namespace ziptools {

uint16_t DosDate(int year, int month, int day) {
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

uint16_t DosTime(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  PutU16(out, static_cast<uint16_t>(value));
  PutU16(out, static_cast<uint16_t>(value >> 16));
}

void PokeU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  bytes.at(offset) = static_cast<uint8_t>(value);
  bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void PokeU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  PokeU16(bytes, offset, static_cast<uint16_t>(value));
  PokeU16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

std::vector<uint8_t> Bytes(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> NoiseBytes(size_t count, uint32_t seed) {
  std::vector<uint8_t> out(count);
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& b : out) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<uint8_t>(state >> 11);
  }
  return out;
}

std::vector<uint8_t> ExtraBlock(uint16_t id, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  PutU16(out, id);
  PutU16(out, static_cast<uint16_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<uint8_t> ExtendedTimestamp(uint8_t flags, const std::vector<int32_t>& times) {
  std::vector<uint8_t> data{flags};
  for (int32_t t : times) PutU32(data, static_cast<uint32_t>(t));
  return ExtraBlock(0x5455, data);
}

}  // namespace ziptools
