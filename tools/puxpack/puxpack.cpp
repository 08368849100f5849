// puxpack: the command-line archive packer (pack a folder, list an archive's tree).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_writer.h"
#include "platform/files.h"
#include "platform/utf.h"

namespace {

void Usage() {
  std::fprintf(
      stderr,
      "usage:\n"
      "  puxpack pack [-v5|-v6] [-zlib|-lzss|-store] [-scramble] [-raw NAME]... [-verbose] <folder> <out.pux>\n"
      "  puxpack list <archive>\n"
      "\n"
      "pack: version 6 and zlib unless told otherwise (-lzss needs -v6). Folders named sound, bgm,\n"
      "voice and se (and each -raw NAME) are stored uncompressed; *.pux members are stored so that\n"
      "they mount as nested archives. Names are written in Shift-JIS.\n");
}

int Pack(const std::vector<std::string>& args) {
  pux::PackOptions options;
  std::vector<std::string> positional;
  bool wantLzss = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-v5") {
      options.writer.version = 5;
    } else if (a == "-v6") {
      options.writer.version = 6;
    } else if (a == "-zlib" || a == "-z") {
      options.compress = true;
      wantLzss = false;
    } else if (a == "-lzss") {
      options.compress = true;
      wantLzss = true;
    } else if (a == "-store") {
      options.compress = false;
    } else if (a == "-scramble") {
      options.writer.scramble = true;
    } else if (a == "-verbose") {
      options.verbose = true;
    } else if (a == "-raw" && i + 1 < args.size()) {
      options.rawFolders.push_back(platform::Utf8ToWide(args[++i]));
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "puxpack: unknown option %s\n", a.c_str());
      Usage();
      return 2;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) {
    Usage();
    return 2;
  }
  if (wantLzss && options.writer.version != 6) {
    std::fprintf(stderr, "puxpack: -lzss needs a version 6 archive\n");
    return 2;
  }
  options.writer.lzss = wantLzss && options.compress;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!pux::PackFolder(platform::Utf8ToWide(positional[0]), options, bytes, error)) {
    std::fprintf(stderr, "puxpack: %s\n", error.c_str());
    return 1;
  }
  if (!platform::WriteWholeFileAtomic(platform::Utf8ToWide(positional[1]), bytes.data(), bytes.size())) {
    std::fprintf(stderr, "puxpack: '%s': cannot be written\n", positional[1].c_str());
    return 1;
  }
  return 0;
}

// The coding of an archive's compressed members, from its two header bytes.
const char* CodingOf(const uint8_t header[2]) {
  return header[1] == 6 && (header[0] & 2) ? "lzss" : "zlib";
}

void ListTree(IArchive* archive, const char* coding, const std::string& indent, int depth) {
  for (const ArchiveFileRecord& r : archive->ListFiles()) {
    const std::u16string path(r.path);
    const std::string name = platform::WideToUtf8(path);
    uint64_t full = r.storedSize;
    const bool compressed = archive->IsCompressed(path);
    if (ComRef<ICompressedFile> reader{archive->OpenCompressed(path)}) full = reader->GetSize();
    std::printf("%s%-40s %10llu stored %10llu bytes  %-5s at %llu\n", indent.c_str(), name.c_str(),
                static_cast<unsigned long long>(r.storedSize), static_cast<unsigned long long>(full),
                compressed ? coding : "store", static_cast<unsigned long long>(r.dataOffset));
    const bool nested =
        path.size() > 4 && (path.substr(path.size() - 4) == u".pux" || path.substr(path.size() - 4) == u".PUX");
    if (nested && depth < 8) {
      // A nested archive has a header of its own, so its members' coding may differ.
      uint8_t header[2] = {};
      ComRef<IArchiveFile> member(archive->OpenFile(path));
      ComRef<IArchive> inner(archive->OpenArchive(path));
      if (member && inner && member->Read(header, 2) == 2)
        ListTree(inner.Get(), CodingOf(header), indent + "  ", depth + 1);
    }
  }
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    Usage();
    return 2;
  }
  const std::u16string path = platform::Utf8ToWide(args[0]);
  auto file = platform::File::OpenRead(path);
  uint8_t header[2] = {};
  if (!file || file->ReadAt(0, header, 2) != 2) {
    std::fprintf(stderr, "puxpack: '%s': cannot be read\n", args[0].c_str());
    return 1;
  }
  file.reset();
  if (header[1] != 5 && header[1] != 6) {
    std::fprintf(stderr, "puxpack: '%s': not a pux archive (version byte %d)\n", args[0].c_str(), header[1]);
    return 1;
  }
  ComRef<IArchive> archive(OpenArchive(path));
  if (!archive) {
    std::fprintf(stderr, "puxpack: '%s': the archive's index is damaged\n", args[0].c_str());
    return 1;
  }
  const char* coding = CodingOf(header);
  std::printf("%s: version %d%s\n", args[0].c_str(), header[1], (header[0] & 1) ? ", scrambled index" : "");
  ListTree(archive.Get(), coding, "", 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage();
    return 2;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  if (std::strcmp(argv[1], "pack") == 0) return Pack(args);
  if (std::strcmp(argv[1], "list") == 0) return List(args);
  Usage();
  return 2;
}
