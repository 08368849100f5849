// Shared body of the index fuzz targets: mounts the bytes, then looks up and reads every member.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_impl.h"
#include "platform/files.h"
#include "platform/utf.h"

namespace fuzz {

// One scratch file per process, removed at exit.
class ScratchFile {
 public:
  explicit ScratchFile(const char* tag) {
    const auto dir = std::filesystem::temp_directory_path();
    m_Path = (dir / ("varn_fuzz_" + std::string(tag) + "_" + std::to_string(std::random_device{}()) + ".pux")).string();
  }
  ~ScratchFile() {
    std::error_code ec;
    std::filesystem::remove(m_Path, ec);
  }
  std::u16string Write(const uint8_t* data, size_t size) {
    const std::u16string path = platform::Utf8ToWide(m_Path);
    auto file = platform::File::CreateWrite(path);
    if (file) file->Write(data, size);
    return path;
  }

 private:
  std::string m_Path;
};

inline void Exercise(IArchive* archive, int depth) {
  static const char16_t* kProbes[] = {u"a",   u"DIR/a.txt", u"dir\\sub/x.bin", u"/",  u"x/",       u"C:a",
                                      u"",    u"dir",       u"dir//sub",       u"..", u"../a.txt", u"dir/./sub/x.bin",
                                      u"C:/a"};
  for (const char16_t* probe : kProbes) {
    archive->Exists(probe);
    archive->IsCompressed(probe);
    ComRef<IArchiveFile>(archive->OpenFile(probe));
    ComRef<IArchive>(archive->OpenArchive(probe));
  }
  const ArchiveFileList list = archive->ListFiles();
  size_t nested = 0;
  for (const ArchiveFileRecord& r : list) {
    const std::u16string name(r.path);
    archive->Exists(name);
    archive->IsCompressed(name);
    uint32_t size = 0;
    std::free(ReadArchiveFile(archive, name, nullptr, &size));
    std::free(ReadArchiveTextFile(archive, name, nullptr, &size));
    if (ComRef<IArchiveFile> file{archive->OpenFile(name)}) {
      uint8_t chunk[64];
      file->Read(chunk, sizeof chunk);
      file->Seek(-1, 2);
      file->Seek(3, 1);
      file->Read(chunk, sizeof chunk);
      ComRef<IArchiveFile>(file->Duplicate());
    }
    if (ComRef<IMappingFile> map{archive->OpenMapping(name)}) {
      if (const uint8_t* p = map->Map(0, 0)) {
        volatile uint8_t sink = p[map->GetSize() - 1];
        (void)sink;
      }
    }
    // Nested archives always start further into the file than their parent, so a chain of them
    // ends; the depth bound only keeps one input's work small.
    if (depth < 3 && nested < 8) {
      ++nested;
      if (ComRef<IArchive> inner{archive->OpenArchive(name)}) Exercise(inner.Get(), depth + 1);
    }
  }
}

}  // namespace fuzz
