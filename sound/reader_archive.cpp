// The stream reader over a member of an archive.
#include <algorithm>

#include "archive/archive.h"
#include "lib/error.h"
#include "sound/reader.h"

namespace {

class CStreamArchiveReader final : public CComImpl<IStreamReader> {
 public:
  explicit CStreamArchiveReader(IArchive* archive) : m_Archive(archive->GetSelf()) {}

  HRESULT QueryInterface(const InterfaceId& id, void** out) override {
    if (!out) return E_INVALIDARG;
    if (id == IUnknown::kIid || id == IStreamReader::kIid) {
      AddRef();
      *out = static_cast<IStreamReader*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

  uint32_t Open(const char16_t* name) override {
    Close();
    if (!m_Archive || !name) return 0;
    if (m_Archive->IsCompressed(name)) {
      // The decoder reads the stored bytes; a packed member would play as noise.
      DebugPrintf(u"Sound member '%s' is stored compressed; streams must be stored\n", name);
      return 0;
    }
    m_Entry.Attach(m_Archive->OpenFile(name));
    return m_Entry ? 1 : 0;
  }

  uint32_t Close() override {
    m_Entry.Reset();
    m_PastEnd = -1;
    return 1;
  }

  uint32_t Read(void* buffer, uint32_t bytes) override {
    if (!m_Entry || !buffer || bytes == 0 || m_PastEnd >= 0) return 0;
    const int64_t pos = m_Entry->Tell();
    const uint64_t size = m_Entry->GetSize();
    if (pos < 0 || uint64_t(pos) >= size) return 0;
    const uint64_t count = std::min<uint64_t>(bytes, size - uint64_t(pos));
    return static_cast<uint32_t>(m_Entry->Read(buffer, count));
  }

  // Positions as on disk: the end origin is the byte after the last one, and positions at
  // or past the end are allowed (they read nothing).
  int64_t Seek(int64_t offset, uint32_t origin) override {
    if (!m_Entry) return -1;
    const int64_t size = static_cast<int64_t>(std::min<uint64_t>(m_Entry->GetSize(), INT64_MAX / 2));
    int64_t base;
    switch (origin) {
      case 0:
        base = 0;
        break;
      case 1:
        base = Tell();
        if (base < 0) return -1;
        break;
      case 2:
        base = size;
        break;
      default:
        return -1;
    }
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) return -1;
    const int64_t target = base + offset;
    if (target >= size) {
      m_PastEnd = target;
      return target;
    }
    const int64_t pos = m_Entry->Seek(target, 0);
    if (pos < 0) return -1;
    m_PastEnd = -1;
    return pos;
  }

  int64_t Tell() override {
    if (!m_Entry) return -1;
    return m_PastEnd >= 0 ? m_PastEnd : m_Entry->Tell();
  }

  uint64_t GetSize() override { return m_Entry ? m_Entry->GetSize() : 0; }

 private:
  ~CStreamArchiveReader() override { Close(); }

  ComRef<IArchive> m_Archive;
  ComRef<IArchiveFile> m_Entry;
  int64_t m_PastEnd = -1;  // a position at or past the end, which the entry itself refuses
};

}  // namespace

namespace Sound {
IStreamReader* CreateArchiveReader(IArchive* archive) {
  return archive ? new CStreamArchiveReader(archive) : nullptr;
}
}  // namespace Sound
