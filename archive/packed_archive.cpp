// Packed archives of versions 5 and 6: reading and checking the index, lookup by path, listing
// and the opening slots.
#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/archive_impl.h"
#include "archive/scramble.h"
#include "lib/bytes.h"
#include "lib/sjis.h"
#include "lib/wstring.h"

namespace pux {

namespace {

char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool IsSeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

// Longest version 6 name accepted; a longer run, or one that the table ends inside, is damage.
constexpr size_t kMaxNameBytes = 1024;

// Opens the archive file and checks that the index fits it; size is the bytes from the base on.
std::unique_ptr<platform::File> OpenIndexFile(std::u16string_view path, uint64_t base, uint64_t& size) {
  if (!platform::IsRegularFile(path)) return nullptr;
  auto file = platform::File::OpenRead(path);
  if (!file) return nullptr;
  const int64_t total = file->Size();
  if (total < 0 || base >= static_cast<uint64_t>(total)) return nullptr;
  size = static_cast<uint64_t>(total) - base;
  return file;
}

bool ReadExact(const platform::File& file, uint64_t offset, void* buffer, size_t count) {
  return file.ReadAt(offset, buffer, count) == static_cast<int64_t>(count);
}

}  // namespace

bool NameEquals(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

std::u16string FoldName(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) c = FoldAscii(c);
  return folded;
}

const char* MemberNameProblem(std::u16string_view name) {
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !IsSeparator(name[i])) {
      if (name[i] == 0) return "a zero character";
      continue;
    }
    const std::u16string_view component = name.substr(start, i - start);
    if (component.empty()) return "an empty component (a leading, doubled or trailing separator)";
    if (component == u"." || component == u"..") return "a '.' or '..' component";
    start = i + 1;
  }
  return nullptr;
}

// ---- lookup and the shared slots

int64_t CPackedArchive::Lookup(std::u16string_view name, Want want) const {
  if (m_Entries.empty()) return -1;
  // Drive letter, directory part, final name, as the runtime's path splitter cuts them.
  if (name.size() >= 2 && name[1] == u':') name.remove_prefix(2);
  if (MemberNameProblem(name)) return -1;
  size_t lastSep = std::u16string_view::npos;
  for (size_t i = 0; i < name.size(); ++i)
    if (IsSeparator(name[i])) lastSep = i;
  const std::u16string_view dir =
      lastSep == std::u16string_view::npos ? std::u16string_view() : name.substr(0, lastSep + 1);
  const std::u16string_view final = lastSep == std::u16string_view::npos ? name : name.substr(lastSep + 1);
  if (dir.size() > kMaxNameUnits || final.size() > kMaxNameUnits) return -1;

  uint64_t first = m_Entries[0].first;
  uint64_t count = m_Entries[0].count;
  // Directory components match directories only; the final name what the caller wants.
  auto find = [&](std::u16string_view component, Want kind) -> int64_t {
    for (uint64_t i = first; i < first + count; ++i) {
      const IndexEntry& e = m_Entries[static_cast<size_t>(i)];
      const bool fits = kind == Want::Either || e.directory == (kind == Want::Folder);
      if (fits && NameEquals(e.name, component)) return static_cast<int64_t>(i);
    }
    return -1;
  };
  size_t start = 0;
  for (size_t i = 0; i < dir.size(); ++i) {
    if (!IsSeparator(dir[i])) continue;
    const int64_t found = find(dir.substr(start, i - start), Want::Folder);
    start = i + 1;
    if (found < 0) return -1;
    first = m_Entries[static_cast<size_t>(found)].first;
    count = m_Entries[static_cast<size_t>(found)].count;
  }
  return find(final, want);
}

bool CPackedArchive::ValidateTree() const {
  const size_t n = m_Entries.size();
  if (n == 0) return false;
  std::vector<uint8_t> seen(n, 0);
  seen[0] = 1;
  std::vector<size_t> pending{0};
  while (!pending.empty()) {
    const IndexEntry& dir = m_Entries[pending.back()];
    pending.pop_back();
    if (dir.count == 0) continue;  // an empty directory names no entry, whatever its first child
    if (static_cast<uint64_t>(dir.first) + dir.count > n) return false;
    for (size_t i = dir.first; i < static_cast<size_t>(dir.first) + dir.count; ++i) {
      if (seen[i]) return false;  // an ancestor, itself, or a child of two directories
      seen[i] = 1;
      if (m_Entries[i].directory) pending.push_back(i);
    }
  }
  return true;
}

int64_t CPackedArchive::NestedBase(size_t index) const {
  if (index >= m_Entries.size() || m_Entries[index].directory) return -1;
  const IndexEntry& e = m_Entries[index];
  if (static_cast<uint64_t>(e.first) * kSectorSize < m_IndexSize) return -1;  // at or inside this index
  return static_cast<int64_t>(DataOffset(e));
}

bool CPackedArchive::Exists(std::u16string_view name) {
  return Lookup(name, Want::Either) >= 0;
}

IArchiveFile* CPackedArchive::OpenFile(std::u16string_view name) {
  const int64_t index = Lookup(name);
  if (index < 0) return nullptr;
  const IndexEntry& e = m_Entries[static_cast<size_t>(index)];
  auto file = platform::File::OpenRead(m_Path);
  if (!file) return nullptr;
  const uint64_t offset = DataOffset(e);
  if (file->Seek(static_cast<int64_t>(offset), platform::SeekOrigin::Begin) < 0) return nullptr;
  return new CArchiveFile(name, this, std::move(file), offset, e.stored);
}

IMappingFile* CPackedArchive::OpenMapping(std::u16string_view name) {
  ComRef<IArchiveFile> file(OpenFile(name));
  return MakeMapping(file.Get());
}

void CPackedArchive::ForEachFile(const std::function<void(size_t index, const std::u16string& path)>& visit) const {
  if (m_Entries.empty()) return;
  // Depth first in index order, with an explicit stack (the tree may be deep). The tree was
  // checked at opening, so every entry is visited once.
  struct Level {
    size_t next, end;
    std::u16string prefix;
  };
  std::vector<Level> stack;
  stack.push_back({m_Entries[0].first, static_cast<size_t>(m_Entries[0].first) + m_Entries[0].count, {}});
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next >= level.end) {
      stack.pop_back();
      continue;
    }
    const size_t index = level.next++;
    const IndexEntry& e = m_Entries[index];
    std::u16string path = level.prefix + e.name;
    // Cut where a listing record ends: a deep tree of long names would otherwise make the
    // prefixes grow with the square of its depth.
    if (path.size() > 260) path.resize(260);
    if (e.directory) {
      stack.push_back({e.first, static_cast<size_t>(e.first) + e.count, path + u"/"});
    } else {
      visit(index, path);
    }
  }
}

ArchiveFileList CPackedArchive::ListFiles() {
  ArchiveFileList list;
  ForEachFile([&](size_t index, const std::u16string& path) {
    const IndexEntry& e = m_Entries[index];
    ArchiveFileRecord record{};
    CopyWideTruncated(record.path, 260, path);  // the record holds no more
    record.storedSize = e.stored;
    record.dataOffset = static_cast<uint64_t>(e.first) * kSectorSize;
    list.push_back(record);
  });
  return list;
}

bool CPackedArchive::IsCompressed(std::u16string_view name) {
  const int64_t index = Lookup(name);
  return index >= 0 && m_Entries[static_cast<size_t>(index)].count != 0;
}

ICompressedFile* CPackedArchive::OpenCompressed(std::u16string_view name) {
  const int64_t index = Lookup(name);
  if (index < 0) return nullptr;
  const uint32_t full = m_Entries[static_cast<size_t>(index)].count;
  ComRef<IArchiveFile> file(OpenFile(name));
  if (!file) return nullptr;
  if (full == 0) return new CFlatFile(file.Get(), file->GetSize());
  if (UsesLzss()) return new CEggFile(file.Get(), full);
  return new CZipFile(file.Get(), full);
}

// ---- version 5

bool CArchive5::Open(std::u16string_view path, uint64_t base) {
  uint64_t size = 0;
  auto file = OpenIndexFile(path, base, size);
  if (!file) return false;
  m_Path = path;
  m_Base = base;
  if (size < 4 || !ReadExact(*file, base, m_Header, 4)) return false;
  const size_t count = LoadLE16(m_Header + 2);
  if (count == 0 || 4 + count * 32 > size) return false;
  std::vector<uint8_t> records(count * 32);
  if (!ReadExact(*file, base + 4, records.data(), records.size())) return false;
  m_IndexSize = 4 + records.size();
  if (m_Header[0] & 1) ScrambleRecords5(records.data(), records.size());
  m_Entries.resize(count);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* r = records.data() + i * 32;
    IndexEntry& e = m_Entries[i];
    e.directory = (r[0] & 0x80) != 0;
    r[0] &= 0x7F;
    std::u16string name = SjisToWide(std::string_view(reinterpret_cast<const char*>(r), 20));
    const size_t cut = name.find_first_of(u" \0", 0, 2);
    if (cut != std::u16string::npos) name.resize(cut);
    e.name = std::move(name);
    e.first = LoadLE32(r + 20);
    e.stored = LoadLE32(r + 24);
    e.count = LoadLE32(r + 28);
  }
  return ValidateTree();
}

IArchive* CArchive5::OpenArchive(std::u16string_view name) {
  const int64_t index = Lookup(name);
  return index < 0 ? nullptr : OpenNestedAt(static_cast<size_t>(index));
}

IArchive* CArchive5::OpenNestedAt(size_t index) {
  const int64_t base = NestedBase(index);
  return base < 0 ? nullptr : OpenArchive5(m_Path, static_cast<uint64_t>(base));
}

IArchive* OpenArchive5(std::u16string_view path, uint64_t base) {
  ComRef<CArchive5> archive(new CArchive5());
  if (!archive->Open(path, base)) return nullptr;
  return archive.Detach();
}

// ---- version 6

bool CArchive6Base::Open(std::u16string_view path, uint64_t base) {
  uint64_t size = 0;
  auto file = OpenIndexFile(path, base, size);
  if (!file) return false;
  m_Path = path;
  m_Base = base;
  if (size < 8 || !ReadExact(*file, base, m_Header, 8)) return false;
  const size_t count = LoadLE16(m_Header + 2);
  const uint64_t namesSize = LoadLE32(m_Header + 4);
  const uint64_t entriesSize = static_cast<uint64_t>(count) * 16;
  if (count == 0 || 8 + entriesSize > size || namesSize > size - 8 - entriesSize) return false;
  std::vector<uint8_t> entries(static_cast<size_t>(entriesSize));
  std::vector<uint8_t> names(static_cast<size_t>(namesSize));
  if (!ReadExact(*file, base + 8, entries.data(), entries.size()) ||
      !ReadExact(*file, base + 8 + entriesSize, names.data(), names.size()))
    return false;
  file.reset();
  m_IndexSize = 8 + entriesSize + namesSize;
  if (m_Header[0] & 1) {
    ScrambleEntries6(entries.data(), entries.size());
    ScrambleNames6(names.data(), names.size());
  }
  m_Entries.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* r = entries.data() + i * 16;
    IndexEntry& e = m_Entries[i];
    const uint32_t word = LoadLE32(r);
    e.directory = (word & 0x80000000u) != 0;
    const uint64_t offset = word & 0x7FFFFFFFu;
    // Each entry converts its own name, which ends at its zero byte inside the table; entries
    // may share a name or point into the middle of another.
    if (offset >= namesSize) {
      if (i != 0 || namesSize != 0) return false;
    } else {
      const uint8_t* start = names.data() + offset;
      const size_t avail = static_cast<size_t>(namesSize - offset);
      const void* zero = std::memchr(start, 0, std::min(avail, kMaxNameBytes + 1));
      if (!zero) return false;  // unterminated, or longer than any name
      const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - start);
      e.name = SjisToWide(std::string_view(reinterpret_cast<const char*>(start), length));
    }
    e.first = LoadLE32(r + 4);
    e.stored = LoadLE32(r + 8);
    e.count = LoadLE32(r + 12);
  }
  return ValidateTree();
}

IArchive* CArchive6::OpenArchive(std::u16string_view name) {
  const int64_t index = Lookup(name);
  return index < 0 ? nullptr : OpenNestedAt(static_cast<size_t>(index));
}

IArchive* CArchive6::OpenNestedAt(size_t index) {
  const int64_t base = NestedBase(index);
  return base < 0 ? nullptr : OpenArchive6(m_Path, static_cast<uint64_t>(base));
}

IArchive* OpenArchive6(std::u16string_view path, uint64_t base) {
  ComRef<CArchive6> archive(new CArchive6());
  if (!archive->Open(path, base)) return nullptr;
  return archive.Detach();
}

}  // namespace pux
