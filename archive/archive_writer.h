// Writing packed archives (versions 5 and 6) and packing a folder into one: shared by the
// packer tool, the tests and the benchmarks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pux {

struct WriterOptions {
  int version = 6;        // 5 or 6
  bool scramble = false;  // scramble the index
  bool lzss = false;      // version 6: compressed members use LZSS instead of zlib
};

// Collects directories and members, then lays out the index and the sector-aligned data.
// Paths use '/' between components. Every error names the path it is about.
class ArchiveWriter {
 public:
  explicit ArchiveWriter(WriterOptions options);
  ~ArchiveWriter();
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;

  // Adds a directory and any missing parents.
  bool AddDirectory(std::u16string_view path, std::string& error);
  // Adds a member from its contents; with compress the archive's coding is used unless it
  // would not make the member smaller (and empty members are always stored).
  bool AddFile(std::u16string_view path, std::vector<uint8_t> data, bool compress, std::string& error);
  // Adds a member already in its stored form; uncompressedSize 0 marks it stored as is.
  bool AddEncoded(std::u16string_view path, std::vector<uint8_t> stored, uint32_t uncompressedSize, std::string& error);
  bool Build(std::vector<uint8_t>& out, std::string& error) const;

  const WriterOptions& Options() const { return m_Options; }

 private:
  struct Node;
  Node* FindOrAddDirectory(std::u16string_view path, std::string& error);
  bool CheckName(std::u16string_view component, std::u16string_view path, std::string& error) const;

  WriterOptions m_Options;
  std::unique_ptr<Node> m_Root;
};

// zlib format (header, deflate data, Adler-32), as the reader inflates it.
bool CompressZlib(const uint8_t* data, size_t size, std::vector<uint8_t>& out, int level = 9);

struct PackOptions {
  WriterOptions writer;
  bool compress = true;
  // Folders whose whole subtree is stored (sound is read raw by its streams).
  std::vector<std::u16string> rawFolders{u"sound", u"bgm", u"voice", u"se"};
  bool verbose = false;  // one line per member on the log
};

// Packs every file below folder. Members named "*.pux" are stored so they mount as nested
// archives. Fails with a message naming the offending file.
bool PackFolder(std::u16string_view folder, const PackOptions& options, std::vector<uint8_t>& out, std::string& error);

}  // namespace pux
