#include "platform/win32/profile_unicode.h"

#include <cwchar>
#include <optional>
#include <string_view>

#include "platform/fs.h"
#include "platform/text.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool WriteAll(HANDLE file, std::string_view bytes) {
  DWORD written = 0;
  if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    return FailWithLastError();
  }
  return written == bytes.size() || FailWith(ERROR_DISK_FULL);
}

bool CloseChecked(UniqueFileHandle& handle) { return ::CloseHandle(handle.release()) || FailWithLastError(); }

enum class Creation { kCreated, kExists, kFailed };

// Exclusive, so that a file another instance made a moment ago is never replaced.
Creation CreateMarkedFile(const std::u16string& file) {
  UniqueFileHandle handle(
      ::CreateFileW(Wide(file), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return Creation::kExists;
    FailWith(error);
    return Creation::kFailed;
  }
  if (WriteAll(handle.get(), kUtf16LeMark) && CloseChecked(handle)) return Creation::kCreated;
  handle.reset();
  ::DeleteFileW(Wide(file));  // best effort: an empty file would be written in the ANSI page
  return Creation::kFailed;
}

std::optional<std::string> ReadWhole(const std::u16string& file) {
  UniqueFileHandle handle(::CreateFileW(Wide(file), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    FailWithLastError();
    return std::nullopt;
  }
  std::string bytes;
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr)) {
      FailWithLastError();
      return std::nullopt;
    }
    if (got == 0) return bytes;
    bytes.append(buffer, got);
  }
}

// The text as it was written: UTF-16BE after its mark, UTF-8 after its own mark (Wine honours
// that mark; Windows does not, so such a file is made Unicode too) or without one when only UTF-8
// explains its bytes (Notepad's default), else the ANSI page.
std::optional<std::u16string> Decode(std::string_view bytes) {
  if (bytes.starts_with(kUtf16BeMark)) return Utf16FromBytes(bytes.substr(kUtf16BeMark.size()), true);
  const bool marked = bytes.starts_with(kUtf8Mark);
  if (marked) bytes.remove_prefix(kUtf8Mark.size());
  const bool utf8 = marked || IsNonAsciiUtf8(bytes);
  if (bytes.empty()) return std::u16string();
  std::u16string text = SystemMultiByteToWide(utf8 ? kCodePageUtf8 : kCodePageAnsi, bytes);
  if (text.empty()) return std::nullopt;
  return text;
}

std::u16string DirectoryOf(const std::u16string& file) {
  const size_t cut = file.find_last_of(u"\\/");
  return cut == std::u16string::npos ? u"." : file.substr(0, cut + 1);
}

// Written beside the file and moved over it, so that a failure leaves the old settings whole.
bool RewriteAsUtf16(const std::u16string& file, std::string_view oldBytes) {
  const std::optional<std::u16string> text = Decode(oldBytes);
  if (!text) return false;
  std::string bytes(kUtf16LeMark);
  bytes.append(reinterpret_cast<const char*>(text->data()), text->size() * sizeof(char16_t));

  wchar_t tempName[MAX_PATH];
  if (!::GetTempFileNameW(Wide(DirectoryOf(file)), L"mvt", 0, tempName)) return FailWithLastError();
  const std::u16string temp = FromWide(tempName, wcslen(tempName));
  UniqueFileHandle handle(
      ::CreateFileW(tempName, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool ok = handle.valid() || FailWithLastError();
  ok = ok && WriteAll(handle.get(), bytes);
  ok = ok && (::FlushFileBuffers(handle.get()) || FailWithLastError());
  ok = ok && CloseChecked(handle);
  if (ok) {
    const DWORD old = ::GetFileAttributesW(Wide(file));
    const DWORD kept = old == INVALID_FILE_ATTRIBUTES ? 0 : old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (kept != 0) ::SetFileAttributesW(tempName, kept);  // ignored: only how the folder shows it
    ok = MoveFileReplace(temp, file);
  }
  if (!ok) {
    handle.reset();
    ::DeleteFileW(tempName);  // best effort: the old file is still in place
  }
  return ok;
}

}  // namespace

bool PrepareUnicodeProfile(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                           const std::u16string& value) {
  switch (CreateMarkedFile(file)) {
    case Creation::kCreated:
      return true;
    case Creation::kFailed:
      return false;
    case Creation::kExists:
      break;
  }
  const bool survives = SurvivesAnsiCodePage(section) && SurvivesAnsiCodePage(key) && SurvivesAnsiCodePage(value);
  const std::optional<std::string> bytes = ReadWhole(file);
  if (!bytes) return survives;  // error kept: the write itself will tell
  if (bytes->starts_with(kUtf16LeMark)) return true;
  // The profile functions would read these in the ANSI page and write every line back in it.
  const bool misread = bytes->starts_with(kUtf16BeMark) || (!bytes->starts_with(kUtf8Mark) && IsNonAsciiUtf8(*bytes));
  if (survives && !misread) return true;
  return RewriteAsUtf16(file, *bytes);
}

}  // namespace platform::win32
