#pragma once
// A whole file mapped read-only, unmapped on destruction.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace bench {

class MappedFile {
 public:
  explicit MappedFile(const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool valid() const { return data_ != nullptr; }
  std::span<const uint8_t> bytes() const { return {data_, size_}; }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace bench
