// Tests of script files by name: the member test with its path copy and the whole read.
#include "script/scriptfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_writer.h"
#include "lib/error.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"

namespace {

std::vector<uint8_t> Bytes(std::string_view s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

// The same members in a packed archive and in a folder.
enum class Kind { Packed, Folder };

class ScriptFile : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    m_Dir = platform::MakeTempFolder(u"varn-scriptfile-") + u"/";
    const std::vector<std::pair<std::u16string, std::string>> members = {
        {u"_start.txt", "*START\r\nline\r\n"},
        {u"empty.txt", ""},
        {u"Scene/Day01.txt", "day one"},
    };
    if (GetParam() == Kind::Packed) {
      pux::ArchiveWriter writer(pux::WriterOptions{});
      std::string error;
      ASSERT_TRUE(writer.AddDirectory(u"Scene", error)) << error;
      for (const auto& [name, text] : members) ASSERT_TRUE(writer.AddFile(name, Bytes(text), true, error)) << error;
      std::vector<uint8_t> out;
      ASSERT_TRUE(writer.Build(out, error)) << error;
      ASSERT_TRUE(platform::WriteWholeFileAtomic(m_Dir + u"script.pux", out.data(), out.size()));
      m_Archive = OpenArchive(m_Dir + u"script.pux");
    } else {
      ASSERT_TRUE(platform::EnsureFolder(m_Dir + u"data"));
      ASSERT_TRUE(platform::EnsureFolder(m_Dir + u"data/Scene"));
      for (const auto& [name, text] : members)
        ASSERT_TRUE(platform::WriteWholeFileAtomic(m_Dir + u"data/" + name, text.data(), text.size()));
      m_Archive = OpenDirArchive(m_Dir + u"data");
    }
    ASSERT_NE(m_Archive, nullptr);
  }
  void TearDown() override {
    if (m_Archive) m_Archive->Release();
    platform::RemoveTree(m_Dir);
  }

  // The text read, or the message of the error raised.
  std::string Load(const std::u16string& name, uint32_t* size = nullptr) {
    try {
      ArchiveBuffer text(reinterpret_cast<uint8_t*>(LoadScriptFile(m_Archive, name.c_str(), size)));
      return reinterpret_cast<const char*>(text.get());
    } catch (const ExceptionHandle& e) {
      EXPECT_EQ(e.m_Type, 0);
      EXPECT_EQ(std::u16string(e.m_Source), u"script/scr_gui");
      return "error: " + platform::WideToUtf8(e.m_Message);
    }
  }

  std::u16string m_Dir;
  IArchive* m_Archive = nullptr;
};

TEST_P(ScriptFile, ReadsWholeMembersWithTheirFolderInAnyCase) {
  uint32_t size = 0xDEAD;
  EXPECT_EQ(Load(u"_start.txt", &size), "*START\r\nline\r\n");
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(Load(u"Scene/Day01.txt"), "day one");
  EXPECT_EQ(Load(u"scene\\DAY01.TXT"), "day one");
}

TEST_P(ScriptFile, AnEmptyMemberIsOneZeroByte) {
  uint32_t size = 0xDEAD;
  ArchiveBuffer text(reinterpret_cast<uint8_t*>(LoadScriptFile(m_Archive, u"empty.txt", &size)));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(text.get()[0], 0);
}

TEST_P(ScriptFile, MissingAndOverlongNamesAreNotFound) {
  EXPECT_EQ(Load(u"nothere.txt"), "error: Script: file not found 'nothere.txt'");
  EXPECT_EQ(Load(u"Scene/nothere.txt"), "error: Script: file not found 'Scene/nothere.txt'");
  // The loader keeps the name in 130 characters: 129 fit, 130 are refused before any lookup.
  const std::u16string fits = u"Scene/" + std::u16string(129 - 6, u'a');
  EXPECT_EQ(Load(fits), "error: Script: file not found '" + platform::WideToUtf8(fits) + "'");
  const std::u16string tooLong(300, u'b');
  const std::string message = Load(tooLong);
  EXPECT_EQ(message.rfind("error: Script: file not found 'bbbb", 0), 0u) << message;
}

INSTANTIATE_TEST_SUITE_P(Archives, ScriptFile, ::testing::Values(Kind::Packed, Kind::Folder),
                         [](const auto& info) { return info.param == Kind::Packed ? "Packed" : "Folder"; });

class MemberExists : public ScriptFile {};

// The path copy: always for a name with a separator, otherwise only when the member exists; a
// name that does not fit the buffer is not looked up and leaves the buffer empty.
TEST_P(MemberExists, CopiesThePathAsTheLookupSays) {
  struct Case {
    std::u16string name;
    size_t pathSize;
    bool exists;
    std::u16string path;
  };
  const Case cases[] = {
      {u"_start.txt", 130, true, u"_start.txt"},
      {u"_START.TXT", 130, true, u"_START.TXT"},
      {u"missing.txt", 130, false, u""},
      {u"Scene/Day01.txt", 130, true, u"Scene/Day01.txt"},
      {u"Scene/missing.txt", 130, false, u"Scene/missing.txt"},
      {u"Scene\\missing.txt", 130, false, u"Scene\\missing.txt"},
      {u"_start.txt", 11, true, u"_start.txt"},
      {u"_start.txt", 10, false, u""},
      {u"Scene/Day01.txt", 4, false, u""},
  };
  for (const Case& c : cases) {
    std::vector<char16_t> path(c.pathSize + 1, u'#');
    path[c.pathSize] = u'$';  // must survive: nothing is written past pathSize
    EXPECT_EQ(ArchiveMemberExists(m_Archive, c.name.c_str(), path.data(), c.pathSize), c.exists)
        << platform::WideToUtf8(c.name);
    EXPECT_EQ(std::u16string(path.data()), c.path) << platform::WideToUtf8(c.name) << " in " << c.pathSize;
    EXPECT_EQ(path[c.pathSize], u'$');
  }
  EXPECT_TRUE(ArchiveMemberExists(m_Archive, u"empty.txt", nullptr, 0));
  EXPECT_FALSE(ArchiveMemberExists(nullptr, u"empty.txt", nullptr, 0));
}

INSTANTIATE_TEST_SUITE_P(Archives, MemberExists, ::testing::Values(Kind::Packed, Kind::Folder),
                         [](const auto& info) { return info.param == Kind::Packed ? "Packed" : "Folder"; });

}  // namespace
