#pragma once
// A game file held open by another program (Windows only).
#include <filesystem>

namespace patchtest {

class HeldFile {
 public:
  // Opened for reading with no sharing at all, as the running game holds its packages.
  explicit HeldFile(const std::filesystem::path& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool held() const;

 private:
  void* handle_;
};

}  // namespace patchtest
