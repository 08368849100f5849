// The member readers: the positioned window on the archive file, the whole-member readers
// (stored, zlib, LZSS) and the read-only mapping.
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "archive/archive_impl.h"

namespace pux {

uint64_t StoredBytesPresent(IArchiveFile* file) {
  platform::File* handle = file->GetHandle();
  if (!handle) return file->GetSize();
  const int64_t fileSize = handle->Size();
  const int64_t pointer = file->GetFilePointer();
  const int64_t position = file->Tell();
  if (fileSize < 0 || pointer < 0 || position < 0 || pointer < position) return 0;
  const uint64_t base = static_cast<uint64_t>(pointer - position);
  if (base >= static_cast<uint64_t>(fileSize)) return 0;
  return std::min<uint64_t>(file->GetSize(), static_cast<uint64_t>(fileSize) - base);
}

// ---- CArchiveFile

CArchiveFile::CArchiveFile(std::u16string_view name, IArchive* archive, std::unique_ptr<platform::File> file,
                           uint64_t base, uint64_t size)
    : m_pArchive(ComRef<IArchive>::AddRefOf(archive)),
      m_Name(name),
      m_File(std::move(file)),
      m_Base(base),
      m_Size(size) {}

HRESULT CArchiveFile::QueryInterface(const InterfaceId& id, void** out) {
  if (out && id == IArchive::kIid && m_pArchive) {
    m_pArchive->AddRef();
    *out = m_pArchive.Get();
    return S_OK;
  }
  return AnswerSelf<IArchiveFile>(this, id, out);
}

int64_t CArchiveFile::Seek(int64_t offset, int origin) {
  int64_t target;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1: {
      const int64_t now = Tell();
      // An offset that would carry the target past the 64-bit range is refused, not wrapped.
      if (now < 0 || __builtin_add_overflow(now, offset, &target)) return -1;
      break;
    }
    case 2:  // the end origin addresses the last byte, not the one after it
      if (__builtin_add_overflow(static_cast<int64_t>(m_Size) - 1, offset, &target)) return -1;
      break;
    default:
      return -1;
  }
  // Targets before the member's start are refused like those past its end.
  if (target < 0 || static_cast<uint64_t>(target) >= m_Size) return -1;
  const int64_t pos = m_File->Seek(static_cast<int64_t>(m_Base) + target, platform::SeekOrigin::Begin);
  if (pos < 0) return -1;
  return pos - static_cast<int64_t>(m_Base);
}

int64_t CArchiveFile::Tell() {
  const int64_t pos = m_File->Tell();
  if (pos < 0) return -1;
  return pos - static_cast<int64_t>(m_Base);
}

uint64_t CArchiveFile::Read(void* buffer, uint64_t count) {
  const int64_t now = Tell();
  if (now < 0 || static_cast<uint64_t>(now) >= m_Size) return 0;
  count = std::min<uint64_t>(count, m_Size - static_cast<uint64_t>(now));
  const int64_t got = m_File->Read(buffer, static_cast<size_t>(count));
  return got < 0 ? 0 : static_cast<uint64_t>(got);
}

IArchiveFile* CArchiveFile::Duplicate() {
  if (!m_pArchive) return nullptr;
  IArchiveFile* copy = m_pArchive->OpenFile(m_Name);
  if (!copy) return nullptr;
  // Placed by the absolute position, so a reader standing at the member's end is copied there too.
  const int64_t pointer = m_File->Tell();
  if (pointer >= 0 && copy->GetHandle()) copy->GetHandle()->Seek(pointer, platform::SeekOrigin::Begin);
  return copy;
}

std::unique_ptr<ArchiveMappingHandle> CArchiveFile::CreateMapping(uint64_t maximumSize) {
  auto mapping = std::make_unique<ArchiveMappingHandle>();
  mapping->file = m_File.get();
  mapping->maximumSize = maximumSize;
  return mapping;
}

ArchiveView CArchiveFile::MapView(const ArchiveMappingHandle* mapping, uint64_t offset, size_t count) {
  if (!mapping || !mapping->file) return nullptr;
  if (mapping->maximumSize != 0 && (offset > mapping->maximumSize || count > mapping->maximumSize - offset))
    return nullptr;
  return platform::FileMapping::Map(*mapping->file, offset, count);
}

// ---- whole-member readers

HRESULT CWholeFileBase::QueryInterface(const InterfaceId& id, void** out) {
  if (out && id == IArchiveFile::kIid && m_pFile) {
    m_pFile->AddRef();
    *out = m_pFile.Get();
    return S_OK;
  }
  return AnswerSelf<ICompressedFile>(this, id, out);
}

uint64_t CFlatFile::Read(void* buffer) {
  m_pFile->Seek(0, 0);
  // The bytes really read: an archive file that ends inside the member reads short.
  return m_pFile->Read(buffer, std::min<uint64_t>(m_Size, m_pFile->GetSize()));
}

namespace {

// A scratch buffer left uninitialised: it is always filled by a read before use.
using Scratch = std::unique_ptr<uint8_t[]>;

// Reads the member's whole stored data, or fails when the archive file holds less.
bool ReadStored(IArchiveFile* file, Scratch& data) {
  const uint64_t stored = file->GetSize();
  if (StoredBytesPresent(file) < stored) return false;
  data.reset(new uint8_t[static_cast<size_t>(stored) + 1]);
  file->Seek(0, 0);
  return file->Read(data.get(), stored) == stored;
}

struct InflateGuard {
  z_stream* stream;
  ~InflateGuard() { inflateEnd(stream); }
};

}  // namespace

uint64_t CZipFile::Read(void* buffer) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  const uint64_t stored = m_pFile->GetSize();
  if (m_Size > 0xFFFFFFFFu || stored > 0xFFFFFFFFu) return 0;
  z_stream zs{};
  if (stored < kZipStreamThreshold) {
    // Small members: one read, one inflate call.
    Scratch in;
    if (!ReadStored(m_pFile.Get(), in)) return 0;
    if (inflateInit(&zs) != Z_OK) return 0;
    InflateGuard guard{&zs};
    zs.next_in = in.get();
    zs.avail_in = static_cast<uInt>(stored);
    zs.next_out = out;
    zs.avail_out = static_cast<uInt>(m_Size);
    // Only a stream that ends, and ends exactly at the declared size, is whole: output filled
    // before the end means the data encodes more, an early end that it encodes less.
    if (inflate(&zs, Z_NO_FLUSH) != Z_STREAM_END || zs.total_out != m_Size) return 0;
    return zs.total_out;
  }
  // Large members stream through a fixed input buffer. The output gets all the member's room at
  // once (never more): slicing it changes nothing in the result and costs speed.
  if (StoredBytesPresent(m_pFile.Get()) < stored) return 0;
  Scratch in(new uint8_t[kZipStreamThreshold]);
  m_pFile->Seek(0, 0);
  if (inflateInit(&zs) != Z_OK) return 0;
  InflateGuard guard{&zs};
  uint64_t produced = 0;
  for (;;) {
    if (zs.avail_in == 0) {
      const uint64_t got = m_pFile->Read(in.get(), kZipStreamThreshold);
      if (got == 0) return 0;  // the stream did not end inside the member
      zs.next_in = in.get();
      zs.avail_in = static_cast<uInt>(got);
    }
    const uint64_t room = m_Size - produced;
    zs.next_out = out + produced;
    zs.avail_out = static_cast<uInt>(room);
    const int ret = inflate(&zs, Z_NO_FLUSH);
    produced = zs.total_out;
    if (ret == Z_STREAM_END) return produced == m_Size ? produced : 0;  // an early end is damage too
    if (ret == Z_OK) continue;
    if (ret == Z_BUF_ERROR && zs.avail_in == 0) continue;  // wants more input
    return 0;                                              // damaged data, or more output than the member's size
  }
}

uint64_t CEggFile::Read(void* buffer) {
  Scratch in;
  if (!ReadStored(m_pFile.Get(), in)) return 0;
  bool overflow = false;
  const size_t produced = DecodeLzss(static_cast<uint8_t*>(buffer), static_cast<size_t>(m_Size), in.get(),
                                     static_cast<size_t>(m_pFile->GetSize()), &overflow);
  // A stream that encodes more or less than the declared size is damaged.
  return overflow || produced != m_Size ? 0 : produced;
}

// ---- CMappingFile

CMappingFile::CMappingFile(IArchiveFile* file) : m_pFile(ComRef<IArchiveFile>::AddRefOf(file)) {
  m_pFile->Seek(0, 0);
  // Pointer minus position is the member's start even when the member is empty (no seek there).
  m_Base = static_cast<uint64_t>(m_pFile->GetFilePointer() - std::max<int64_t>(m_pFile->Tell(), 0));
  m_hMap = m_pFile->CreateMapping(0);
}

HRESULT CMappingFile::QueryInterface(const InterfaceId& id, void** out) {
  if (out && id == IArchiveFile::kIid && m_pFile) {
    m_pFile->AddRef();
    *out = m_pFile.Get();
    return S_OK;
  }
  return AnswerSelf<IMappingFile>(this, id, out);
}

const uint8_t* CMappingFile::Map(uint64_t offset, uint32_t count) {
  if (m_View) m_pFile->UnmapView(std::move(m_View));
  m_View.reset();
  const uint64_t size = GetSize();
  if (offset > size) return nullptr;
  uint64_t length = count == 0 ? size - offset : count;
  if (length > size - offset || length == 0) return nullptr;  // stays inside the member
  if (!m_pFile->GetHandle()) {
    m_View = m_pFile->MapView(nullptr, offset, static_cast<size_t>(length));
    return m_View ? m_View->Data() : nullptr;
  }
  if (!m_hMap) {
    platform::ReportAssertion("m_hMap!=NULL", "archive", 566);
    return nullptr;
  }
  const uint64_t granularity = platform::AllocationGranularity();
  const uint64_t absolute = m_Base + offset;
  const uint64_t aligned = absolute - absolute % granularity;
  const uint64_t delta = absolute - aligned;
  m_View = m_pFile->MapView(m_hMap.get(), aligned, static_cast<size_t>(length + delta));
  return m_View ? m_View->Data() + delta : nullptr;
}

IMappingFile* CMappingFile::Duplicate() {
  ComRef<IArchiveFile> copy(m_pFile->Duplicate());
  if (!copy) return nullptr;
  return new CMappingFile(copy.Get());
}

IMappingFile* MakeMapping(IArchiveFile* file) {
  return file ? new CMappingFile(file) : nullptr;
}

}  // namespace pux
