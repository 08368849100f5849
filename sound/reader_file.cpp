// The stream reader over a file of the file system.
#include "platform/files.h"
#include "sound/reader.h"

CStreamFileReader::CStreamFileReader() = default;
CStreamFileReader::~CStreamFileReader() = default;

HRESULT CStreamFileReader::QueryInterface(const InterfaceId& id, void** out) {
  if (!out) return E_INVALIDARG;
  if (id == IUnknown::kIid || id == IStreamReader::kIid) {
    AddRef();
    *out = static_cast<IStreamReader*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t CStreamFileReader::Open(const char16_t* name) {
  Close();
  if (!name) return 0;
  m_File = platform::File::OpenRead(name);
  if (!m_File) return 0;
  const int64_t size = m_File->Size();
  m_Size = size > 0 ? static_cast<uint64_t>(size) : 0;
  return 1;
}

uint32_t CStreamFileReader::Close() {
  m_File.reset();
  m_Size = 0;
  return 1;
}

uint32_t CStreamFileReader::Read(void* buffer, uint32_t bytes) {
  if (!m_File || !buffer || bytes == 0) return 0;
  const int64_t got = m_File->Read(buffer, bytes);
  return got > 0 ? static_cast<uint32_t>(got) : 0;
}

int64_t CStreamFileReader::Seek(int64_t offset, uint32_t origin) {
  if (!m_File || origin > 2) return -1;
  return m_File->Seek(offset, static_cast<platform::SeekOrigin>(origin));
}

int64_t CStreamFileReader::Tell() {
  return m_File ? m_File->Tell() : -1;
}

uint64_t CStreamFileReader::GetSize() {
  return m_Size;
}

namespace Sound {
CStreamFileReader* CreateFileReader() {
  return new CStreamFileReader();
}
}  // namespace Sound
