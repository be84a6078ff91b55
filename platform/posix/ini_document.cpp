#include "platform/posix/ini_document.h"

#include <vector>

#include "platform/text.h"

namespace platform::posix {
namespace {

struct Line {
  size_t begin;    // first unit of the line
  size_t end;      // one past its last unit, line break excluded
  size_t next;     // start of the following line
};

std::vector<Line> SplitLines(std::u16string_view text) {
  std::vector<Line> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find(u'\n', begin);
    size_t next = end == std::u16string_view::npos ? text.size() : end + 1;
    if (end == std::u16string_view::npos) end = text.size();
    if (end > begin && text[end - 1] == u'\r') --end;
    lines.push_back({begin, end, next});
    begin = next;
  }
  return lines;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char16_t FoldCase(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

// A section header's name, or nothing for any other line.
std::optional<std::u16string_view> SectionName(std::u16string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != u'[') return std::nullopt;
  line.remove_prefix(1);
  const size_t close = line.find(u']');
  return Trim(line.substr(0, close));
}

struct Entry {
  std::u16string_view key;
  std::u16string_view value;
};

Entry ParseEntry(std::u16string_view line) {
  const size_t eq = line.find(u'=');
  if (eq == std::u16string_view::npos) return {Trim(line), {}};
  return {Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

std::u16string_view Unquote(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::u16string_view LineBreakOf(std::u16string_view text) {
  const size_t lf = text.find(u'\n');
  if (lf != std::u16string_view::npos && (lf == 0 || text[lf - 1] != u'\r')) return u"\n";
  return u"\r\n";
}

}  // namespace

IniText DecodeIni(std::string_view bytes) {
  IniText ini;
  const bool little = bytes.starts_with("\xFF\xFE");
  if (little || bytes.starts_with("\xFE\xFF")) {
    ini.encoding = little ? IniEncoding::kUtf16Le : IniEncoding::kUtf16Be;
    ini.text = Utf16FromBytes(bytes.substr(2), !little);
    return ini;
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    ini.encoding = IniEncoding::kUtf8Bom;
    bytes.remove_prefix(3);
  } else if (IsNonAsciiUtf8(bytes)) {
    ini.encoding = IniEncoding::kUtf8;
  }
  ini.text = ini.encoding == IniEncoding::kAnsi ? SystemMultiByteToWide(kCodePageAnsi, bytes) : Utf8ToUtf16(bytes);
  return ini;
}

std::string EncodeIni(const IniText& ini) {
  switch (ini.encoding) {
    case IniEncoding::kUtf16Le:
    case IniEncoding::kUtf16Be: {
      const bool little = ini.encoding == IniEncoding::kUtf16Le;
      std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
      for (char16_t c : ini.text) {
        out.push_back(static_cast<char>(little ? c & 0xFF : c >> 8));
        out.push_back(static_cast<char>(little ? c >> 8 : c & 0xFF));
      }
      return out;
    }
    case IniEncoding::kUtf8Bom:
      return "\xEF\xBB\xBF" + Utf16ToUtf8(ini.text);
    case IniEncoding::kUtf8:
      return Utf16ToUtf8(ini.text);
    case IniEncoding::kAnsi:
      break;
  }
  return SystemWideToMultiByte(kCodePageAnsi, ini.text);
}

std::optional<std::u16string> FindIniValue(std::u16string_view text, std::u16string_view section,
                                           std::u16string_view key) {
  section = Trim(section);
  key = Trim(key);
  bool inSection = false;
  for (const Line& line : SplitLines(text)) {
    const std::u16string_view content = text.substr(line.begin, line.end - line.begin);
    if (const auto name = SectionName(content)) {
      inSection = SameName(*name, section);
      continue;
    }
    if (!inSection || Trim(content).empty()) continue;
    const Entry entry = ParseEntry(content);
    if (SameName(entry.key, key)) return std::u16string(Unquote(entry.value));
  }
  return std::nullopt;
}

std::u16string SetIniValue(std::u16string_view text, std::u16string_view section, std::u16string_view key,
                           std::u16string_view value) {
  section = Trim(section);
  key = Trim(key);
  const std::u16string_view lineBreak = LineBreakOf(text);
  const std::u16string entryLine = std::u16string(key) + u"=" + std::u16string(value);
  const std::vector<Line> lines = SplitLines(text);

  std::optional<size_t> lastInSection;  // index of the section's header or last entry
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::u16string_view content = text.substr(lines[i].begin, lines[i].end - lines[i].begin);
    if (const auto name = SectionName(content)) {
      if (lastInSection) break;  // the first matching section ended without the key
      if (SameName(*name, section)) lastInSection = i;
      continue;
    }
    if (!lastInSection || Trim(content).empty()) continue;
    if (SameName(ParseEntry(content).key, key)) {
      std::u16string out(text.substr(0, lines[i].begin));
      out += entryLine;
      out += text.substr(lines[i].end);
      return out;
    }
    lastInSection = i;
  }

  std::u16string out;
  if (lastInSection) {
    const Line& after = lines[*lastInSection];
    out = text.substr(0, after.next);
    if (after.next == after.end) out += lineBreak;  // the file's last line had no break
    out += entryLine;
    out += lineBreak;
    out += text.substr(after.next);
    return out;
  }
  out = text;
  if (!out.empty() && out.back() != u'\n') out += lineBreak;
  out += u"[";
  out += section;
  out += u"]";
  out += lineBreak;
  out += entryLine;
  out += lineBreak;
  return out;
}

}  // namespace platform::posix
