// The classes behind archive.h: packed archives of versions 5 and 6, the folder archive and
// the member readers. Included by the archive's own sources, its tests and fuzz targets.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace pux {

constexpr uint64_t kSectorSize = 2048;
constexpr uint32_t kZipStreamThreshold = 0x20000;  // stored sizes from here stream through inflate
constexpr size_t kMaxNameUnits = 255;              // longest directory part or file name of a lookup path
constexpr size_t kMaxListedPathUnits = 259;        // longest path a ListFiles record holds

// The ASCII-case-free comparison used for every member name, and the key it compares.
bool NameEquals(std::u16string_view a, std::u16string_view b);
std::u16string FoldName(std::u16string_view name);

// What makes a member name unusable, or null when it is fine. A name is components between
// '/' or '\'; none may be empty (a leading, doubled or trailing separator), "." or ".." (which
// would step outside the archive, or name it), or hold a zero character.
const char* MemberNameProblem(std::u16string_view name);

// Answers IUnknown and the object's own interface with itself, and clears out otherwise.
template <typename I>
HRESULT AnswerSelf(I* self, const InterfaceId& id, void** out) {
  if (!out) return E_INVALIDARG;
  if (id == IUnknown::kIid || id == I::kIid) {
    self->AddRef();
    *out = self;
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

// Bytes of a member's stored data that the archive file really holds (a damaged index may
// declare more than the file has).
uint64_t StoredBytesPresent(IArchiveFile* file);

// One index node of a packed archive, either version.
struct IndexEntry {
  std::u16string name;
  bool directory = false;
  uint32_t first = 0;   // directory: first child; file: start sector
  uint32_t stored = 0;  // file: stored size
  uint32_t count = 0;   // directory: children; file: uncompressed size (0 = stored)
};

// What both index versions share: the entries, lookup, listing and the common slots.
class CPackedArchive : public CComImpl<IArchive> {
 public:
  HRESULT QueryInterface(const InterfaceId& id, void** out) override { return AnswerSelf<IArchive>(this, id, out); }
  bool Exists(std::u16string_view name) override;
  IArchiveFile* OpenFile(std::u16string_view name) override;
  IMappingFile* OpenMapping(std::u16string_view name) override;
  ArchiveFileList ListFiles() override;
  IArchive* GetSelf() override {
    AddRef();
    return this;
  }
  bool IsCompressed(std::u16string_view name) override;
  ICompressedFile* OpenCompressed(std::u16string_view name) override;

  enum class Want { File, Folder, Either };
  // Index of the entry that the path names (a file unless told otherwise), or -1.
  int64_t Lookup(std::u16string_view name, Want want = Want::File) const;
  // Visits every file depth first in index order with its path (cut after 260 units), as
  // ListFiles lists them.
  void ForEachFile(const std::function<void(size_t index, const std::u16string& path)>& visit) const;
  // The archive stored as the file at index, of this archive's version; null when it cannot
  // be read or does not lie past this archive's own index.
  virtual IArchive* OpenNestedAt(size_t index) = 0;
  const std::vector<IndexEntry>& Entries() const { return m_Entries; }
  uint64_t BaseOffset() const { return m_Base; }
  uint64_t IndexSize() const { return m_IndexSize; }  // header, entries and names, in bytes
  virtual bool UsesLzss() const { return false; }

 protected:
  // Checks that the tree is usable: a root, every child range inside the index, and every
  // entry below at most one directory (no cycles, no shared subtrees).
  bool ValidateTree() const;
  uint64_t DataOffset(const IndexEntry& e) const { return m_Base + e.first * kSectorSize; }
  // The base of a nested archive stored as the file at index, or -1. It must start past this
  // archive's index: then every nested archive starts further into the file than its parent,
  // and a chain of them ends instead of looping back.
  int64_t NestedBase(size_t index) const;

  std::vector<IndexEntry> m_Entries;
  std::u16string m_Path;
  uint64_t m_Base = 0;
  uint64_t m_IndexSize = 0;
};

class CArchive5 final : public CPackedArchive {
 public:
  bool Open(std::u16string_view path, uint64_t base);
  IArchive* OpenArchive(std::u16string_view name) override;
  IArchive* OpenNestedAt(size_t index) override;

 private:
  uint8_t m_Header[4] = {};
};

// Version 6 proper: the index is its base's, the opening slots its own.
class CArchive6Base : public CPackedArchive {
 public:
  bool Open(std::u16string_view path, uint64_t base);
  IArchiveFile* OpenFile(std::u16string_view name) override = 0;
  IArchive* OpenArchive(std::u16string_view name) override = 0;
  bool UsesLzss() const override { return (m_Header[0] & 2) != 0; }

 protected:
  uint8_t m_Header[8] = {};
};

class CArchive6 final : public CArchive6Base {
 public:
  IArchiveFile* OpenFile(std::u16string_view name) override { return CPackedArchive::OpenFile(name); }
  IArchive* OpenArchive(std::u16string_view name) override;
  IArchive* OpenNestedAt(size_t index) override;
};

// A folder mounted as an archive.
class CDirArchive final : public CComImpl<IArchive> {
 public:
  bool Open(std::u16string_view folder);
  HRESULT QueryInterface(const InterfaceId& id, void** out) override { return AnswerSelf<IArchive>(this, id, out); }
  bool Exists(std::u16string_view name) override;
  IArchiveFile* OpenFile(std::u16string_view name) override;
  IMappingFile* OpenMapping(std::u16string_view name) override;
  IArchive* OpenArchive(std::u16string_view name) override;
  ArchiveFileList ListFiles() override { return {}; }
  IArchive* GetSelf() override {
    AddRef();
    return this;
  }
  bool IsCompressed(std::u16string_view) override { return false; }
  ICompressedFile* OpenCompressed(std::u16string_view name) override;
  const std::u16string& Root() const { return m_Root; }

 private:
  // The host path of the member name (a folder when wantDirectory), or empty.
  std::u16string Resolve(std::u16string_view name, bool wantDirectory = false) const;
  std::u16string m_Root;
};

// A window of fixed size on the archive file; owns its own open file.
class CArchiveFile final : public CComImpl<IArchiveFile> {
 public:
  CArchiveFile(std::u16string_view name, IArchive* archive, std::unique_ptr<platform::File> file, uint64_t base,
               uint64_t size);
  HRESULT QueryInterface(const InterfaceId& id, void** out) override;
  uint64_t GetSize() override { return m_Size; }
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Tell() override;
  uint64_t Read(void* buffer, uint64_t count) override;
  IArchiveFile* Duplicate() override;
  platform::File* GetHandle() override { return m_File.get(); }
  int64_t GetFilePointer() override { return m_File->Tell(); }
  std::unique_ptr<ArchiveMappingHandle> CreateMapping(uint64_t maximumSize) override;
  ArchiveView MapView(const ArchiveMappingHandle* mapping, uint64_t offset, size_t count) override;
  void UnmapView(ArchiveView view) override { view.reset(); }

 private:
  ComRef<IArchive> m_pArchive;
  std::u16string m_Name;
  std::unique_ptr<platform::File> m_File;
  uint64_t m_Base;
  uint64_t m_Size;
};

// The whole-member readers share their fields and the answer to QueryInterface.
class CWholeFileBase : public CComImpl<ICompressedFile> {
 public:
  CWholeFileBase(IArchiveFile* file, uint64_t size) : m_pFile(ComRef<IArchiveFile>::AddRefOf(file)), m_Size(size) {}
  HRESULT QueryInterface(const InterfaceId& id, void** out) override;
  uint64_t GetSize() override { return m_Size; }
  uint64_t GetStoredSize() override { return m_pFile->GetSize(); }

 protected:
  ComRef<IArchiveFile> m_pFile;
  uint64_t m_Size;
};

class CFlatFile final : public CWholeFileBase {
 public:
  using CWholeFileBase::CWholeFileBase;
  uint64_t Read(void* buffer) override;
};

class CZipFile final : public CWholeFileBase {
 public:
  using CWholeFileBase::CWholeFileBase;
  uint64_t Read(void* buffer) override;
};

class CEggFile final : public CWholeFileBase {
 public:
  using CWholeFileBase::CWholeFileBase;
  uint64_t Read(void* buffer) override;
};

class CMappingFile final : public CComImpl<IMappingFile> {
 public:
  explicit CMappingFile(IArchiveFile* file);
  HRESULT QueryInterface(const InterfaceId& id, void** out) override;
  uint64_t GetSize() override { return m_pFile->GetSize(); }
  const uint8_t* Map(uint64_t offset, uint32_t count) override;
  IMappingFile* Duplicate() override;

 private:
  ComRef<IArchiveFile> m_pFile;
  std::unique_ptr<ArchiveMappingHandle> m_hMap;
  uint64_t m_Base = 0;
  ArchiveView m_View;
};

// Opens a packed archive of a known version at a base offset; null when it cannot be read.
IArchive* OpenArchive5(std::u16string_view path, uint64_t base);
IArchive* OpenArchive6(std::u16string_view path, uint64_t base);
// A mapping over a file, taking its own reference (null file gives null).
IMappingFile* MakeMapping(IArchiveFile* file);

}  // namespace pux
