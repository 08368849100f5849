// Writes small seed inputs for the archive fuzz targets into <corpus>/archive5, archive6, lzss.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/lzss.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"

namespace {

std::vector<uint8_t> Text(size_t size, unsigned seed) {
  std::vector<uint8_t> out(size);
  unsigned x = seed;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = static_cast<uint8_t>("the quick brown fox jumps over a lazy dog\n"[(x >> 16) % 42]);
  }
  return out;
}

bool Save(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::u16string folder = platform::Utf8ToWide(dir);
  return platform::EnsureFolder(folder) &&
         platform::WriteWholeFileAtomic(folder + u"/" + platform::Utf8ToWide(name), bytes.data(), bytes.size());
}

std::vector<uint8_t> MakeArchive(pux::WriterOptions options, bool withNested) {
  pux::ArchiveWriter writer(options);
  std::string error;
  writer.AddFile(u"a.txt", Text(300, 1), true, error);
  writer.AddFile(u"DIR/a.txt", Text(1500, 2), true, error);
  writer.AddFile(u"dir/sub/x.bin", Text(40, 3), false, error);
  writer.AddFile(u"dir/empty", {}, true, error);
  if (withNested) {
    pux::ArchiveWriter inner(options);
    inner.AddFile(u"in.txt", Text(200, 4), true, error);
    std::vector<uint8_t> bytes;
    inner.Build(bytes, error);
    writer.AddFile(u"dir/inner.pux", bytes, false, error);
  }
  std::vector<uint8_t> out;
  writer.Build(out, error);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: archive_seeds <corpus folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  bool ok = true;
  ok &= Save(root + "/archive5", "plain.pux", MakeArchive({5, false, false}, true));
  ok &= Save(root + "/archive5", "scrambled.pux", MakeArchive({5, true, false}, false));
  ok &= Save(root + "/archive6", "zlib.pux", MakeArchive({6, false, false}, true));
  ok &= Save(root + "/archive6", "lzss.pux", MakeArchive({6, false, true}, true));
  ok &= Save(root + "/archive6", "scrambled.pux", MakeArchive({6, true, true}, false));
  for (unsigned i = 0; i < 3; ++i) {
    const std::vector<uint8_t> text = Text(200 + 700 * i, 10 + i);
    std::vector<uint8_t> seed{static_cast<uint8_t>(text.size()), static_cast<uint8_t>(text.size() >> 8)};
    const std::vector<uint8_t> packed = pux::EncodeLzss(text.data(), text.size());
    seed.insert(seed.end(), packed.begin(), packed.end());
    ok &= Save(root + "/lzss", "text" + std::to_string(i), seed);
  }
  if (!ok) std::fprintf(stderr, "archive_seeds: cannot write into %s\n", root.c_str());
  return ok ? 0 : 1;
}
