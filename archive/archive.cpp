// Opening archives (by version byte, or a folder) and the whole-member reading functions.
#include <filesystem>

#include "archive/archive_impl.h"
#include "platform/utf.h"

using namespace pux;

IArchive* OpenArchive(std::u16string_view path) {
  // The name is matched as the original platform would: either separator, any letter case.
  std::u16string resolved = platform::ResolvePathNoCase(path, false);
  if (resolved.empty()) return nullptr;
  auto file = platform::File::OpenRead(resolved);
  if (!file) return nullptr;
  uint8_t header[2] = {};
  // A file shorter than the two header bytes is not an archive.
  if (file->ReadAt(0, header, 2) != 2) return nullptr;
  file.reset();
  switch (header[1]) {
    case 5:
      return OpenArchive5(resolved, 0);
    case 6:
      return OpenArchive6(resolved, 0);
    default:
      platform::ReportAssertion("(\"未対応のPUX形式\",0)", "archive", 1787);
      return nullptr;
  }
}

IArchive* OpenDirArchive(std::u16string_view folder) {
  ComRef<CDirArchive> archive(new CDirArchive());
  if (!archive->Open(folder)) return nullptr;
  return archive.Detach();
}

namespace {

// The largest expansion any member coding reaches (deflate's limit is about 1032:1; LZSS is
// below 9:1), so a declared size beyond it cannot be real and is never allocated.
bool DeclaredSizePlausible(ICompressedFile* reader) {
  const uint64_t full = reader->GetSize();
  const uint64_t stored = reader->GetStoredSize();
  if (full > 0xFFFFFFFEu) return false;
  ComRef<IArchiveFile> file;
  if (reader->QueryInterface(IArchiveFile::kIid, reinterpret_cast<void**>(file.Put())) == S_OK && file) {
    if (StoredBytesPresent(file.Get()) < stored) return false;  // the archive file ends inside the member
  }
  return full <= stored * 1032 + 64;
}

void* ReadWhole(IArchive* archive, std::u16string_view name, void* buffer, uint32_t* size, bool text) {
  if (!archive) return nullptr;
  ComRef<ICompressedFile> reader(archive->OpenCompressed(name));
  if (!reader) return nullptr;
  if (!DeclaredSizePlausible(reader.Get())) return nullptr;
  const uint64_t full = reader->GetSize();
  ArchiveBuffer owned;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  if (!out) {
    owned.reset(static_cast<uint8_t*>(std::malloc(static_cast<size_t>(full) + 1)));
    if (!owned) return nullptr;
    out = owned.get();
  }
  // A read that comes up short is a damaged member: nothing is returned rather than a buffer
  // whose tail is undefined.
  const uint64_t got = full == 0 ? 0 : reader->Read(out);
  if (got != full) return nullptr;
  if (text) out[full] = 0;
  if (size) *size = static_cast<uint32_t>(full);
  owned.release();
  return out;
}

}  // namespace

void* ReadArchiveFile(IArchive* archive, std::u16string_view name, void* buffer, uint32_t* size) {
  return ReadWhole(archive, name, buffer, size, false);
}

void* ReadArchiveTextFile(IArchive* archive, std::u16string_view name, void* buffer, uint32_t* size) {
  return ReadWhole(archive, name, buffer, size, true);
}

namespace pux {

// ---- the folder archive

bool CDirArchive::Open(std::u16string_view folder) {
  std::u16string root(folder);
  if (root.empty() || (root.back() != u'/' && root.back() != u'\\')) root += u'/';
  if (root[0] != u'/' && root[0] != u'\\') {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec) return false;
    root = platform::Utf8ToWide(cwd.string()) + u"/" + root;
  }
  if (root.size() > 260) return false;
  m_Root = std::move(root);
  return !platform::ResolvePathNoCase(m_Root, true).empty();
}

std::u16string CDirArchive::Resolve(std::u16string_view name, bool wantDirectory) const {
  // The name stays below the root: a "." or ".." component, a leading separator (an absolute
  // path) and the like are refused before the host sees the path.
  if (MemberNameProblem(name)) return {};
  std::u16string path = m_Root;
  path += name;
  return platform::ResolvePathNoCase(path, wantDirectory);
}

bool CDirArchive::Exists(std::u16string_view name) {
  return !Resolve(name).empty() || !Resolve(name, true).empty();
}

IArchiveFile* CDirArchive::OpenFile(std::u16string_view name) {
  const std::u16string path = Resolve(name);
  if (path.empty()) return nullptr;
  auto file = platform::File::OpenRead(path);
  if (!file) return nullptr;
  const int64_t size = file->Size();
  if (size < 0) return nullptr;
  return new CArchiveFile(name, this, std::move(file), 0, static_cast<uint64_t>(size));
}

IMappingFile* CDirArchive::OpenMapping(std::u16string_view name) {
  ComRef<IArchiveFile> file(OpenFile(name));
  return MakeMapping(file.Get());
}

IArchive* CDirArchive::OpenArchive(std::u16string_view name) {
  const std::u16string path = Resolve(name);
  if (path.empty()) return nullptr;
  return ::OpenArchive(path);  // by its version byte, like any archive file
}

ICompressedFile* CDirArchive::OpenCompressed(std::u16string_view name) {
  ComRef<IArchiveFile> file(OpenFile(name));
  if (!file) return nullptr;
  return new CFlatFile(file.Get(), file->GetSize());
}

}  // namespace pux
