// Files for the engine: whole-file and positioned reads, writing, attributes, folders and mapping.
// Paths are wide (UTF-16) and go to the host as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::string HostPath(std::u16string_view path);  // UTF-8, as given (no separator change)

enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };

// An open file. Reads are shared with other readers; writes truncate or create.
class File {
 public:
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // A regular file only: a folder, pipe or device gives null.
  static std::unique_ptr<File> OpenRead(std::u16string_view path);
  // Creates or truncates a regular file; a folder, pipe or device gives null.
  static std::unique_ptr<File> CreateWrite(std::u16string_view path);

  int64_t Size() const;  // -1 on error
  // Reads up to count bytes at the current position; returns the bytes read, -1 on error.
  int64_t Read(void* buffer, size_t count);
  // Reads up to count bytes at offset without moving the position; -1 on error.
  int64_t ReadAt(uint64_t offset, void* buffer, size_t count) const;
  int64_t Write(const void* buffer, size_t count);
  // Returns the new position or -1 (a negative resulting position is an error).
  int64_t Seek(int64_t offset, SeekOrigin origin);
  int64_t Tell() const;
  bool Flush();
  int Descriptor() const { return m_Fd; }
  // Takes ownership of an open descriptor.
  explicit File(int fd) : m_Fd(fd) {}

 private:
  int m_Fd = -1;
};

// A read-only view of a file's bytes. Offsets need not be aligned; the mapping handles it.
class FileMapping {
 public:
  ~FileMapping();
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;

  // Maps count bytes at offset of an open file; null when the range is outside the file.
  static std::unique_ptr<FileMapping> Map(const File& file, uint64_t offset, size_t count);
  const uint8_t* Data() const { return m_Data; }
  size_t Size() const { return m_Size; }

 private:
  FileMapping() = default;
  void* m_Base = nullptr;
  size_t m_BaseSize = 0;
  const uint8_t* m_Data = nullptr;
  size_t m_Size = 0;
};

size_t AllocationGranularity();

// Reads a whole file; false when it cannot be opened or read, or its bytes do not fit in memory.
bool ReadWholeFile(std::u16string_view path, std::vector<uint8_t>& out);

// What stands at a path. Following links, a link is seen through, and one that cannot be
// followed is told apart (a loop, or a target that is missing); without, a link is a link.
enum class PathKind { Missing, File, Folder, SymbolicLink, LinkLoop, DanglingLink, Pipe, Socket, Device, Unknown };
PathKind GetPathKind(std::u16string_view path, bool followLinks);
// "a regular file", "a folder", "a symbolic-link loop", ... for messages.
const char* DescribePathKind(PathKind kind);

// Why WriteWholeFileAtomic failed.
struct WriteFailure {
  PathKind standing = PathKind::Missing;  // what stood at the path
  std::string reason;                     // "is a folder", "is a symbolic link", or the system's words
};
// Writes through a temporary file in the same folder and renames it into place. Only a regular
// file is replaced, and it keeps its mode (a new file gets 0644); a folder, link, pipe or device
// at the path is refused and left alone.
bool WriteWholeFileAtomic(std::u16string_view path, const void* data, size_t size, WriteFailure* failure = nullptr);

bool IsRegularFile(std::u16string_view path);
bool IsDirectory(std::u16string_view path);
bool PathExists(std::u16string_view path);
bool RemoveFile(std::u16string_view path);

struct DirEntry {
  std::u16string name;
  bool isDirectory = false;
  uint64_t size = 0;
};
// Entries of a folder (without "." and ".."), sorted by name; empty when it cannot be read.
std::vector<DirEntry> ListDirectory(std::u16string_view path);

// Resolves a path the way the original platform's file system would: '\' and '/' both
// separate, and each component that does not exist as written is matched without regard
// to ASCII letter case. wantDirectory selects what the final component must be (file or
// folder). Returns the host path that exists, or an empty string when none matches.
std::u16string ResolvePathNoCase(std::u16string_view path, bool wantDirectory);

}  // namespace platform
