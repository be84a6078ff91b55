#pragma once
// File system operations the core needs, named after the Windows calls they stand for.
// Paths are UTF-16; both "\" and "/" separate components on every backend.
// Every call that fails leaves a Windows-style error code for LastError().
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Windows file attribute bits; the posix backend reports read-only (no owner write bit),
// directory and archive (regular file), and never hidden or system.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;
inline constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// Windows error codes the core and the tests look at; the posix backend maps errno onto these.
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorFileExists = 80;
inline constexpr uint32_t kErrorDiskFull = 112;
inline constexpr uint32_t kErrorAlreadyExists = 183;

uint32_t LastError();
// Puts back a code read earlier, after calls made since then may have replaced it.
void RestoreLastError(uint32_t code);

// GetFileAttributesW: kInvalidAttributes when nothing is at the path.
uint32_t GetFileAttributes(const std::u16string& path);
// Anything at the path counts, a directory included (PathFileExistsW).
bool PathExists(const std::u16string& path);
// What GetFileAttributesExW tells of a path.
struct FileInfo {
  uint32_t attributes;
  uint64_t size;
  uint64_t lastWriteTime;  // FILETIME
};
// False when nothing is at the path.
bool GetFileInfo(const std::u16string& path, FileInfo* info);
// SetFileAttributesW.
bool SetFileAttributes(const std::u16string& path, uint32_t attributes);
// CreateDirectoryW with default security; one level only.
bool CreateDirectory(const std::u16string& path);
// RemoveDirectoryW; the directory must be empty.
bool RemoveDirectory(const std::u16string& path);
// CopyFileW with bFailIfExists = TRUE: never replaces an existing file.
bool CopyFileNoReplace(const std::u16string& from, const std::u16string& to);
// MoveFileExW with MOVEFILE_REPLACE_EXISTING: a read-only target is refused (access denied), as on Windows.
bool MoveFileReplace(const std::u16string& from, const std::u16string& to);
// MoveFileExW without flags: never replaces anything (kErrorAlreadyExists or kErrorFileExists).
bool MoveFileNoReplace(const std::u16string& from, const std::u16string& to);
// CreateHardLinkW: link becomes a second name of the existing file, sharing its data, attributes
// and times. Fails where the file system has none (FAT32, exFAT, some network shares).
bool CreateHardLink(const std::u16string& existing, const std::u16string& link);
// True only when both paths are certainly two names of one file: both open at once, the same
// volume and 128-bit file id (the 64-bit index where the system has no such id), and at least
// two links on each. False when either cannot be opened or anything is uncertain, so a caller
// must also be right for one file when it takes the "two files" path.
bool IsSameFile(const std::u16string& a, const std::u16string& b);
// DeleteFileW: a read-only file is refused (access denied), as on Windows.
bool DeleteFile(const std::u16string& path);
// GetCurrentDirectoryW into a buffer of bufferUnits units including the terminator;
// empty when the directory does not fit or the call fails.
std::u16string GetCurrentDirectory(uint32_t bufferUnits);
// GetModuleFileNameW of the running executable; empty on failure or silent truncation.
std::u16string GetModuleFileName();

enum class Disposition {
  kCreateAlways,  // CREATE_ALWAYS: truncate and replace an existing file
  kCreateNew,     // CREATE_NEW: fail when anything exists at the path
  kOpenExisting,  // OPEN_EXISTING: fail when no file exists
};

// A file opened for writing with no sharing (CreateFileW with GENERIC_WRITE, share mode 0).
// Creating over an existing read-only file, or over a hidden or system file whose bits are not
// in `attributes`, fails with access denied, as CreateFileW does. `attributes` may be a file's
// full attributes: only those CreateFileW accepts as attributes are used, never as flags.
class OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(OutputFile&&) noexcept;
  OutputFile& operator=(OutputFile&&) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  static OutputFile Open(const std::u16string& path, Disposition disposition, uint32_t attributes);

  bool IsOpen() const;
  // One WriteFile call; false when it failed or wrote fewer bytes.
  bool Write(const void* data, uint32_t size);
  // SetFileTime with FILETIME values (100 ns since 1601-01-01 UTC).
  bool SetTimes(uint64_t creation, uint64_t access, uint64_t modification);
  // CloseHandle; false when the close itself failed. Safe to call on a closed file.
  bool Close();

  struct Impl;

 private:
  explicit OutputFile(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// A file opened for reading while others may read it too (CreateFileW with GENERIC_READ and
// FILE_SHARE_READ): a file held open by a writer, or without read sharing, refuses it.
class InputFile {
 public:
  InputFile();
  ~InputFile();
  InputFile(InputFile&&) noexcept;
  InputFile& operator=(InputFile&&) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  static InputFile Open(const std::u16string& path);

  bool IsOpen() const;
  // One ReadFile call of at most `size` bytes; *got is 0 at the end of the file.
  bool Read(void* data, uint32_t size, uint32_t* got);

  struct Impl;

 private:
  explicit InputFile(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Times of a file by path, opened for attribute writes only, which a read-only file allows.
bool SetFileTimes(const std::u16string& path, uint64_t creation, uint64_t access, uint64_t modification);

}  // namespace platform
