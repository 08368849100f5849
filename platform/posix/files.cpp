// POSIX implementation of the file service (open, read, write, seek, mmap, folders, case-free lookup).
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/utf.h"

namespace platform {

std::string HostPath(std::u16string_view path) {
  return WideToUtf8(path);
}

File::~File() {
  if (m_Fd >= 0) ::close(m_Fd);
}

std::unique_ptr<File> File::OpenRead(std::u16string_view path) {
  const std::string host = HostPath(path);
  // Opened without blocking, so that a named pipe in place of a data file cannot hang the
  // open; only a regular file is kept (a pipe, device or folder has no whole-file bytes).
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return std::unique_ptr<File>(new File(fd));
}

std::unique_ptr<File> File::CreateWrite(std::u16string_view path) {
  const std::string host = HostPath(path);
  // As OpenRead: a named pipe in the way is refused at once instead of waited on.
  const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return std::unique_ptr<File>(new File(fd));
}

int64_t File::Size() const {
  struct stat st {};
  if (::fstat(m_Fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

int64_t File::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(m_Fd, static_cast<char*>(buffer) + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t File::ReadAt(uint64_t offset, void* buffer, size_t count) const {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(m_Fd, static_cast<char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t File::Write(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(m_Fd, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t File::Seek(int64_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  const off_t pos = ::lseek(m_Fd, static_cast<off_t>(offset), whence);
  return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

int64_t File::Tell() const {
  const off_t pos = ::lseek(m_Fd, 0, SEEK_CUR);
  return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

bool File::Flush() {
  return ::fsync(m_Fd) == 0;
}

size_t AllocationGranularity() {
  const long page = ::sysconf(_SC_PAGESIZE);
  return page > 0 ? static_cast<size_t>(page) : 4096;
}

FileMapping::~FileMapping() {
  if (m_Base) ::munmap(m_Base, m_BaseSize);
}

std::unique_ptr<FileMapping> FileMapping::Map(const File& file, uint64_t offset, size_t count) {
  const int64_t size = file.Size();
  if (size < 0 || offset > static_cast<uint64_t>(size) || count > static_cast<uint64_t>(size) - offset) return nullptr;
  std::unique_ptr<FileMapping> map(new FileMapping());
  if (count == 0) return map;  // an empty view: valid, no bytes
  const uint64_t gran = AllocationGranularity();
  const uint64_t base = offset - offset % gran;
  const size_t lead = static_cast<size_t>(offset - base);
  void* p = ::mmap(nullptr, count + lead, PROT_READ, MAP_SHARED, file.Descriptor(), static_cast<off_t>(base));
  if (p == MAP_FAILED) return nullptr;
  map->m_Base = p;
  map->m_BaseSize = count + lead;
  map->m_Data = static_cast<const uint8_t*>(p) + lead;
  map->m_Size = count;
  return map;
}

bool ReadWholeFile(std::u16string_view path, std::vector<uint8_t>& out) {
  auto file = File::OpenRead(path);
  if (!file) return false;
  const int64_t size = file->Size();
  if (size < 0 || static_cast<uint64_t>(size) > out.max_size()) return false;
  try {
    out.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  const int64_t n = file->Read(out.data(), out.size());
  if (n != size) return false;
  return true;
}

namespace {

PathKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return PathKind::File;
  if (S_ISDIR(mode)) return PathKind::Folder;
  if (S_ISLNK(mode)) return PathKind::SymbolicLink;
  if (S_ISFIFO(mode)) return PathKind::Pipe;
  if (S_ISSOCK(mode)) return PathKind::Socket;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return PathKind::Device;
  return PathKind::Unknown;
}

bool IsMissingError(int error) {
  return error == ENOENT || error == ENOTDIR;
}

// At most `limit` bytes of a UTF-8 name, never cutting a character in two.
std::string Utf8Prefix(const std::string& name, size_t limit) {
  if (name.size() <= limit) return name;
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut);
}

}  // namespace

PathKind GetPathKind(std::u16string_view path, bool followLinks) {
  const std::string host = HostPath(path);
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) {
    if (errno == ELOOP) return PathKind::LinkLoop;  // a folder on the way loops
    return IsMissingError(errno) ? PathKind::Missing : PathKind::Unknown;
  }
  if (!S_ISLNK(st.st_mode) || !followLinks) return KindOfMode(st.st_mode);
  if (::stat(host.c_str(), &st) != 0) {
    if (errno == ELOOP) return PathKind::LinkLoop;
    return IsMissingError(errno) ? PathKind::DanglingLink : PathKind::Unknown;
  }
  return KindOfMode(st.st_mode);
}

const char* DescribePathKind(PathKind kind) {
  switch (kind) {
    case PathKind::Missing:
      return "missing";
    case PathKind::File:
      return "a regular file";
    case PathKind::Folder:
      return "a folder";
    case PathKind::SymbolicLink:
      return "a symbolic link";
    case PathKind::LinkLoop:
      return "a symbolic-link loop";
    case PathKind::DanglingLink:
      return "a symbolic link to nothing";
    case PathKind::Pipe:
      return "a named pipe";
    case PathKind::Socket:
      return "a socket";
    case PathKind::Device:
      return "a device";
    case PathKind::Unknown:
      break;
  }
  return "not a regular file";
}

bool WriteWholeFileAtomic(std::u16string_view path, const void* data, size_t size, WriteFailure* failure) {
  const std::string host = HostPath(path);
  auto fail = [&](PathKind standing, std::string reason) {
    if (failure) {
      failure->standing = standing;
      failure->reason = std::move(reason);
    }
    return false;
  };
  // Only a regular file is replaced: renaming over a link, pipe or device would silently put
  // a file in its place, and a folder cannot be replaced at all.
  struct stat st {};
  bool replacing = false;
  if (::lstat(host.c_str(), &st) == 0) {
    const PathKind kind = KindOfMode(st.st_mode);
    if (kind != PathKind::File) return fail(kind, std::string("is ") + DescribePathKind(kind));
    replacing = true;
  } else if (!IsMissingError(errno)) {
    return fail(errno == ELOOP ? PathKind::LinkLoop : PathKind::Unknown, std::strerror(errno));
  }
  const size_t slash = host.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : host.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? host : host.substr(slash + 1);
  if (name.empty()) return fail(PathKind::Missing, "has no file name");
  // The temporary name stays short whatever the name's length (a name may use all 255 bytes).
  std::string temp = folder;
  temp += '.';
  temp += Utf8Prefix(name, 64);
  temp += ".tmpXXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return fail(PathKind::Missing, std::strerror(errno));
  File file(fd);
  if (file.Write(data, size) != static_cast<int64_t>(size) || !file.Flush()) {
    const int error = errno;
    ::unlink(temp.c_str());
    return fail(replacing ? PathKind::File : PathKind::Missing, std::strerror(error));
  }
  if (replacing) {
    // The new file takes the old one's owner where that is allowed (a user cannot give a file
    // away, and then it stays the writer's) and always its mode.
    const int owned = ::fchown(fd, st.st_uid, st.st_gid);
    (void)owned;
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    ::fchmod(fd, 0644);
  }
  if (::rename(temp.c_str(), host.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return fail(replacing ? PathKind::File : PathKind::Missing, std::strerror(error));
  }
  return true;
}

static bool StatPath(std::u16string_view path, struct stat& st) {
  const std::string host = HostPath(path);
  return ::stat(host.c_str(), &st) == 0;
}

bool IsRegularFile(std::u16string_view path) {
  struct stat st {};
  return StatPath(path, st) && S_ISREG(st.st_mode);
}

bool IsDirectory(std::u16string_view path) {
  struct stat st {};
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool PathExists(std::u16string_view path) {
  struct stat st {};
  return StatPath(path, st);
}

bool RemoveFile(std::u16string_view path) {
  return ::unlink(HostPath(path).c_str()) == 0;
}

std::vector<DirEntry> ListDirectory(std::u16string_view path) {
  std::vector<DirEntry> entries;
  std::string host = HostPath(path);
  if (host.empty()) host.assign(1, '.');
  DIR* dir = ::opendir(host.c_str());
  if (!dir) return entries;
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    DirEntry entry;
    entry.name = Utf8ToWide(e->d_name);
    std::string full = host;
    if (full.back() != '/') full += '/';
    full += e->d_name;
    struct stat st {};
    if (::stat(full.c_str(), &st) == 0) {
      entry.isDirectory = S_ISDIR(st.st_mode);
      entry.size = entry.isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return entries;
}

static char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

static bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

std::u16string ResolvePathNoCase(std::u16string_view path, bool wantDirectory) {
  std::vector<std::u16string> parts;
  std::u16string current;
  std::u16string resolved;
  size_t start = 0;
  if (!path.empty() && (path[0] == u'/' || path[0] == u'\\')) {
    resolved = u"/";
    start = 1;
  }
  for (size_t i = start; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == u'/' || path[i] == u'\\') {
      if (!current.empty() && current != u".") parts.push_back(current);
      current.clear();
    } else {
      current += path[i];
    }
  }
  if (parts.empty())
    return wantDirectory && IsDirectory(resolved.empty() ? u"." : resolved) ? (resolved.empty() ? u"." : resolved)
                                                                            : u"";
  for (size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    const bool needDir = !last || wantDirectory;
    const std::u16string base = resolved;
    auto fits = [&](const std::u16string& candidate) {
      return needDir ? IsDirectory(candidate) : IsRegularFile(candidate);
    };
    std::u16string candidate = base + parts[i];
    if (parts[i] == u"..") {
      if (!IsDirectory(candidate)) return u"";
      resolved = candidate + u"/";
      continue;
    }
    if (!fits(candidate)) {
      candidate.clear();
      for (const DirEntry& e : ListDirectory(base.empty() ? u"." : base)) {
        if (EqualNoCase(e.name, parts[i]) && fits(base + e.name)) {
          candidate = base + e.name;
          break;
        }
      }
      if (candidate.empty()) return u"";
    }
    resolved = last ? candidate : candidate + u"/";
  }
  return resolved;
}

}  // namespace platform
