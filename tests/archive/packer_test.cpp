// Packing folders: sound folders and nested archives stored, names refused with the file named,
// and the puxpack tool's packing, listing and errors.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "fixture.h"
#include "lib/utility.h"

namespace {

class Packer : public TempDir {
 protected:
  void SetUp() override {
    TempDir::SetUp();
    ASSERT_TRUE(platform::EnsureFolder(Path(u"src/Voice/ch1")));
    ASSERT_TRUE(platform::EnsureFolder(Path(u"src/scripts")));
    m_Script = MakeData(40000, 21);
    m_Voice = MakeData(40000, 22);
    Write(u"src/scripts/_start.txt", m_Script);
    Write(u"src/Voice/ch1/v001.ogg", m_Voice);
    Write(u"src/empty.txt", {});
  }
  std::vector<uint8_t> m_Script, m_Voice;
};

TEST_F(Packer, SoundIsStoredAndNestedArchivesMount) {
  pux::PackOptions options;
  std::vector<uint8_t> inner, outer;
  std::string error;
  ASSERT_TRUE(pux::PackFolder(Path(u"src"), options, inner, error)) << error;
  Write(u"src/scripts/inner.pux", inner);
  ASSERT_TRUE(pux::PackFolder(Path(u"src/"), options, outer, error)) << error;
  ComRef<IArchive> archive(OpenArchive(Write(u"out.pux", outer)));
  ASSERT_TRUE(archive);
  EXPECT_TRUE(archive->IsCompressed(u"scripts/_start.txt"));
  EXPECT_FALSE(archive->IsCompressed(u"voice/CH1/v001.ogg")) << "sound is read raw";
  EXPECT_FALSE(archive->IsCompressed(u"scripts/inner.pux"));
  EXPECT_EQ(ReadMember(archive.Get(), u"scripts/_start.txt"), m_Script);
  ComRef<IArchive> nested(archive->OpenArchive(u"scripts/inner.pux"));
  ASSERT_TRUE(nested);
  EXPECT_EQ(ReadMember(nested.Get(), u"Voice/ch1/v001.ogg"), m_Voice);
}

TEST_F(Packer, RefusesNamesWithTheFileNamed) {
  Write(u"src/scripts/a name.txt", {1});
  pux::PackOptions options;
  options.writer.version = 5;
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(pux::PackFolder(Path(u"src"), options, out, error));
  EXPECT_NE(error.find("scripts/a name.txt"), std::string::npos) << error;
  EXPECT_FALSE(pux::PackFolder(Path(u"missing"), options, out, error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST_F(Packer, RefusesAPipeInsteadOfWaitingOnIt) {
  const std::string fifo = platform::WideToUtf8(Path(u"src/scripts/pipe"));
  ASSERT_EQ(std::system(("mkfifo '" + fifo + "'").c_str()), 0) << "making the pipe";
  pux::PackOptions options;
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(pux::PackFolder(Path(u"src"), options, out, error));
  EXPECT_NE(error.find("scripts/pipe"), std::string::npos) << error;
  EXPECT_NE(error.find("a named pipe"), std::string::npos) << error;
}

TEST_F(Packer, RefusesWhatCannotBecomeAMemberWithTheFileNamed) {
  namespace fs = std::filesystem;
  struct Case {
    const char* what;
    std::function<void(const fs::path& folder, std::error_code& ec)> make;  // sets ec when it cannot
    const char* says;
  };
  // A file of the size given (sparse: nothing is written).
  auto file = [](const fs::path& path, uintmax_t size, std::error_code& ec) {
    std::ofstream{path};
    fs::resize_file(path, size, ec);
  };
  const Case cases[] = {
      {"a file named ..\\..\\evil.txt", [&](const fs::path& f, auto& ec) { file(f / "..\\..\\evil.txt", 1, ec); },
       "backslash"},
      {"a folder named with a backslash", [](const fs::path& f, auto& ec) { fs::create_directory(f / "a\\b", ec); },
       "backslash"},
      {"a link to itself", [](const fs::path& f, auto& ec) { fs::create_symlink("loop", f / "loop", ec); },
       "a symbolic-link loop"},
      {"a link to nothing", [](const fs::path& f, auto& ec) { fs::create_symlink("missing", f / "dangling", ec); },
       "a symbolic link to nothing"},
      // Refused by its size without being read (reading it would take 64 GiB).
      {"a 64 GiB file", [&](const fs::path& f, auto& ec) { file(f / "huge.bin", 64ull << 30, ec); },
       "larger than 4 GiB"},
      {"a path longer than a lookup takes",
       [&](const fs::path& f, auto& ec) {
         if (fs::create_directory(f / std::string(250, 'd'), ec))
           file(f / std::string(250, 'd') / "a-longer-name.txt", 1, ec);
       },
       "too long"},
  };
  int made = 0;
  for (const Case& c : cases) {
    const fs::path folder = platform::HostPath(Path(u"bad" + platform::Utf8ToWide(std::to_string(made++))));
    std::error_code ec;
    fs::create_directory(folder, ec);
    ASSERT_FALSE(ec) << c.what;
    std::ofstream(folder / "fine.txt") << "fine";
    c.make(folder, ec);
    if (ec) {
      ADD_FAILURE() << c.what << ": the fixture cannot be made here: " << ec.message();
      continue;
    }
    pux::PackOptions options;
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(pux::PackFolder(platform::Utf8ToWide(folder.string()), options, out, error)) << c.what;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(folder.string()), std::string::npos) << c.what << ": the file is named: " << error;
  }
}

#ifdef PUXPACK_PATH
class Tool : public Packer {
 protected:
  // Runs puxpack; returns its output (stdout and stderr) and its exit code.
  std::string RunTool(const std::string& args, int* code) {
    const std::u16string log = Path(u"tool.log");
    const std::string command = std::string(PUXPACK_PATH) + " " + args + " >" + platform::WideToUtf8(log) + " 2>&1";
    const int status = std::system(command.c_str());
    *code = status == -1 ? -1 : (status >> 8) & 0xFF;  // the wait status holds the exit code
    std::vector<uint8_t> output;
    platform::ReadWholeFile(log, output);
    return std::string(output.begin(), output.end());
  }
};

TEST_F(Tool, PacksListsAndReportsErrors) {
  const std::string src = platform::WideToUtf8(Path(u"src"));
  const std::string out = platform::WideToUtf8(Path(u"tool.pux"));
  int code = -1;
  RunTool("pack -v6 -lzss -scramble " + src + " " + out, &code);
  ASSERT_EQ(code, 0);
  ComRef<IArchive> archive(OpenArchive(Path(u"tool.pux")));
  ASSERT_TRUE(archive);
  EXPECT_EQ(ReadMember(archive.Get(), u"scripts/_start.txt"), m_Script);
  const std::string listing = RunTool("list " + out, &code);
  EXPECT_EQ(code, 0);
  EXPECT_NE(listing.find("scripts/_start.txt"), std::string::npos) << listing;
  EXPECT_NE(listing.find("lzss"), std::string::npos) << listing;
  EXPECT_NE(listing.find("Voice/ch1/v001.ogg"), std::string::npos) << listing;

  RunTool("pack -v9 " + src + " " + out, &code);
  EXPECT_EQ(code, 2) << "an unknown option prints the usage";
  RunTool("pack", &code);
  EXPECT_EQ(code, 2);
  const std::string damaged = RunTool("list " + platform::WideToUtf8(Path(u"src/empty.txt")), &code);
  EXPECT_EQ(code, 1);
  EXPECT_NE(damaged.find("empty.txt"), std::string::npos) << damaged;
}

TEST_F(Tool, RefusesBadArgumentsAndOutputsWithTheReason) {
  const std::string src = platform::WideToUtf8(Path(u"src"));
  const std::string folderOut = platform::WideToUtf8(Path(u"src/scripts"));
  const std::string target = platform::WideToUtf8(Write(u"target.txt", Bytes("kept")));
  const std::string link = platform::WideToUtf8(Path(u"link.pux"));
  const std::string fifo = platform::WideToUtf8(Path(u"fifo.pux"));
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string args;
    int code;
    const char* says;
  };
  const Case cases[] = {
      {"--help", 0, "examples:"},
      {"pack --help", 0, "usage:"},
      {"list -h", 0, "usage:"},
      {"pack " + src + " -raw", 2, "-raw needs a folder name"},
      {"pack " + src + " " + folderOut, 1, "is a folder"},
      {"pack " + src + " " + link, 1, "is a symbolic link"},
      {"pack " + src + " " + fifo, 1, "is a named pipe"},
      {"pack -v9 " + src + " out.pux", 2, "unknown option -v9"},
      {"pack -v5 -lzss " + src + " out.pux", 2, "-lzss needs a version 6"},
      {"pack", 2, "usage:"},
      {"pack " + platform::WideToUtf8(Path(u"missing")) + " out.pux", 1, "not a folder"},
      {"list " + platform::WideToUtf8(Path(u"src/empty.txt")), 1, "empty.txt"},
      {"list " + platform::WideToUtf8(Path(u"missing.pux")), 1, "cannot be read"},
      {"frob", 2, "unknown command frob"},
  };
  for (const Case& c : cases) {
    int code = -1;
    const std::string output = RunTool(c.args, &code);
    EXPECT_EQ(code, c.code) << c.args << "\n" << output;
    EXPECT_NE(output.find(c.says), std::string::npos) << c.args << "\n" << output;
  }
  // What stood at the refused outputs is left as it was.
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  std::vector<uint8_t> kept;
  ASSERT_TRUE(platform::ReadWholeFile(platform::Utf8ToWide(target), kept));
  EXPECT_EQ(kept, Bytes("kept"));
}

TEST_F(Tool, ReplacesARegularOutputKeepingItsModeAndTakesLongNames) {
  const std::string src = platform::WideToUtf8(Path(u"src"));
  const std::string out = platform::WideToUtf8(Write(u"old.pux", Bytes("old")));
  ASSERT_EQ(::chmod(out.c_str(), 0640), 0);
  int code = -1;
  RunTool("pack " + src + " " + out, &code);
  ASSERT_EQ(code, 0);
  struct stat st {};
  ASSERT_EQ(::stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ComRef<IArchive> archive(OpenArchive(platform::Utf8ToWide(out)));
  ASSERT_TRUE(archive);
  EXPECT_EQ(ReadMember(archive.Get(), u"scripts/_start.txt"), m_Script);
  // Names that use up to all of a file name's 255 bytes (the temporary name must not grow them).
  for (size_t length : {246, 250, 255}) {
    const std::string name = platform::WideToUtf8(Path(std::u16string(length - 4, u'n') + u".pux"));
    const std::string output = RunTool("pack " + src + " " + name, &code);
    EXPECT_EQ(code, 0) << length << " bytes: " << output;
    EXPECT_TRUE(platform::IsRegularFile(platform::Utf8ToWide(name))) << length << " bytes";
  }
  // Nothing but the outputs is left in the folder (no temporary files).
  size_t files = 0;
  for (const platform::DirEntry& e : platform::ListDirectory(m_Dir)) files += e.isDirectory ? 0 : 1;
  EXPECT_EQ(files, 4u + 1u) << "old.pux, three long names and the tool's log";
}

TEST_F(Tool, ListingColumnsAlignByDisplayWidth) {
  Write(u"src/テーマ曲.txt", Bytes("wide"));
  Write(u"src/ｱｲｳｴｵ.txt", Bytes("half-width katakana, one column each"));
  ASSERT_TRUE(platform::EnsureFolder(Path(u"src/音")));
  Write(u"src/音/楽.txt", Bytes("wide folder"));
  const std::string out = platform::WideToUtf8(Path(u"jp.pux"));
  int code = -1;
  RunTool("pack " + platform::WideToUtf8(Path(u"src")) + " " + out, &code);
  ASSERT_EQ(code, 0);
  const std::string listing = RunTool("list " + out, &code);
  ASSERT_EQ(code, 0);
  std::vector<int> columns;
  size_t at = 0;
  while ((at = listing.find(" stored", at)) != std::string::npos) {
    const size_t start = listing.rfind('\n', at) + 1;
    const std::u16string before = platform::Utf8ToWide(listing.substr(start, at - start));
    columns.push_back(GetDisplayWidth(before.c_str()));
    ++at;
  }
  ASSERT_EQ(columns.size(), 6u) << listing;
  for (int c : columns) EXPECT_EQ(c, columns[0]) << listing;
}

// An archive of eight members "a.pux" to "h.pux" whose data all start at the same sector.
std::vector<uint8_t> EightNestedAt(uint32_t sector) {
  pux::ArchiveWriter writer({6, false, false});
  std::string error;
  for (char c = 'a'; c < 'i'; ++c) writer.AddEncoded(std::u16string(1, c) + u".pux", {0}, 0, error);
  std::vector<uint8_t> bytes;
  writer.Build(bytes, error);
  for (size_t entry = 1; entry <= 8; ++entry)
    for (int i = 0; i < 4; ++i) bytes[8 + 16 * entry + 4 + i] = static_cast<uint8_t>(sector >> (8 * i));
  return bytes;
}

TEST_F(Tool, ListingNestedArchivesThatRepeatEnds) {
  // Every member is the archive itself: refused as nested, so each is listed once.
  const std::string self = platform::WideToUtf8(Write(u"self.pux", EightNestedAt(0)));
  int code = -1;
  std::string listing = RunTool("list " + self, &code);
  EXPECT_EQ(code, 0) << listing;
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1 + 8) << listing;
  // Every sector the same index, every member one sector on: each member holds the next level,
  // eight times over. The listing stops at its budget and says so.
  const std::vector<uint8_t> one = EightNestedAt(1);
  std::vector<uint8_t> chain;
  for (int k = 0; k < 10; ++k) chain.insert(chain.end(), one.begin(), one.begin() + 2048);
  const std::string branching = platform::WideToUtf8(Write(u"branching.pux", chain));
  listing = RunTool("list " + branching, &code);
  EXPECT_EQ(code, 1);
  EXPECT_NE(listing.find("the listing stops"), std::string::npos) << listing.substr(listing.size() - 400);
  EXPECT_LT(std::count(listing.begin(), listing.end(), '\n'), 1 << 18);
}

TEST_F(Tool, ListsANestedArchiveWithItsOwnCoding) {
  const std::string src = platform::WideToUtf8(Path(u"src"));
  const std::string inner = platform::WideToUtf8(Path(u"src/scripts/inner.pux"));
  const std::string outer = platform::WideToUtf8(Path(u"outer.pux"));
  int code = -1;
  RunTool("pack -v6 -lzss " + src + " " + inner, &code);
  ASSERT_EQ(code, 0);
  RunTool("pack -v6 -zlib " + src + " " + outer, &code);
  ASSERT_EQ(code, 0);
  const std::string listing = RunTool("list " + outer, &code);
  ASSERT_EQ(code, 0);
  // The outer script line starts the line, the nested one is indented under inner.pux.
  auto lineOf = [&](const std::string& start) {
    const size_t at = listing.find("\n" + start);
    if (at == std::string::npos) return std::string();
    return listing.substr(at + 1, listing.find('\n', at + 1) - at - 1);
  };
  const std::string outerLine = lineOf("scripts/_start.txt");
  const std::string innerLine = lineOf("  scripts/_start.txt");
  EXPECT_NE(outerLine.find("zlib"), std::string::npos) << listing;
  EXPECT_NE(innerLine.find("lzss"), std::string::npos) << "the nested archive's own coding:\n" << listing;
}
#endif

}  // namespace
