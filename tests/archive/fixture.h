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

// Names that no archive resolves, built around a good "folder/file" member path: empty
// components, "." and "..", a zero character, with either separator.
inline std::vector<std::u16string> UnusableNames(const std::u16string& folder, const std::u16string& file) {
  const std::u16string good = folder + u"/" + file;
  return {u"",
          u"/" + good,
          u"\\" + good,
          folder + u"//" + file,
          folder + u"\\\\" + file,
          good + u"/",
          folder + u"/",
          u"./" + good,
          folder + u"/./" + file,
          folder + u"/../" + good,
          folder + u"\\..\\" + folder + u"\\" + file,
          u"../" + good,
          folder + u"/..",
          u".",
          u"..",
          good + std::u16string(1, u'\0'),
          std::u16string(u"x") + u'\0' + u"/../" + good};
}

// Every lookup of the archive refuses the name.
inline void ExpectUnresolved(IArchive* archive, const std::u16string& name) {
  const std::string shown = platform::WideToUtf8(name);
  EXPECT_FALSE(archive->Exists(name)) << shown;
  EXPECT_FALSE(archive->IsCompressed(name)) << shown;
  EXPECT_FALSE(ComRef<IArchiveFile>(archive->OpenFile(name))) << shown;
  EXPECT_FALSE(ComRef<ICompressedFile>(archive->OpenCompressed(name))) << shown;
  EXPECT_FALSE(ComRef<IMappingFile>(archive->OpenMapping(name))) << shown;
  EXPECT_FALSE(ComRef<IArchive>(archive->OpenArchive(name))) << shown;
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
