// The folder archive: either separator, any letter case, files only, nested archives by version.
#include "archive/archive_impl.h"
#include "fixture.h"

namespace {

class DirArchive : public TempDir {
 protected:
  void SetUp() override {
    TempDir::SetUp();
    ASSERT_TRUE(platform::EnsureFolder(Path(u"script/Data/Sub")));
    m_Text = Bytes("text in a folder");
    Write(u"script/Data/Sub/File.TXT", m_Text);
  }
  std::vector<uint8_t> m_Text;
};

TEST_F(DirArchive, FindsFilesWithEitherSeparatorAndAnyCase) {
  for (const std::u16string& root : {Path(u"script"), Path(u"script/"), Path(u"SCRIPT\\")}) {
    ComRef<IArchive> archive(OpenDirArchive(root));
    ASSERT_TRUE(archive) << platform::WideToUtf8(root);
    EXPECT_EQ(static_cast<pux::CDirArchive*>(archive.Get())->Root().back(), root.back() == u'\\' ? u'\\' : u'/');
    EXPECT_EQ(ReadMember(archive.Get(), u"data\\sub/file.txt"), m_Text);
    EXPECT_TRUE(archive->Exists(u"Data/Sub/File.TXT"));
    EXPECT_TRUE(archive->Exists(u"data\\SUB")) << "a folder exists, though only a file opens";
    EXPECT_FALSE(ComRef<IArchiveFile>(archive->OpenFile(u"Data/Sub")));
    EXPECT_FALSE(archive->Exists(u"Data/Sub/missing.txt"));
    EXPECT_FALSE(archive->OpenFile(u"Data/Sub/missing.txt"));
    EXPECT_FALSE(archive->OpenCompressed(u"Data"));
    EXPECT_FALSE(archive->IsCompressed(u"Data/Sub/File.TXT"));
    EXPECT_FALSE(archive->IsCompressed(u"nothing"));
    EXPECT_TRUE(archive->ListFiles().empty());
    ComRef<ICompressedFile> reader(archive->OpenCompressed(u"DATA/SUB/FILE.TXT"));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->GetSize(), m_Text.size());
    ComRef<IMappingFile> map(archive->OpenMapping(u"data/sub/file.txt"));
    ASSERT_TRUE(map);
    const uint8_t* p = map->Map(5, 2);
    ASSERT_TRUE(p);
    EXPECT_EQ(p[0], 'i');
  }
  EXPECT_FALSE(OpenDirArchive(Path(u"no_such_folder")));
}

TEST_F(DirArchive, NamesNeverLeaveTheFolder) {
  // Files that exist outside the mounted folder, one and several levels up.
  Write(u"outside.txt", Bytes("outside"));
  Write(u"script/beside.txt", Bytes("beside"));
  ComRef<IArchive> archive(OpenDirArchive(Path(u"script/data/")));
  ASSERT_TRUE(archive);
  std::u16string upToRoot;
  for (size_t i = 0; i < 16; ++i) upToRoot += u"../";
  std::vector<std::u16string> names = UnusableNames(u"Sub", u"File.TXT");
  for (const char16_t* name :
       {u"../beside.txt", u"..\\beside.txt", u"Sub/../../beside.txt", u"../../outside.txt", u"./../beside.txt"})
    names.push_back(name);
  names.push_back(upToRoot + u"etc/hostname");
  names.push_back(platform::Utf8ToWide(platform::HostPath(Path(u"outside.txt"))));  // an absolute path
  for (const std::u16string& name : names) ExpectUnresolved(archive.Get(), name);
  // The root itself keeps its own forms, ".." included.
  ComRef<IArchive> viaParent(OpenDirArchive(Path(u"script/data/Sub/../")));
  ASSERT_TRUE(viaParent);
  EXPECT_EQ(ReadMember(viaParent.Get(), u"sub/file.txt"), m_Text);
}

TEST_F(DirArchive, OpensArchiveFilesByTheirVersion) {
  for (int version : {5, 6}) {
    pux::ArchiveWriter writer({version, false, false});
    std::string error;
    ASSERT_TRUE(writer.AddFile(u"inner.txt", Bytes("inside"), true, error));
    Write(u"script/Data/Pack.pux", Build(writer));
    ComRef<IArchive> archive(OpenDirArchive(Path(u"script")));
    ASSERT_TRUE(archive);
    ComRef<IArchive> nested(archive->OpenArchive(u"data/pack.PUX"));
    ASSERT_TRUE(nested) << "version " << version;
    EXPECT_EQ(ReadMember(nested.Get(), u"INNER.txt"), Bytes("inside"));
    EXPECT_FALSE(archive->OpenArchive(u"data/none.pux"));
  }
}

}  // namespace
