// The folders service: profile reads and rewrites, the headless folders under their root, the
// host's documents folder from the user-dirs file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/headless/headless.h"
#include "platform/utf.h"

namespace {

using platform::headless::HeadlessFolders;

std::string ReadText(const std::u16string& path) {
  std::vector<uint8_t> bytes;
  if (!platform::ReadWholeFile(path, bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

class Profile : public ::testing::Test {
 protected:
  void SetUp() override { m_Path = folders.DocumentsFolder() + u"/varn.ini"; }
  void Write(const std::string& text) {
    ASSERT_TRUE(folders.EnsureFolder(folders.DocumentsFolder()));
    ASSERT_TRUE(platform::WriteWholeFileAtomic(m_Path, text.data(), text.size()));
  }
  HeadlessFolders folders;
  std::u16string m_Path;
};

struct ReadCase {
  const char* name;
  std::optional<std::string> file;  // none: no file
  std::u16string section, key, fallback;
  uint32_t size;
  std::u16string expected;
};

TEST_F(Profile, StringReadsFindCutOrFallBack) {
  const std::string big(300, 'x');
  const ReadCase cases[] = {
      {"no file: the default", std::nullopt, u"varn", u"FullScreen", u"2", 256, u"2"},
      {"missing key: the default without trailing blanks", "[varn]\nA=1\n", u"varn", u"B", u"def  ", 256, u"def"},
      {"section and key without regard to case", "[VARN]\nfullscreen=1\n", u"varn", u"FullScreen", u"2", 256, u"1"},
      {"blanks around key and value trimmed", "[varn]\n  Key \t=  a value \t\n", u"varn", u"key", u"", 256, u"a value"},
      {"one pair of quotes removed", "[varn]\nA=\" spaced \"\nB='x'\n", u"varn", u"A", u"", 256, u" spaced "},
      {"an empty value is not missing", "[varn]\nA=\n", u"varn", u"A", u"50", 256, u""},
      {"only its own section", "[other]\nA=1\n[varn]\nB=2\n", u"varn", u"A", u"d", 256, u"d"},
      {"the first of two keys", "[varn]\nA=1\nA=2\n", u"varn", u"A", u"", 256, u"1"},
      {"the first of two sections", "[varn]\nA=1\n[Varn]\nA=2\nB=3\n", u"varn", u"B", u"none", 256, u"none"},
      {"a comment is no key", "[varn]\n;A=1\n", u"varn", u"A", u"d", 256, u"d"},
      {"a key before every section belongs to none", "A=1\n[varn]\n", u"varn", u"A", u"d", 256, u"d"},
      {"CRLF and a byte-order mark", "\xEF\xBB\xBF[varn]\r\nA=1\r\n", u"varn", u"A", u"", 256, u"1"},
      {"lone CR line ends", "[varn]\rA=1\rB=2", u"varn", u"B", u"", 256, u"2"},
      {"UTF-8 text", "[varn]\nFontName=ＭＳ 明朝\n", u"varn", u"FontName", u"", 256, u"ＭＳ 明朝"},
      {"invalid UTF-8 reads as U+FFFD", "[varn]\nA=a\xFFz\n", u"varn", u"A", u"", 256, u"a\uFFFDz"},
      {"a NUL byte ends the value", std::string("[varn]\nA=ab\0cd\nB=2\n", 19), u"varn", u"A", u"", 256, u"ab"},
      {"a header without its bracket", "[varn\nA=1\n", u"varn", u"A", u"", 256, u"1"},
      {"cut to the buffer: 256 holds 255", "[varn]\nA=" + big + "\n", u"varn", u"A", u"", 256,
       std::u16string(255, u'x')},
      {"the default cut as well", std::nullopt, u"varn", u"A", u"abcdef", 4, u"abc"},
      {"a buffer of one holds only the terminator", "[varn]\nA=1\n", u"varn", u"A", u"", 1, u""},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    platform::RemoveFile(m_Path);
    if (c.file) Write(*c.file);
    std::u16string buffer(c.size + 4, u'#');
    const uint32_t n = folders.ReadProfileString(m_Path, c.section, c.key, c.fallback, buffer.data(), c.size);
    EXPECT_EQ(n, c.expected.size());
    EXPECT_EQ(buffer.substr(0, n), c.expected);
    EXPECT_EQ(buffer[n], u'\0') << "terminated";
    EXPECT_EQ(buffer[c.size], u'#') << "nothing written past the buffer";
  }
  char16_t untouched = u'#';
  EXPECT_EQ(folders.ReadProfileString(m_Path, u"varn", u"A", u"d", &untouched, 0), 0u);
  EXPECT_EQ(untouched, u'#') << "a buffer of no characters is left alone";
}

TEST_F(Profile, IntegerReads) {
  Write("[varn]\nA=50\nB=-5\nC=\nD=12abc\nE=abc\nF=99999999999\nG=+7\nH=-99999999999\n");
  const struct {
    const char16_t* key;
    int32_t expected;
  } cases[] = {{u"A", 50},      {u"B", -5}, {u"C", 4},       {u"D", 12},     {u"E", 0},
               {u"F", INT_MAX}, {u"G", 7},  {u"H", INT_MIN}, {u"missing", 4}};
  for (const auto& c : cases)
    EXPECT_EQ(folders.ReadProfileInt(m_Path, u"varn", c.key, 4), c.expected) << std::string(c.key, c.key + 1);
}

struct WriteCase {
  const char* name;
  std::optional<std::string> file;
  std::u16string section, key, value;
  std::string expected;
};

TEST_F(Profile, WritesChangeOneLineAndKeepTheRest) {
  const WriteCase cases[] = {
      {"creates the file and the section", std::nullopt, u"varn", u"FullScreen", u"1", "[varn]\nFullScreen=1\n"},
      {"rewrites the key in place, in the file's spelling", "[varn]\n fullscreen = 0 \nX=1\n", u"varn", u"FullScreen",
       u"1", "[varn]\nfullscreen=1\nX=1\n"},
      {"a new key after the section's last key; other lines stay", "; settings\n[a]\nx=1\n\n; about b\n[b]\ny=2\n",
       u"A", u"z", u"3", "; settings\n[a]\nx=1\nz=3\n\n; about b\n[b]\ny=2\n"},
      {"a new key right after a header with no keys", "[a]\n; none yet\n[b]\n", u"a", u"k", u"v",
       "[a]\nk=v\n; none yet\n[b]\n"},
      {"a new section at the end, the last line ended first", "[a]\nx=1", u"varn", u"k", u"v",
       "[a]\nx=1\n\n[varn]\nk=v\n"},
      {"a key at the very end", "[varn]\nx=1", u"varn", u"y", u"2", "[varn]\nx=1\ny=2\n"},
      {"CRLF files stay CRLF", "[a]\r\nx=1\r\n", u"a", u"y", u"2", "[a]\r\nx=1\r\ny=2\r\n"},
      {"a new key ends like the line before it", "[a]\rx=1\n\n[b]\n", u"a", u"y", u"2", "[a]\rx=1\ny=2\n\n[b]\n"},
      {"the mark and invalid bytes of other lines are kept", "\xEF\xBB\xBF[a]\nq=\xFF\xFE\n", u"a", u"k", u"明朝",
       "\xEF\xBB\xBF[a]\nq=\xFF\xFE\nk=明朝\n"},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    platform::RemoveFile(m_Path);
    if (c.file)
      Write(*c.file);
    else
      ASSERT_TRUE(folders.EnsureFolder(folders.DocumentsFolder()));
    ASSERT_TRUE(folders.WriteProfileString(m_Path, c.section, c.key, c.value));
    EXPECT_EQ(ReadText(m_Path), c.expected);
    char16_t buffer[256];
    const uint32_t n = folders.ReadProfileString(m_Path, c.section, c.key, u"", buffer, 256);
    EXPECT_EQ(std::u16string(buffer, n), c.value) << "reads back";
  }
}

TEST_F(Profile, WritesThatCannotBeLinesOrFilesAreRefused) {
  Write("[varn]\nA=1\n");
  const struct {
    std::u16string section, key, value;
  } refused[] = {{u"varn", u"", u"1"},     {u"varn", u"A=B", u"1"}, {u"va]rn", u"A", u"1"},
                 {u"varn", u"A", u"1\n2"}, {u"va\nrn", u"A", u"1"}, {u"varn", u";A", u"1"}};
  for (const auto& r : refused) EXPECT_FALSE(folders.WriteProfileString(m_Path, r.section, r.key, r.value));
  EXPECT_EQ(ReadText(m_Path), "[varn]\nA=1\n");
  EXPECT_FALSE(folders.WriteProfileString(folders.DocumentsFolder(), u"varn", u"A", u"1")) << "a folder";
  EXPECT_FALSE(folders.WriteProfileString(folders.DocumentsFolder() + u"/no/such/varn.ini", u"varn", u"A", u"1"));
}

TEST_F(Profile, ARewriteReplacesTheFileWholeByRename) {
  Write("[varn]\nA=1\n");
  // A second name for the old file: a rewrite in place would change what it holds too.
  const std::string old = platform::HostPath(m_Path) + ".old";
  ASSERT_EQ(::link(platform::HostPath(m_Path).c_str(), old.c_str()), 0);
  ASSERT_TRUE(folders.WriteProfileString(m_Path, u"varn", u"A", u"2"));
  EXPECT_EQ(ReadText(platform::Utf8ToWide(old)), "[varn]\nA=1\n");
  EXPECT_EQ(ReadText(m_Path), "[varn]\nA=2\n");
  std::vector<std::u16string> names;
  for (const auto& e : platform::ListDirectory(folders.DocumentsFolder())) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"varn.ini", u"varn.ini.old"})) << "no temporary file left";
}

TEST_F(Profile, AProfileReadOnceIsWrittenOnceAtItsSave) {
  Write("; kept\n[varn]\nA=1\nB=x\n");
  platform::ProfileFile profile = folders.OpenProfile(m_Path);
  Write("[varn]\nA=changed on disk\n");
  char16_t buffer[8];
  EXPECT_EQ(std::u16string(buffer, profile.ReadString(u"VARN", u"b", u"d", buffer, 8)), u"x") << "as it was read";
  ASSERT_TRUE(profile.WriteString(u"varn", u"A", u"2"));
  ASSERT_TRUE(profile.WriteString(u"varn", u"C", u"3"));
  ASSERT_TRUE(profile.WriteString(u"new", u"D", u"4"));
  EXPECT_FALSE(profile.WriteString(u"varn", u"E=", u"5"));
  EXPECT_EQ(profile.ReadInt(u"varn", u"C", 0), 3) << "a change reads back before the save";
  EXPECT_EQ(ReadText(m_Path), "[varn]\nA=changed on disk\n") << "nothing written before the save";
  ASSERT_TRUE(profile.Save());
  EXPECT_EQ(ReadText(m_Path), "; kept\n[varn]\nA=2\nB=x\nC=3\n\n[new]\nD=4\n");

  // A profile that could not be read takes no change; one whose file cannot be written leaves no file.
  platform::ProfileFile folder = folders.OpenProfile(folders.DocumentsFolder());
  EXPECT_FALSE(folder.WriteString(u"varn", u"A", u"1"));
  EXPECT_TRUE(folder.Save()) << "nothing to write";
  EXPECT_TRUE(platform::IsDirectory(folders.DocumentsFolder()));
  const std::u16string nowhere = folders.DocumentsFolder() + u"/no/such/varn.ini";
  platform::ProfileFile missing = folders.OpenProfile(nowhere);
  ASSERT_TRUE(missing.WriteString(u"varn", u"A", u"1"));
  EXPECT_FALSE(missing.Save());
  EXPECT_EQ(ReadText(nowhere), "<missing>");
}

TEST(HeadlessFolders, EverythingUnderARootThatGoesWithTheService) {
  std::u16string root;
  {
    HeadlessFolders folders;
    root = folders.Root();
    EXPECT_EQ(folders.ProgramFolder(), root + u"program/");
    EXPECT_TRUE(platform::IsDirectory(folders.ProgramFolder()));
    EXPECT_EQ(folders.DocumentsFolder(), root + u"Documents");
    EXPECT_TRUE(folders.EnsureFolder(folders.DocumentsFolder() + u"/quillbrook/varn_trial"));
    EXPECT_TRUE(platform::IsDirectory(root + u"Documents/quillbrook/varn_trial"));
    EXPECT_FALSE(folders.EnsureFolder(root + u"../varn-escaped")) << "outside the root";
    EXPECT_FALSE(platform::PathExists(root + u"../varn-escaped"));
    EXPECT_FALSE(folders.EnsureFolder(u"/"));
  }
  EXPECT_FALSE(platform::PathExists(root)) << "the private root is removed";

  const std::u16string own = platform::MakeTempFolder(u"varn-own-");
  {
    HeadlessFolders folders;
    folders.SetRoot(own);
    EXPECT_EQ(folders.ProgramFolder(), own + u"/program/");
    auto backend = platform::headless::CreateBackend();
    EXPECT_EQ(backend->folders.get(), backend->hfolders);
  }
  EXPECT_TRUE(platform::IsDirectory(own)) << "the test's own root stays";
  platform::RemoveTree(own);
}

// Sets an environment variable for a scope, or unsets it with null.
class EnvScope {
 public:
  EnvScope(const char* name, const char* value) : m_Name(name) {
    if (const char* old = std::getenv(name)) m_Old = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~EnvScope() {
    if (m_Old)
      ::setenv(m_Name, m_Old->c_str(), 1);
    else
      ::unsetenv(m_Name);
  }

 private:
  const char* m_Name;
  std::optional<std::string> m_Old;
};

TEST(HostFolders, DocumentsFromTheUserDirsFile) {
  const std::string home = platform::HostPath(platform::MakeTempFolder(u"varn-home-"));
  const std::string config = home + "/config";
  const struct {
    const char* name;
    const char* file;  // ~/.config/user-dirs.dirs, or in XDG_CONFIG_HOME; null: none
    bool inXdgConfig;
    const char* xdgConfig;  // XDG_CONFIG_HOME
    std::string expected;
  } cases[] = {
      {"no file", nullptr, false, nullptr, home + "/Documents"},
      {"$HOME expanded", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", false, nullptr, home + "/Dokumente"},
      {"an absolute path", "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n", false, nullptr, "/srv/docs"},
      {"comments, other keys and the last assignment",
       "# XDG_DOCUMENTS_DIR=\"/no\"\nXDG_MUSIC_DIR=\"$HOME/M\"\n  XDG_DOCUMENTS_DIR=\"/first\"\r\n"
       "XDG_DOCUMENTS_DIR=\"$HOME/last\"\n",
       false, nullptr, home + "/last"},
      {"escapes inside the quotes", "XDG_DOCUMENTS_DIR=\"$HOME/a \\\"b\\\"\"\n", false, nullptr, home + "/a \"b\""},
      {"a relative path is no folder", "XDG_DOCUMENTS_DIR=\"Docs\"\n", false, nullptr, home + "/Documents"},
      {"$HOMEX is not $HOME", "XDG_DOCUMENTS_DIR=\"$HOMEX/d\"\n", false, nullptr, home + "/Documents"},
      {"XDG_CONFIG_HOME is honoured", "XDG_DOCUMENTS_DIR=\"$HOME/x\"\n", true, config.c_str(), home + "/x"},
      {"a relative XDG_CONFIG_HOME is not", "XDG_DOCUMENTS_DIR=\"$HOME/x\"\n", true, "config", home + "/Documents"},
  };
  EnvScope homeScope("HOME", home.c_str());
  auto folders = platform::CreateHostFolderService();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform::RemoveTree(platform::Utf8ToWide(home + "/.config"));
    platform::RemoveTree(platform::Utf8ToWide(config));
    EnvScope xdg("XDG_CONFIG_HOME", c.xdgConfig);
    if (c.file) {
      const std::u16string dir = platform::Utf8ToWide(c.inXdgConfig ? config : home + "/.config");
      ASSERT_TRUE(platform::EnsureFolder(dir));
      ASSERT_TRUE(platform::WriteWholeFileAtomic(dir + u"/user-dirs.dirs", c.file, std::strlen(c.file)));
    }
    EXPECT_EQ(platform::HostPath(folders->DocumentsFolder()), c.expected);
  }
  {
    EnvScope noHome("HOME", nullptr);
    EXPECT_EQ(folders->DocumentsFolder(), u"") << "no home, no documents folder";
  }
  platform::RemoveTree(platform::Utf8ToWide(home));

  const std::u16string program = folders->ProgramFolder();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(program.back(), u'/');
  EXPECT_TRUE(platform::IsRegularFile(program + u"platform_tests")) << platform::HostPath(program);
}

}  // namespace
