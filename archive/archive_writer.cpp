// The archive writer and the folder packer.
#include "archive/archive_writer.h"

#include <zlib.h>

#include <algorithm>
#include <unordered_map>

#include "archive/archive_impl.h"
#include "archive/lzss.h"
#include "archive/scramble.h"
#include "lib/bytes.h"
#include "lib/error.h"
#include "lib/sjis.h"
#include "platform/utf.h"

namespace pux {

struct ArchiveWriter::Node {
  std::u16string name;
  std::string sjis;
  bool directory = false;
  std::vector<std::unique_ptr<Node>> children;
  // Children by their case-folded name, so that adding stays linear in the number of files.
  std::unordered_map<std::u16string, Node*> byName;

  Node* Child(std::u16string_view childName) const {
    const auto it = byName.find(FoldName(childName));
    return it == byName.end() ? nullptr : it->second;
  }
  Node* Adopt(std::unique_ptr<Node> child) {
    Node* added = child.get();
    byName.emplace(FoldName(added->name), added);
    children.push_back(std::move(child));
    return added;
  }
  std::vector<uint8_t> stored;
  uint32_t uncompressed = 0;
  // Filled by Build.
  uint32_t first = 0;
  uint32_t sector = 0;
};

namespace {

std::string Utf8(std::u16string_view s) {
  return platform::WideToUtf8(s);
}

// 'text' (built by appending, which keeps g++'s overlap warning quiet at -O3).
std::string Quote(std::u16string_view s) {
  std::string out(1, '\'');
  out += Utf8(s);
  out += '\'';
  return out;
}

void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  StoreLE16(&v.at(at + 1) - 1, static_cast<uint16_t>(x));
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  StoreLE32(&v.at(at + 3) - 3, x);
}

std::vector<std::u16string_view> SplitPath(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == u'/' || path[i] == u'\\') {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// A path that a lookup can find again: no component that steps outside the archive, and no
// longer than the lookup takes (the folders and the name each) or a listing record holds.
bool CheckMemberPath(std::u16string_view path, std::string& error) {
  if (const char* problem = MemberNameProblem(path)) {
    error = Quote(path) + ": the path holds " + problem;
    return false;
  }
  const auto parts = SplitPath(path);
  const size_t nameLength = parts.back().size();
  const size_t folderLength = path.size() - nameLength;  // with its separators
  if (nameLength > kMaxNameUnits || folderLength > kMaxNameUnits || path.size() > kMaxListedPathUnits) {
    error = Quote(path) + ": the path is too long for an archive (" + std::to_string(path.size()) +
            " characters; at most " + std::to_string(kMaxNameUnits) + " for the folders, " +
            std::to_string(kMaxNameUnits) + " for the name and " + std::to_string(kMaxListedPathUnits) + " in all)";
    return false;
  }
  return true;
}

}  // namespace

bool CompressZlib(const uint8_t* data, size_t size, std::vector<uint8_t>& out, int level) {
  uLongf length = compressBound(static_cast<uLong>(size));
  out.resize(length);
  if (compress2(out.data(), &length, data, static_cast<uLong>(size), level) != Z_OK) return false;
  out.resize(length);
  return true;
}

ArchiveWriter::ArchiveWriter(WriterOptions options) : m_Options(options), m_Root(std::make_unique<Node>()) {
  m_Root->directory = true;
}
ArchiveWriter::~ArchiveWriter() = default;

bool ArchiveWriter::CheckName(std::u16string_view component, std::u16string_view path, std::string& error) const {
  const std::string where = Quote(path);
  if (!IsSjisRepresentable(component)) {
    error = where + ": the name has characters that Shift-JIS cannot hold";
    return false;
  }
  const std::string sjis = WideToSjis(component);
  if (sjis.find('\0') != std::string::npos) {
    error = where + ": the name holds a zero character";
    return false;
  }
  if (m_Options.version == 5) {
    if (sjis.size() > 20) {
      error = where + ": the name '" + Utf8(component) + "' is longer than 20 bytes (version 5 limit)";
      return false;
    }
    if (sjis.find(' ') != std::string::npos) {
      error = where + ": the name '" + Utf8(component) + "' holds a space (version 5 cannot)";
      return false;
    }
    if (static_cast<uint8_t>(sjis[0]) >= 0x80) {
      error = where + ": the name '" + Utf8(component) + "' begins with a non-ASCII byte (version 5 cannot)";
      return false;
    }
  } else if (sjis.size() > 1024) {
    error = where + ": the name is longer than 1024 bytes";
    return false;
  }
  return true;
}

ArchiveWriter::Node* ArchiveWriter::FindOrAddDirectory(std::u16string_view path, std::string& error) {
  Node* node = m_Root.get();
  for (std::u16string_view part : SplitPath(path)) {
    Node* next = node->Child(part);
    if (next && !next->directory) {
      error = Quote(path) + ": '" + Utf8(next->name) + "' is already a file";
      return nullptr;
    }
    if (!next) {
      if (!CheckName(part, path, error)) return nullptr;
      auto dir = std::make_unique<Node>();
      dir->name = part;
      dir->sjis = WideToSjis(part);
      dir->directory = true;
      next = node->Adopt(std::move(dir));
    }
    node = next;
  }
  return node;
}

bool ArchiveWriter::AddDirectory(std::u16string_view path, std::string& error) {
  if (!CheckMemberPath(path, error)) return false;
  return FindOrAddDirectory(path, error) != nullptr;
}

bool ArchiveWriter::AddEncoded(std::u16string_view path, std::vector<uint8_t> stored, uint32_t uncompressedSize,
                               std::string& error) {
  if (!CheckMemberPath(path, error)) return false;
  const auto parts = SplitPath(path);
  const size_t dirLength = static_cast<size_t>(parts.back().data() - path.data());
  Node* dir = FindOrAddDirectory(path.substr(0, dirLength), error);
  if (!dir) return false;
  const std::u16string_view name = parts.back();
  if (dir->Child(name)) {
    error = Quote(path) + ": the name is already taken (names are compared without case)";
    return false;
  }
  if (!CheckName(name, path, error)) return false;
  if (stored.size() > 0xFFFFFFFFu) {
    error = Quote(path) + ": larger than 4 GiB";
    return false;
  }
  auto file = std::make_unique<Node>();
  file->name = name;
  file->sjis = WideToSjis(name);
  file->stored = std::move(stored);
  file->uncompressed = uncompressedSize;
  dir->Adopt(std::move(file));
  return true;
}

bool ArchiveWriter::AddFile(std::u16string_view path, std::vector<uint8_t> data, bool compress, std::string& error) {
  if (!CheckMemberPath(path, error)) return false;  // before spending time on compressing
  if (data.size() > 0xFFFFFFFFu) {
    error = Quote(path) + ": larger than 4 GiB";
    return false;
  }
  if (compress && !data.empty()) {
    std::vector<uint8_t> packed;
    if (m_Options.version == 6 && m_Options.lzss) {
      packed = EncodeLzss(data.data(), data.size());
    } else if (!CompressZlib(data.data(), data.size(), packed)) {
      error = Quote(path) + ": zlib failed";
      return false;
    }
    if (packed.size() < data.size()) {
      const uint32_t full = static_cast<uint32_t>(data.size());
      return AddEncoded(path, std::move(packed), full, error);
    }
  }
  return AddEncoded(path, std::move(data), 0, error);
}

bool ArchiveWriter::Build(std::vector<uint8_t>& out, std::string& error) const {
  // Breadth first, so that every directory's children are one run of entries.
  std::vector<Node*> order{m_Root.get()};
  for (size_t i = 0; i < order.size(); ++i) {
    Node* node = order[i];
    if (!node->directory) continue;
    node->first = static_cast<uint32_t>(order.size());
    for (auto& child : node->children) order.push_back(child.get());
  }
  if (order.size() > 0xFFFF) {
    error = std::string("too many entries (") += std::to_string(order.size());
    error += "; at most 65535)";
    return false;
  }
  const size_t count = order.size();
  const bool v5 = m_Options.version == 5;

  std::vector<uint8_t> names;
  std::vector<uint32_t> nameOffsets(count);
  if (!v5) {
    for (size_t i = 0; i < count; ++i) {
      nameOffsets[i] = static_cast<uint32_t>(names.size());
      names.insert(names.end(), order[i]->sjis.begin(), order[i]->sjis.end());
      names.push_back(0);
    }
  }
  const size_t indexSize = v5 ? 4 + 32 * count : 8 + 16 * count + names.size();
  uint64_t offset = (indexSize + kSectorSize - 1) / kSectorSize * kSectorSize;
  for (Node* node : order) {
    if (node->directory) continue;
    node->sector = static_cast<uint32_t>(offset / kSectorSize);
    offset += (node->stored.size() + kSectorSize - 1) / kSectorSize * kSectorSize;
    if (offset > 0xFFFFFFFFu) {
      error = "the archive would be larger than 4 GiB";
      return false;
    }
  }
  out.assign(static_cast<size_t>(offset), 0);
  const uint8_t flags = static_cast<uint8_t>((m_Options.scramble ? 1 : 0) | (!v5 && m_Options.lzss ? 2 : 0));
  out[0] = flags;
  out[1] = v5 ? 5 : 6;
  Put16(out, 2, static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    const Node* node = order[i];
    const uint32_t w1 = node->directory ? node->first : node->sector;
    const uint32_t w2 = node->directory ? 0 : static_cast<uint32_t>(node->stored.size());
    const uint32_t w3 = node->directory ? static_cast<uint32_t>(node->children.size()) : node->uncompressed;
    if (v5) {
      const size_t at = 4 + 32 * i;
      std::fill(out.begin() + at, out.begin() + at + 20, ' ');
      std::copy(node->sjis.begin(), node->sjis.end(), out.begin() + at);
      if (node->directory) out[at] |= 0x80;
      Put32(out, at + 20, w1);
      Put32(out, at + 24, w2);
      Put32(out, at + 28, w3);
    } else {
      const size_t at = 8 + 16 * i;
      Put32(out, at, nameOffsets[i] | (node->directory ? 0x80000000u : 0));
      Put32(out, at + 4, w1);
      Put32(out, at + 8, w2);
      Put32(out, at + 12, w3);
    }
  }
  if (v5) {
    if (m_Options.scramble) ScrambleRecords5(out.data() + 4, 32 * count);
  } else {
    Put32(out, 4, static_cast<uint32_t>(names.size()));
    std::copy(names.begin(), names.end(), out.begin() + 8 + 16 * count);
    if (m_Options.scramble) {
      ScrambleEntries6(out.data() + 8, 16 * count);
      ScrambleNames6(out.data() + 8 + 16 * count, names.size());
    }
  }
  for (const Node* node : order)
    if (!node->directory) std::copy(node->stored.begin(), node->stored.end(), out.begin() + node->sector * kSectorSize);
  return true;
}

namespace {

bool EndsWithNoCase(std::u16string_view s, std::u16string_view suffix) {
  return s.size() >= suffix.size() && NameEquals(s.substr(s.size() - suffix.size()), suffix);
}

constexpr uint64_t kMaxMemberBytes = 0xFFFFFFFFu;

// Reads a host file that is to become a member, refusing what cannot be one before reading it.
bool ReadMemberFile(const std::u16string& hostPath, std::vector<uint8_t>& data, std::string& error) {
  // A pipe, socket or device is no member (reading a pipe would wait for a writer forever).
  const platform::PathKind kind = platform::GetPathKind(hostPath, true);
  if (kind != platform::PathKind::File) {
    error = Quote(hostPath) + ": " + platform::DescribePathKind(kind) + ", not a regular file";
    return false;
  }
  auto file = platform::File::OpenRead(hostPath);
  const int64_t size = file ? file->Size() : -1;
  if (size < 0) {
    error = Quote(hostPath) + ": cannot be read";
    return false;
  }
  // The size is checked first: a file too large for a member is never read.
  if (static_cast<uint64_t>(size) > kMaxMemberBytes) {
    error = Quote(hostPath) + ": larger than 4 GiB (" + std::to_string(size) + " bytes), more than a member holds";
    return false;
  }
  data.resize(static_cast<size_t>(size));
  if (file->Read(data.data(), data.size()) != size) {
    error = Quote(hostPath) + ": cannot be read";
    return false;
  }
  return true;
}

bool PackTree(ArchiveWriter& writer, const std::u16string& host, const std::u16string& inside, bool raw,
              const PackOptions& options, int depth, std::string& error) {
  if (depth > 64) {
    error = Quote(host) + ": folders nested too deep (a link loop?)";
    return false;
  }
  for (const platform::DirEntry& e : platform::ListDirectory(host)) {
    const std::u16string hostPath = host + u"/" + e.name;
    // In an archive a backslash separates folders, so such a host name would silently become folders.
    if (e.name.find(u'\\') != std::u16string::npos) {
      error = Quote(hostPath) + ": the name holds a backslash, which an archive reads as a folder separator";
      return false;
    }
    const std::u16string path = inside.empty() ? e.name : inside + u"/" + e.name;
    if (e.isDirectory) {
      bool subRaw = raw;
      for (const auto& r : options.rawFolders) subRaw = subRaw || NameEquals(e.name, r);
      if (!writer.AddDirectory(path, error)) {
        error = Quote(hostPath) + ": " + error;
        return false;
      }
      if (!PackTree(writer, hostPath, path, subRaw, options, depth + 1, error)) return false;
      continue;
    }
    std::vector<uint8_t> data;
    if (!ReadMemberFile(hostPath, data, error)) return false;
    // Nested archives are stored, so that they can be mounted where they lie.
    const bool nested = EndsWithNoCase(e.name, u".pux");
    // A nested archive is mounted with its parent's version, so another version could not be.
    if (nested && data.size() >= 2 && (data[1] == 5 || data[1] == 6) && data[1] != options.writer.version) {
      error = Quote(hostPath) + ": a version " + std::to_string(data[1]) + " archive cannot be nested in a version " +
              std::to_string(options.writer.version) + " one";
      return false;
    }
    const bool compress = options.compress && !raw && !nested;
    const size_t size = data.size();
    if (!writer.AddFile(path, std::move(data), compress, error)) {
      error = Quote(hostPath) + ": " + error;
      return false;
    }
    if (options.verbose) DebugPrintf(u"%s (%d bytes)\n", path.c_str(), static_cast<int>(size));
  }
  return true;
}

}  // namespace

bool PackFolder(std::u16string_view folder, const PackOptions& options, std::vector<uint8_t>& out, std::string& error) {
  std::u16string host(folder);
  while (host.size() > 1 && (host.back() == u'/' || host.back() == u'\\')) host.pop_back();
  if (!platform::IsDirectory(host)) {
    error = Quote(host) + ": not a folder";
    return false;
  }
  ArchiveWriter writer(options.writer);
  if (!PackTree(writer, host, u"", false, options, 0, error)) return false;
  return writer.Build(out, error);
}

}  // namespace pux
