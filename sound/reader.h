// Stream readers: the encoded bytes of a stream, from a file on disk or from an archive member.
#pragma once

#include <cstdint>
#include <memory>

#include "lib/combase.h"

struct IArchive;
struct IArchiveFile;

namespace platform {
class File;
}

struct IStreamReader : IUnknown {
  static constexpr InterfaceId kIid{0x6d1f0a41, 0x2c3b, 0x4e58, {0x9a, 0x11, 0x52, 0x7e, 0x03, 0xc4, 0x88, 0x21}};
  virtual uint32_t Open(const char16_t* name) = 0;          // 1 opened, 0 not
  virtual uint32_t Close() = 0;                             // always 1
  virtual uint32_t Read(void* buffer, uint32_t bytes) = 0;  // bytes read; 0 at the end or on failure
  // The new position, or -1 when the seek fails (origin 0 start, 1 current, 2 end).
  virtual int64_t Seek(int64_t offset, uint32_t origin) = 0;
  virtual int64_t Tell() = 0;
  virtual uint64_t GetSize() = 0;
};

// Reads a file of the file system.
class CStreamFileReader : public CComImpl<IStreamReader> {
 public:
  CStreamFileReader();
  HRESULT QueryInterface(const InterfaceId& id, void** out) override;
  uint32_t Open(const char16_t* name) override;
  uint32_t Close() override;
  uint32_t Read(void* buffer, uint32_t bytes) override;
  int64_t Seek(int64_t offset, uint32_t origin) override;
  int64_t Tell() override;
  uint64_t GetSize() override;

 protected:
  ~CStreamFileReader() override;

 private:
  std::unique_ptr<platform::File> m_File;
  uint64_t m_Size = 0;
};

namespace Sound {
CStreamFileReader* CreateFileReader();
IStreamReader* CreateArchiveReader(IArchive* archive);
}  // namespace Sound
