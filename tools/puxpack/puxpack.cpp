// puxpack: the command-line archive packer (pack a folder, list an archive's tree).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_impl.h"
#include "archive/archive_writer.h"
#include "lib/utility.h"
#include "platform/files.h"
#include "platform/utf.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  puxpack pack [options] <folder> <out.pux>   pack a folder into an archive\n"
    "  puxpack list <archive>                      list an archive's members and nested archives\n"
    "  puxpack --help                              show this text\n"
    "\n"
    "pack options:\n"
    "  -v5 | -v6                 format version (default -v6)\n"
    "  -zlib | -lzss | -store    how members are compressed (default -zlib; -lzss needs -v6)\n"
    "  -scramble                 scramble the index\n"
    "  -raw NAME                 also store the folders named NAME uncompressed (may be repeated)\n"
    "  -verbose                  one line per member\n"
    "\n"
    "Folders named sound, bgm, voice and se are always stored uncompressed (their streams read them\n"
    "raw); *.pux members are stored so that they mount as nested archives. Names are written in\n"
    "Shift-JIS. An existing output file is replaced only when it is a regular file, and keeps its mode.\n"
    "\n"
    "examples:\n"
    "  puxpack pack script/data script.pux\n"
    "  puxpack pack -lzss -scramble -raw movie data/system system.pux\n"
    "  puxpack pack -v5 -store script/sound sound.pux\n"
    "  puxpack list script.pux\n";

void Usage(std::FILE* to) {
  std::fputs(kUsage, to);
}

bool IsHelp(const std::string& a) {
  return a == "--help" || a == "-h" || a == "-help";
}

int Pack(const std::vector<std::string>& args) {
  pux::PackOptions options;
  std::vector<std::string> positional;
  bool wantLzss = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsHelp(a)) {
      Usage(stdout);
      return 0;
    } else if (a == "-v5") {
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
    } else if (a == "-raw") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "puxpack: -raw needs a folder name after it\n");
        return 2;
      }
      options.rawFolders.push_back(platform::Utf8ToWide(args[++i]));
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "puxpack: unknown option %s\n", a.c_str());
      Usage(stderr);
      return 2;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) {
    Usage(stderr);
    return 2;
  }
  if (wantLzss && options.writer.version != 6) {
    std::fprintf(stderr, "puxpack: -lzss needs a version 6 archive\n");
    return 2;
  }
  options.writer.lzss = wantLzss && options.compress;
  // What stands at the output is checked before the packing, which may take long.
  const std::u16string out = platform::Utf8ToWide(positional[1]);
  const platform::PathKind standing = platform::GetPathKind(out, false);
  if (standing != platform::PathKind::Missing && standing != platform::PathKind::File) {
    std::fprintf(stderr, "puxpack: '%s': is %s; the archive is written only as a new or regular file\n",
                 positional[1].c_str(), platform::DescribePathKind(standing));
    return 1;
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!pux::PackFolder(platform::Utf8ToWide(positional[0]), options, bytes, error)) {
    std::fprintf(stderr, "puxpack: %s\n", error.c_str());
    return 1;
  }
  platform::WriteFailure failure;
  if (!platform::WriteWholeFileAtomic(out, bytes.data(), bytes.size(), &failure)) {
    std::fprintf(stderr, "puxpack: '%s': cannot be written: %s\n", positional[1].c_str(), failure.reason.c_str());
    return 1;
  }
  return 0;
}

// A listing stops once it has done this much work: nested archives that point at each other
// can otherwise multiply the members to list beyond any end (each nested archive lies further
// into the file than its parent, but several members may hold the same one).
constexpr uint64_t kMaxListedMembers = 1u << 18;
constexpr uint64_t kMaxNestedIndexBytes = 256u << 20;  // indexes read for nested archives
constexpr uint64_t kNestedOpenCost = 16u << 10;        // the least an open is charged
constexpr int kMaxNestingDepth = 8;

struct ListBudget {
  uint64_t members = kMaxListedMembers;
  uint64_t indexBytes = kMaxNestedIndexBytes;
};

constexpr int kNameColumns = 40;

// Lists one archive's files; false when the budget ran out.
bool ListTree(pux::CPackedArchive& archive, const std::u16string& indent, int depth, ListBudget& budget) {
  const char* coding = archive.UsesLzss() ? "lzss" : "zlib";
  bool within = true;
  archive.ForEachFile([&](size_t index, const std::u16string& path) {
    if (!within) return;
    if (budget.members == 0) {
      within = false;
      return;
    }
    --budget.members;
    const pux::IndexEntry& e = archive.Entries()[index];
    // Padded by display width, so that the columns stay aligned under wide (Japanese) names.
    const std::u16string shown = indent + path;
    const int columns = GetDisplayWidth(shown.c_str());
    const std::string padding(static_cast<size_t>(std::max(0, kNameColumns - columns)), ' ');
    const bool compressed = e.count != 0;
    std::printf("%s%s %10llu stored %10llu bytes  %-5s at %llu\n", platform::WideToUtf8(shown).c_str(), padding.c_str(),
                static_cast<unsigned long long>(e.stored),
                static_cast<unsigned long long>(compressed ? e.count : e.stored), compressed ? coding : "store",
                static_cast<unsigned long long>(e.first) * pux::kSectorSize);
    const bool nested = path.size() > 4 && pux::NameEquals(std::u16string_view(path).substr(path.size() - 4), u".pux");
    if (!nested || depth >= kMaxNestingDepth) return;
    ComRef<IArchive> inner(archive.OpenNestedAt(index));
    auto* packed = dynamic_cast<pux::CPackedArchive*>(inner.Get());
    if (!packed) return;  // not an archive, or not one that can be mounted there
    const uint64_t cost = std::max(packed->IndexSize(), kNestedOpenCost);
    if (cost > budget.indexBytes) {
      within = false;
      return;
    }
    budget.indexBytes -= cost;
    within = ListTree(*packed, indent + u"  ", depth + 1, budget);
  });
  return within;
}

int List(const std::vector<std::string>& args) {
  if (args.size() == 1 && IsHelp(args[0])) {
    Usage(stdout);
    return 0;
  }
  if (args.size() != 1) {
    Usage(stderr);
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
  auto* packed = dynamic_cast<pux::CPackedArchive*>(archive.Get());
  if (!packed) {
    std::fprintf(stderr, "puxpack: '%s': the archive's index is damaged\n", args[0].c_str());
    return 1;
  }
  std::printf("%s: version %d%s\n", args[0].c_str(), header[1], (header[0] & 1) ? ", scrambled index" : "");
  ListBudget budget;
  if (!ListTree(*packed, u"", 0, budget)) {
    std::fflush(stdout);
    std::fprintf(stderr,
                 "puxpack: '%s': the listing stops here: its nested archives hold more than %llu members or "
                 "%llu MiB of indexes (members that hold the same nested archive again and again?)\n",
                 args[0].c_str(), static_cast<unsigned long long>(kMaxListedMembers),
                 static_cast<unsigned long long>(kMaxNestedIndexBytes >> 20));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  if (IsHelp(argv[1])) {
    Usage(stdout);
    return 0;
  }
  if (std::strcmp(argv[1], "pack") == 0) return Pack(args);
  if (std::strcmp(argv[1], "list") == 0) return List(args);
  std::fprintf(stderr, "puxpack: unknown command %s\n", argv[1]);
  Usage(stderr);
  return 2;
}
