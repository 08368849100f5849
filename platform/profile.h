// A profile file's text: read into lines, looked up by section and key, changed a key at a time
// and written back with every other line as it came.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ProfileText {
 public:
  // Splits the file's bytes into lines (ended by "\r\n", "\n" or "\r"); a UTF-8 byte-order mark
  // is skipped and remembered. Invalid UTF-8 reads as U+FFFD but is written back unchanged.
  static ProfileText Parse(const uint8_t* data, size_t size);

  // The key's value in the section, as FolderService describes the lookup; none when missing.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;
  // Whether the three can be written as lines that read back as themselves.
  static bool CanWrite(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  // Sets the key (CanWrite must hold): its line is rewritten in place; a new key goes after the
  // section's last key line (or its header); a new section goes at the end.
  void Set(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  // The file's bytes: the mark when it had one, then the lines, new ones ended like the first.
  std::string Serialize() const;

 private:
  enum class Kind { Other, Section, Key };
  struct Line {
    std::string raw;     // the bytes without the line end
    std::string ending;  // "\r\n", "\n", "\r", or empty on a last line without one
    Kind kind = Kind::Other;
    std::u16string name;   // section or key, trimmed
    std::u16string value;  // a key's value, trimmed, quotes removed
  };
  static Line MakeLine(std::string raw, std::string ending);
  // Index of the section's header line, or npos.
  size_t FindSection(std::u16string_view section) const;

  std::vector<Line> m_Lines;
  bool m_Mark = false;
  std::string m_Newline = "\n";
};

// A profile file read once: any number of lookups and changes against what was read, then one
// write of the whole file (through a temporary file and a rename, so a write that fails leaves
// the old file as it was). Reads and changes mean what FolderService's profile operations say.
class ProfileFile {
 public:
  // The file's profile: empty when the file does not exist; unreadable when it exists but cannot
  // be read (a folder, no permission), so that no write replaces what could not be read.
  static ProfileFile Load(std::u16string_view path);

  uint32_t ReadString(std::u16string_view section, std::u16string_view key, std::u16string_view defaultValue,
                      char16_t* buffer, uint32_t size) const;
  int32_t ReadInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue) const;
  // Changes the key in memory; false when the file was unreadable or the three cannot be a line.
  bool WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  // Writes the file whole when a change was made; true when nothing was to be written.
  bool Save();

 private:
  std::u16string m_Path;
  std::optional<ProfileText> m_Text;
  bool m_Changed = false;
};

}  // namespace platform
