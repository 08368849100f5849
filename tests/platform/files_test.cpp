// Data files: what is not a regular file is refused at once (never waited on, never replaced),
// what stands at a path is told apart, and the atomic write keeps a file's mode.
#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "platform/utf.h"

namespace {

TEST(Files, NamedPipeInPlaceOfADataFileIsRefusedWithoutWaiting) {
  const std::u16string dir = platform::MakeTempFolder(u"varn-fifo-");
  ASSERT_FALSE(dir.empty());
  const std::u16string pipe = dir + u"/system.pux";
  const std::string host = platform::HostPath(pipe);
  ASSERT_EQ(::mkfifo(host.c_str(), 0600), 0);

  auto opened = std::async(std::launch::async, [&] {
    std::vector<uint8_t> bytes;
    const bool whole = platform::ReadWholeFile(pipe, bytes);
    return platform::File::OpenRead(pipe) == nullptr && !whole && platform::File::CreateWrite(pipe) == nullptr;
  });
  const bool finished = opened.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
  // A blocked open is given a writer and a reader (without ever blocking here) until it ends.
  while (opened.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
    const int writer = ::open(host.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    const int reader = ::open(host.c_str(), O_RDONLY | O_NONBLOCK);
    if (reader >= 0) ::close(reader);
  }
  const bool refused = opened.get();
  EXPECT_TRUE(finished) << "opening a named pipe waited for the other end";
  EXPECT_TRUE(refused) << "a named pipe was opened as a data file";
  platform::RemoveTree(dir);
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Dir = platform::MakeTempFolder(u"varn-files-");
    ASSERT_FALSE(m_Dir.empty());
  }
  void TearDown() override { platform::RemoveTree(m_Dir); }
  std::u16string Path(std::u16string_view name) const { return m_Dir + u"/" + std::u16string(name); }
  std::string Host(std::u16string_view name) const { return platform::HostPath(Path(name)); }
  bool Put(std::u16string_view name, std::string_view text) const {
    return platform::WriteWholeFileAtomic(Path(name), text.data(), text.size());
  }
  std::string Read(std::u16string_view name) const {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(Path(name), bytes)) return "<unreadable>";
    return std::string(bytes.begin(), bytes.end());
  }
  std::u16string m_Dir;
};

TEST_F(FilesTest, PathKindsAreToldApart) {
  ASSERT_TRUE(Put(u"file", "x"));
  ASSERT_EQ(::mkdir(Host(u"folder").c_str(), 0700), 0);
  ASSERT_EQ(::symlink("file", Host(u"link").c_str()), 0);
  ASSERT_EQ(::symlink("self", Host(u"self").c_str()), 0);
  ASSERT_EQ(::symlink("missing", Host(u"dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(Host(u"pipe").c_str(), 0600), 0);
  using platform::PathKind;
  struct Case {
    std::u16string path;
    PathKind followed, unfollowed;
  };
  const Case cases[] = {
      {Path(u"file"), PathKind::File, PathKind::File},
      {Path(u"folder"), PathKind::Folder, PathKind::Folder},
      {Path(u"link"), PathKind::File, PathKind::SymbolicLink},
      {Path(u"self"), PathKind::LinkLoop, PathKind::SymbolicLink},
      {Path(u"self/x"), PathKind::LinkLoop, PathKind::LinkLoop},
      {Path(u"dangling"), PathKind::DanglingLink, PathKind::SymbolicLink},
      {Path(u"pipe"), PathKind::Pipe, PathKind::Pipe},
      {Path(u"missing"), PathKind::Missing, PathKind::Missing},
      {Path(u"file/x"), PathKind::Missing, PathKind::Missing},
      {u"/dev/null", PathKind::Device, PathKind::Device},
  };
  for (const Case& c : cases) {
    const std::string shown = platform::WideToUtf8(c.path);
    EXPECT_EQ(platform::GetPathKind(c.path, true), c.followed) << shown;
    EXPECT_EQ(platform::GetPathKind(c.path, false), c.unfollowed) << shown;
  }
  EXPECT_STREQ(platform::DescribePathKind(PathKind::LinkLoop), "a symbolic-link loop");
  EXPECT_STREQ(platform::DescribePathKind(PathKind::Folder), "a folder");
}

TEST_F(FilesTest, AtomicWriteReplacesOnlyARegularFileAndKeepsItsMode) {
  ASSERT_TRUE(Put(u"private", "old"));
  ASSERT_EQ(::chmod(Host(u"private").c_str(), 0600), 0);
  ASSERT_TRUE(Put(u"private", "new"));
  EXPECT_EQ(Read(u"private"), "new");
  struct stat st {};
  ASSERT_EQ(::stat(Host(u"private").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u) << "the replaced file keeps its mode";
  ASSERT_TRUE(Put(u"fresh", "new"));
  ASSERT_EQ(::stat(Host(u"fresh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  // What is not a regular file is refused and left as it was, without waiting on a pipe.
  ASSERT_TRUE(Put(u"target", "kept"));
  ASSERT_EQ(::symlink("target", Host(u"link").c_str()), 0);
  ASSERT_EQ(::symlink("missing", Host(u"dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(Host(u"pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(Host(u"folder").c_str(), 0700), 0);
  using platform::PathKind;
  struct Case {
    std::u16string path;
    PathKind standing;
    const char* reason;
  };
  const Case cases[] = {
      {Path(u"link"), PathKind::SymbolicLink, "is a symbolic link"},
      {Path(u"dangling"), PathKind::SymbolicLink, "is a symbolic link"},
      {Path(u"pipe"), PathKind::Pipe, "is a named pipe"},
      {Path(u"folder"), PathKind::Folder, "is a folder"},
      {Path(u"folder/"), PathKind::Folder, "is a folder"},
      {u"/dev/null", PathKind::Device, "is a device"},
  };
  for (const Case& c : cases) {
    const std::string shown = platform::WideToUtf8(c.path);
    platform::WriteFailure failure;
    EXPECT_FALSE(platform::WriteWholeFileAtomic(c.path, "x", 1, &failure)) << shown;
    EXPECT_EQ(failure.standing, c.standing) << shown;
    EXPECT_EQ(failure.reason, c.reason) << shown;
    EXPECT_EQ(platform::GetPathKind(c.path, false), c.standing) << shown << " is left alone";
  }
  EXPECT_EQ(Read(u"target"), "kept");
  platform::WriteFailure failure;
  EXPECT_FALSE(platform::WriteWholeFileAtomic(Path(u"no/such/folder"), "x", 1, &failure));
  EXPECT_FALSE(failure.reason.empty());
}

TEST_F(FilesTest, AtomicWriteTakesNamesOfAFileNamesFullLength) {
  // 255 bytes is the longest a file name can be; the temporary name must not make it longer.
  std::vector<std::u16string> names;
  for (size_t length : {246, 250, 255}) names.push_back(std::u16string(length, u'n'));
  names.push_back(std::u16string(85, u'音'));  // 255 bytes of UTF-8, cut inside none of them
  for (const std::u16string& name : names) {
    EXPECT_TRUE(Put(name, "long")) << platform::WideToUtf8(name).size() << " bytes";
    EXPECT_EQ(Read(name), "long");
  }
  EXPECT_EQ(platform::ListDirectory(m_Dir).size(), names.size()) << "no temporary file is left";
}

}  // namespace
