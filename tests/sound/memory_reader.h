// A stream reader over bytes in memory, with switches to make its seeks fail.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "sound/reader.h"

namespace sound_test {

class MemoryReader : public CComImpl<IStreamReader> {
 public:
  explicit MemoryReader(std::vector<uint8_t> bytes, bool seekFails = false)
      : m_Bytes(std::move(bytes)), m_SeekFails(seekFails) {}

  HRESULT QueryInterface(const InterfaceId&, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t Open(const char16_t*) override {
    m_Open = true;
    m_Pos = 0;
    return 1;
  }
  uint32_t Close() override {
    m_Open = false;
    return 1;
  }
  uint32_t Read(void* buffer, uint32_t bytes) override {
    if (!m_Open || m_Pos >= m_Bytes.size()) return 0;
    const size_t n = std::min<size_t>(bytes, m_Bytes.size() - m_Pos);
    std::memcpy(buffer, m_Bytes.data() + m_Pos, n);
    m_Pos += n;
    return static_cast<uint32_t>(n);
  }
  int64_t Seek(int64_t offset, uint32_t origin) override {
    if (!m_Open || m_SeekFails) return -1;
    const int64_t base = origin == 0 ? 0 : origin == 1 ? int64_t(m_Pos) : int64_t(m_Bytes.size());
    if (origin > 2 || base + offset < 0) return -1;
    m_Pos = static_cast<size_t>(base + offset);
    return int64_t(m_Pos);
  }
  int64_t Tell() override { return m_Open ? int64_t(m_Pos) : -1; }
  uint64_t GetSize() override { return m_Bytes.size(); }

 private:
  std::vector<uint8_t> m_Bytes;
  size_t m_Pos = 0;
  bool m_Open = false;
  bool m_SeekFails;
};

}  // namespace sound_test
