// Settings files read and written whole; a rewrite goes to a fresh file that then replaces the
// old one, so a failed write never leaves a truncated settings file behind.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/fs.h"
#include "platform/posix/file_mode.h"
#include "platform/posix/ini_document.h"
#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/unique_fd.h"
#include "platform/text.h"

namespace platform {
namespace {

// The file's bytes; nothing (with the error recorded) when it cannot be read.
std::optional<std::string> ReadAll(int fd, const std::string& path) {
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return bytes;
    if (got < 0) {
      if (errno == EINTR) continue;
      posix::FailErrno(errno, path);
      return std::nullopt;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

bool WriteAll(int fd, const std::string& bytes, const std::string& path) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return posix::FailErrno(errno, path);
    }
    if (put == 0) return posix::Fail(kErrorDiskFull);
    done += static_cast<size_t>(put);
  }
  return true;
}

bool CreateWithContent(const std::string& path, const std::string& bytes) {
  posix::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd) return posix::FailErrno(errno, path);
  bool ok = WriteAll(fd.get(), bytes, path);
  ok = ok && (::close(fd.release()) == 0 || posix::FailErrno(errno, path));
  if (!ok) {
    fd.reset();
    ::unlink(path.c_str());  // best effort: no half-written settings file
  }
  return ok;
}

bool ReplaceContent(const std::string& path, const struct stat& st, const std::string& bytes) {
  std::string temp = path + ".XXXXXX";
  posix::UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return posix::FailErrno(errno, path);
  bool ok = ::fchmod(fd.get(), st.st_mode & 07777) == 0 || posix::FailErrno(errno, path);
  ok = ok && WriteAll(fd.get(), bytes, path);
  ok = ok && (::fsync(fd.get()) == 0 || posix::FailErrno(errno, path));
  ok = ok && (::close(fd.release()) == 0 || posix::FailErrno(errno, path));
  ok = ok && (::rename(temp.c_str(), path.c_str()) == 0 || posix::FailErrno(errno, path));
  if (!ok) {
    fd.reset();
    ::unlink(temp.c_str());  // best effort: the original is still in place
  }
  return ok;
}

}  // namespace

std::u16string GetProfileString(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                                uint32_t bufferUnits) {
  const std::string native = posix::NativePath(file);
  posix::UniqueFd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    posix::FailErrno(errno, native);
    return {};
  }
  const auto bytes = ReadAll(fd.get(), native);
  if (!bytes) return {};
  auto value = posix::FindIniValue(posix::DecodeIni(*bytes).text, section, key);
  if (!value || bufferUnits == 0) return {};
  if (value->size() > bufferUnits - 1) value->resize(bufferUnits - 1);
  return *value;
}

bool WriteProfileString(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                        const std::u16string& value) {
  const std::string native = posix::NativePath(file);
  posix::UniqueFd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    if (errno != ENOENT) return posix::FailErrno(errno, native);
    // A new file starts with the UTF-16LE mark, as the Windows backend makes it, so any text fits.
    posix::IniText fresh;
    fresh.encoding = posix::IniEncoding::kUtf16Le;
    fresh.text = posix::SetIniValue(u"", section, key, value);
    return CreateWithContent(native, posix::EncodeIni(fresh));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return posix::FailErrno(errno, native);
  if (S_ISDIR(st.st_mode) || posix::IsReadOnlyFile(st)) return posix::Fail(kErrorAccessDenied);
  const auto bytes = ReadAll(fd.get(), native);
  if (!bytes) return false;
  fd.reset();
  posix::IniText ini = posix::DecodeIni(*bytes);
  // As the Windows backend converts: a file without the UTF-16LE mark becomes Unicode when the ANSI
  // page would lose part of the entry, and always when it is UTF-16BE or UTF-8 without a mark,
  // which the system's profile functions do not read as what they are.
  const bool foreign = ini.encoding == posix::IniEncoding::kUtf16Be || ini.encoding == posix::IniEncoding::kUtf8;
  if (ini.encoding != posix::IniEncoding::kUtf16Le &&
      (foreign || !(SurvivesAnsiCodePage(section) && SurvivesAnsiCodePage(key) && SurvivesAnsiCodePage(value)))) {
    ini.encoding = posix::IniEncoding::kUtf16Le;
  }
  ini.text = posix::SetIniValue(ini.text, section, key, value);
  return ReplaceContent(native, st, posix::EncodeIni(ini));
}

}  // namespace platform
