// Shared helpers of the archive tests: a temporary folder, archive building and mounting.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_writer.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"

// Deterministic bytes that compress, but not trivially (words and pixel-like runs).
inline std::vector<uint8_t> MakeData(size_t size, uint32_t seed) {
  std::vector<uint8_t> out(size);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = (x >> 28) < 5 ? static_cast<uint8_t>(x >> 16) : static_cast<uint8_t>('a' + (i / 7 + (x >> 30)) % 26);
  }
  return out;
}

inline std::vector<uint8_t> Bytes(std::string_view s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override { m_Dir = platform::MakeTempFolder(u"varn-archive-") + u"/"; }
  void TearDown() override { platform::RemoveTree(m_Dir); }

  std::u16string Path(std::u16string_view name) const { return m_Dir + std::u16string(name); }

  std::u16string Write(std::u16string_view name, const std::vector<uint8_t>& bytes) const {
    const std::u16string path = Path(name);
    EXPECT_TRUE(platform::WriteWholeFileAtomic(path, bytes.data(), bytes.size())) << "writing the fixture";
    return path;
  }

  static std::vector<uint8_t> Build(const pux::ArchiveWriter& writer) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(writer.Build(out, error)) << error;
    return out;
  }

  // Reads a member whole; empty optional-like flag through ok.
  static std::vector<uint8_t> ReadMember(IArchive* archive, std::u16string_view name, bool* ok = nullptr) {
    uint32_t size = 0xDEAD;
    ArchiveBuffer buffer(static_cast<uint8_t*>(ReadArchiveFile(archive, name, nullptr, &size)));
    if (ok) *ok = buffer != nullptr;
    if (!buffer) return {};
    return std::vector<uint8_t>(buffer.get(), buffer.get() + size);
  }

  std::u16string m_Dir;
};
