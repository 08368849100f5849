// Profile files: the line model, and the folders service's profile reads and writes over it.
#include "platform/profile.h"

#include <algorithm>
#include <limits>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"

namespace platform {
namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

bool HasLineBreak(std::u16string_view s) {
  return s.find_first_of(u"\r\n") != std::u16string_view::npos;
}

// The profile of a file: empty when the file does not exist; none when it exists but cannot
// be read (a folder, no permission), so a write does not replace what it could not read.
std::optional<ProfileText> LoadProfile(std::u16string_view path) {
  std::vector<uint8_t> bytes;
  if (ReadWholeFile(path, bytes)) return ProfileText::Parse(bytes.data(), bytes.size());
  if (PathExists(path)) return std::nullopt;
  return ProfileText();
}

}  // namespace

ProfileText::Line ProfileText::MakeLine(std::string raw, std::string ending) {
  Line line;
  line.raw = std::move(raw);
  line.ending = std::move(ending);
  const std::u16string text = Utf8ToWide(line.raw);
  const std::u16string_view t = Trim(text);
  if (!t.empty() && t.front() == u'[') {
    const size_t close = t.find(u']');
    line.kind = Kind::Section;
    line.name = Trim(t.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1));
  } else if (!t.empty() && t.front() != u';') {
    const size_t eq = t.find(u'=');
    if (eq != std::u16string_view::npos) {
      line.kind = Kind::Key;
      line.name = Trim(t.substr(0, eq));
      std::u16string_view value = Trim(t.substr(eq + 1));
      if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      line.value = value;
    }
  }
  return line;
}

ProfileText ProfileText::Parse(const uint8_t* data, size_t size) {
  ProfileText profile;
  if (!data) size = 0;
  size_t pos = 0;
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    profile.m_Mark = true;
    pos = 3;
  }
  bool newlineSeen = false;
  while (pos < size) {
    size_t end = pos;
    while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
    size_t next = end;
    if (next < size) next += (data[next] == '\r' && next + 1 < size && data[next + 1] == '\n') ? 2 : 1;
    std::string ending(reinterpret_cast<const char*>(data) + end, next - end);
    if (!newlineSeen && !ending.empty()) {
      profile.m_Newline = ending;
      newlineSeen = true;
    }
    profile.m_Lines.push_back(MakeLine(std::string(reinterpret_cast<const char*>(data) + pos, end - pos), ending));
    pos = next;
  }
  return profile;
}

size_t ProfileText::FindSection(std::u16string_view section) const {
  section = Trim(section);
  for (size_t i = 0; i < m_Lines.size(); ++i)
    if (m_Lines[i].kind == Kind::Section && SameName(m_Lines[i].name, section)) return i;
  return std::u16string_view::npos;
}

std::optional<std::u16string> ProfileText::Find(std::u16string_view section, std::u16string_view key) const {
  key = Trim(key);
  const size_t header = FindSection(section);
  if (header == std::u16string_view::npos) return std::nullopt;
  for (size_t i = header + 1; i < m_Lines.size() && m_Lines[i].kind != Kind::Section; ++i)
    if (m_Lines[i].kind == Kind::Key && SameName(m_Lines[i].name, key)) return m_Lines[i].value;
  return std::nullopt;
}

bool ProfileText::CanWrite(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  const std::u16string_view k = Trim(key);
  return !HasLineBreak(section) && !HasLineBreak(key) && !HasLineBreak(value) &&
         section.find(u']') == std::u16string_view::npos && !k.empty() && k.front() != u'[' && k.front() != u';' &&
         k.find(u'=') == std::u16string_view::npos;
}

void ProfileText::Set(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  key = Trim(key);
  auto keyLine = [&](std::u16string_view name, std::string ending) {
    std::u16string text(name);
    text += u'=';
    text += value;
    return MakeLine(WideToUtf8(text), std::move(ending));
  };
  // Whatever is appended after the last line needs that line ended first.
  auto endLast = [&] {
    if (!m_Lines.empty() && m_Lines.back().ending.empty()) m_Lines.back().ending = m_Newline;
  };

  size_t header = FindSection(section);
  if (header == std::u16string_view::npos) {
    endLast();
    if (!m_Lines.empty() && !Trim(Utf8ToWide(m_Lines.back().raw)).empty()) m_Lines.push_back(MakeLine({}, m_Newline));
    std::u16string text = u"[";
    text += Trim(section);
    text += u']';
    m_Lines.push_back(MakeLine(WideToUtf8(text), m_Newline));
    m_Lines.push_back(keyLine(key, m_Newline));
    return;
  }
  size_t insertAfter = header;
  for (size_t i = header + 1; i < m_Lines.size() && m_Lines[i].kind != Kind::Section; ++i) {
    if (m_Lines[i].kind != Kind::Key) continue;
    if (SameName(m_Lines[i].name, key)) {
      const std::u16string name = m_Lines[i].name;  // the file's own spelling stays
      m_Lines[i] = keyLine(name, m_Lines[i].ending);
      return;
    }
    insertAfter = i;
  }
  if (insertAfter + 1 == m_Lines.size()) endLast();
  // Ended like the line before it, so that a file of mixed line ends reads back line for line.
  const std::string ending = m_Lines[insertAfter].ending;
  m_Lines.insert(m_Lines.begin() + static_cast<std::ptrdiff_t>(insertAfter + 1), keyLine(key, ending));
}

std::string ProfileText::Serialize() const {
  std::string out = m_Mark ? "\xEF\xBB\xBF" : "";
  for (const Line& line : m_Lines) {
    out += line.raw;
    out += line.ending;
  }
  return out;
}

ProfileFile ProfileFile::Load(std::u16string_view path) {
  ProfileFile file;
  file.m_Path = path;
  file.m_Text = LoadProfile(path);
  return file;
}

uint32_t ProfileFile::ReadString(std::u16string_view section, std::u16string_view key, std::u16string_view defaultValue,
                                 char16_t* buffer, uint32_t size) const {
  if (!buffer || size == 0) return 0;
  std::optional<std::u16string> found;
  if (m_Text) found = m_Text->Find(section, key);
  std::u16string_view value;
  if (found) {
    value = *found;
  } else {
    value = defaultValue;
    while (!value.empty() && value.back() == u' ') value.remove_suffix(1);
  }
  // A value is a C string to its readers: a NUL byte in the file ends it.
  value = value.substr(0, value.find(u'\0'));
  const uint32_t n = static_cast<uint32_t>(std::min<size_t>(value.size(), size - 1));
  std::copy_n(value.data(), n, buffer);
  buffer[n] = u'\0';
  return n;
}

int32_t ProfileFile::ReadInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue) const {
  const std::optional<std::u16string> found = m_Text ? m_Text->Find(section, key) : std::nullopt;
  if (!found || found->empty()) return defaultValue;
  std::u16string_view s = *found;
  bool negative = false;
  if (!s.empty() && (s.front() == u'+' || s.front() == u'-')) {
    negative = s.front() == u'-';
    s.remove_prefix(1);
  }
  int64_t n = 0;
  const int64_t limit = negative ? -int64_t(std::numeric_limits<int32_t>::min()) : std::numeric_limits<int32_t>::max();
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') break;
    n = std::min<int64_t>(n * 10 + (c - u'0'), limit);
  }
  return static_cast<int32_t>(negative ? -n : n);
}

bool ProfileFile::WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  if (!m_Text || !ProfileText::CanWrite(section, key, value)) return false;
  m_Text->Set(section, key, value);
  m_Changed = true;
  return true;
}

bool ProfileFile::Save() {
  if (!m_Changed) return true;
  if (!m_Text) return false;
  const std::string bytes = m_Text->Serialize();
  if (!WriteWholeFileAtomic(m_Path, bytes.data(), bytes.size())) return false;
  m_Changed = false;
  return true;
}

uint32_t FolderService::ReadProfileString(std::u16string_view path, std::u16string_view section,
                                          std::u16string_view key, std::u16string_view defaultValue, char16_t* buffer,
                                          uint32_t size) {
  if (!buffer || size == 0) return 0;
  return ProfileFile::Load(path).ReadString(section, key, defaultValue, buffer, size);
}

int32_t FolderService::ReadProfileInt(std::u16string_view path, std::u16string_view section, std::u16string_view key,
                                      int32_t defaultValue) {
  return ProfileFile::Load(path).ReadInt(section, key, defaultValue);
}

bool FolderService::WriteProfileString(std::u16string_view path, std::u16string_view section, std::u16string_view key,
                                       std::u16string_view value) {
  if (!ProfileText::CanWrite(section, key, value)) return false;
  ProfileFile file = ProfileFile::Load(path);
  return file.WriteString(section, key, value) && file.Save();
}

ProfileFile FolderService::OpenProfile(std::u16string_view path) {
  return ProfileFile::Load(path);
}

}  // namespace platform
