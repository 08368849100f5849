// The archive file system: the one header the engine includes to read its data.
//
// What it offers:
//   IArchive        an archive (a "pux" file of version 5 or 6, or a plain folder) that finds
//                   members by path ('/' or '\' separated, letters compared without case) and
//                   hands out readers for them.
//   IArchiveFile    a positioned window on one member's stored bytes (for streaming raw data).
//   ICompressedFile reads a whole member, decompressed, into the caller's buffer.
//   IMappingFile    a read-only memory mapping of a member.
//   OpenArchive (path), OpenDirArchive (folder): mount an archive.
//   ReadArchiveFile / ReadArchiveTextFile: read a whole member into a C-heap buffer
//                   (free it with std::free, or hold it in an ArchiveBuffer).
//   DecodeLzss:     the LZSS decoder of compressed version 6 members.
//
// Every object is reference counted: a function or slot that returns a new object gives the
// caller one reference (hold it in a ComRef<T>). A reader keeps its archive alive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "lib/combase.h"
#include "lib/utility.h"
#include "platform/files.h"

struct IArchiveFile;
struct ICompressedFile;
struct IMappingFile;

// One file of an archive as ListFiles reports it (536 bytes, as stored by older tools).
struct ArchiveFileRecord {
  char16_t path[260];   // directories joined with '/', zero-terminated
  uint64_t storedSize;  // bytes of the member in the archive
  uint64_t dataOffset;  // start sector * 2048, not counting the archive's base offset
};
static_assert(sizeof(ArchiveFileRecord) == 536);

using ArchiveFileList = std::vector<ArchiveFileRecord>;

// The archive file's mapping object, from which views are cut.
struct ArchiveMappingHandle {
  const platform::File* file = nullptr;
  uint64_t maximumSize = 0;  // 0 = the whole file
};
using ArchiveView = std::unique_ptr<platform::FileMapping>;

struct IArchive : IUnknown {
  static constexpr InterfaceId kIid{0x7a3c1e01, 0x5d21, 0x4b8e, {0x9a, 0x10, 0x2f, 0x61, 0x0c, 0x55, 0xe4, 0x01}};

  virtual bool Exists(std::u16string_view name) = 0;
  virtual IArchiveFile* OpenFile(std::u16string_view name) = 0;
  virtual IMappingFile* OpenMapping(std::u16string_view name) = 0;
  virtual IArchive* OpenArchive(std::u16string_view name) = 0;  // a nested archive member
  virtual ArchiveFileList ListFiles() = 0;
  virtual IArchive* GetSelf() = 0;  // itself after one AddRef
  virtual bool IsCompressed(std::u16string_view name) = 0;
  virtual ICompressedFile* OpenCompressed(std::u16string_view name) = 0;
};

struct IArchiveFile : IUnknown {
  static constexpr InterfaceId kIid{0x7a3c1e02, 0x5d21, 0x4b8e, {0x9a, 0x10, 0x2f, 0x61, 0x0c, 0x55, 0xe4, 0x02}};

  virtual uint64_t GetSize() = 0;                           // stored size of the member
  virtual int64_t Seek(int64_t offset, int origin) = 0;     // 0 begin, 1 current, 2 end (= last byte); -1 refused
  virtual int64_t Tell() = 0;                               // position inside the member, or -1
  virtual uint64_t Read(void* buffer, uint64_t count) = 0;  // bytes read, never past the member
  virtual IArchiveFile* Duplicate() = 0;                    // independent reader at the same position
  virtual platform::File* GetHandle() = 0;                  // the archive file (not owned by the caller)
  virtual int64_t GetFilePointer() = 0;                     // absolute position in the archive file
  virtual std::unique_ptr<ArchiveMappingHandle> CreateMapping(uint64_t maximumSize) = 0;
  // A view of count bytes at an absolute file offset (aligned to AllocationGranularity()).
  virtual ArchiveView MapView(const ArchiveMappingHandle* mapping, uint64_t offset, size_t count) = 0;
  virtual void UnmapView(ArchiveView view) = 0;
};

struct ICompressedFile : IUnknown {
  static constexpr InterfaceId kIid{0x7a3c1e03, 0x5d21, 0x4b8e, {0x9a, 0x10, 0x2f, 0x61, 0x0c, 0x55, 0xe4, 0x03}};

  virtual uint64_t GetSize() = 0;        // full (uncompressed) size
  virtual uint64_t GetStoredSize() = 0;  // size in the archive
  // Reads the whole member into buffer (room for GetSize() bytes). Returns the bytes produced;
  // 0 when the member is damaged. Never writes more than GetSize() bytes.
  virtual uint64_t Read(void* buffer) = 0;
};

struct IMappingFile : IUnknown {
  static constexpr InterfaceId kIid{0x7a3c1e04, 0x5d21, 0x4b8e, {0x9a, 0x10, 0x2f, 0x61, 0x0c, 0x55, 0xe4, 0x04}};

  virtual uint64_t GetSize() = 0;
  // Pointer to the member's byte at offset, count bytes valid (0 = to the end); null when the
  // range leaves the member or cannot be mapped. Invalidates the previous Map's pointer.
  virtual const uint8_t* Map(uint64_t offset, uint32_t count) = 0;
  virtual IMappingFile* Duplicate() = 0;
};

// Mounts a "pux" archive by its version byte (5 or 6); null when it cannot be read.
IArchive* OpenArchive(std::u16string_view path);
// Mounts a folder; null when it does not exist.
IArchive* OpenDirArchive(std::u16string_view folder);

// Reads a whole member. With buffer null a C-heap buffer of the member's size is allocated
// (the caller frees it with std::free). Null when the member is absent, damaged or reads short.
void* ReadArchiveFile(IArchive* archive, std::u16string_view name, void* buffer, uint32_t* size);
// The same with one zero byte after the text (an own buffer needs the size + 1 bytes).
void* ReadArchiveTextFile(IArchive* archive, std::u16string_view name, void* buffer, uint32_t* size);

// Holder for a buffer from ReadArchiveFile / ReadArchiveTextFile.
using ArchiveBuffer = CHeapBuffer;

// Expands an LZSS stream into dest, writing at most destSize bytes. Returns the bytes written;
// *overflow (when given) is set when the stream holds more than destSize bytes.
size_t DecodeLzss(uint8_t* dest, size_t destSize, const uint8_t* source, size_t sourceSize, bool* overflow = nullptr);
