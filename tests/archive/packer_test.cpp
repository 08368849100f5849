// Packing folders: sound folders and nested archives stored, names refused with the file named,
// and the puxpack tool's packing, listing and errors.
#include <cstdlib>

#include "fixture.h"

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
