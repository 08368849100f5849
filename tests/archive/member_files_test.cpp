// Member readers: the window's seek and read rules, duplicates, mappings and the reference chain.
#include "archive/archive_impl.h"
#include "fixture.h"

namespace {

class MemberFiles : public TempDir {
 protected:
  void SetUp() override {
    TempDir::SetUp();
    pux::ArchiveWriter writer({6, false, false});
    std::string error;
    m_Hundred = MakeData(100, 5);
    m_Large = MakeData(3 * 4096 + 77, 6);
    ASSERT_TRUE(writer.AddFile(u"hundred", m_Hundred, false, error));
    ASSERT_TRUE(writer.AddFile(u"odd/large", m_Large, false, error));  // starts on an odd sector
    ASSERT_TRUE(writer.AddFile(u"empty", {}, false, error));
    m_Archive.Attach(OpenArchive(Write(u"m.pux", Build(writer))));
    ASSERT_TRUE(m_Archive);
  }
  std::vector<uint8_t> m_Hundred, m_Large;
  ComRef<IArchive> m_Archive;
};

TEST_F(MemberFiles, SeekAndReadStayInsideTheMember) {
  ComRef<IArchiveFile> file(m_Archive->OpenFile(u"hundred"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->GetSize(), 100u);
  EXPECT_EQ(file->Tell(), 0);
  struct Case {
    int64_t offset;
    int origin;
    int64_t expected;
  };
  // The last five carry the target past the ends of the 64-bit range: refused, not wrapped.
  const Case cases[] = {{0, 2, 99},         {1, 2, -1},         {100, 0, -1},       {-1, 0, -1},
                        {-100, 2, -1},      {-99, 2, 0},        {50, 0, 50},        {10, 1, 60},
                        {-61, 1, -1},       {0, 3, -1},         {99, 0, 99},        {INT64_MAX, 1, -1},
                        {INT64_MIN, 1, -1}, {INT64_MAX, 2, -1}, {INT64_MIN, 2, -1}, {INT64_MIN, 0, -1}};
  for (const Case& c : cases)
    EXPECT_EQ(file->Seek(c.offset, c.origin), c.expected) << "Seek(" << c.offset << ", " << c.origin << ")";
  ASSERT_EQ(file->Seek(80, 0), 80);
  std::vector<uint8_t> buffer(50, 0xEE);
  EXPECT_EQ(file->Read(buffer.data(), 50), 20u) << "a read is cut at the member's end";
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 20, m_Hundred.begin() + 80));
  EXPECT_EQ(buffer[20], 0xEE);
  EXPECT_EQ(file->Read(buffer.data(), 50), 0u);
  EXPECT_EQ(file->Tell(), 100);

  ComRef<IArchiveFile> empty(m_Archive->OpenFile(u"empty"));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->Seek(0, 0), -1);
  EXPECT_EQ(empty->Read(buffer.data(), 10), 0u);
}

TEST_F(MemberFiles, DuplicatesAreIndependentAndKeepTheArchiveAlive) {
  ComRef<IArchiveFile> file(m_Archive->OpenFile(u"hundred"));
  ASSERT_EQ(file->Seek(30, 0), 30);
  ComRef<IArchiveFile> copy(file->Duplicate());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Tell(), 30);
  uint8_t a[5], b[5];
  ASSERT_EQ(copy->Read(a, 5), 5u);
  EXPECT_EQ(file->Tell(), 30) << "the duplicate moves alone";
  ASSERT_EQ(file->Read(b, 5), 5u);
  EXPECT_TRUE(std::equal(a, a + 5, b));
  // At the end of the member the duplicate stands at the end too.
  file->Seek(0, 2);
  file->Read(a, 5);
  ComRef<IArchiveFile> atEnd(file->Duplicate());
  EXPECT_EQ(atEnd->Tell(), 100);

  ComRef<IArchive> back;
  ASSERT_EQ(file->QueryInterface(IArchive::kIid, reinterpret_cast<void**>(back.Put())), S_OK);
  EXPECT_EQ(back.Get(), m_Archive.Get());
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(file->QueryInterface(IMappingFile::kIid, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);

  ComRef<ICompressedFile> whole(m_Archive->OpenCompressed(u"odd/large"));
  back.Reset();
  m_Archive.Reset();
  file.Reset();
  // The reader alone keeps file and archive alive.
  std::vector<uint8_t> out(whole->GetSize());
  EXPECT_EQ(whole->Read(out.data()), m_Large.size());
  EXPECT_EQ(out, m_Large);
  ComRef<IArchiveFile> under;
  ASSERT_EQ(whole->QueryInterface(IArchiveFile::kIid, reinterpret_cast<void**>(under.Put())), S_OK);
  EXPECT_EQ(under->GetSize(), m_Large.size());
}

TEST_F(MemberFiles, MappingsShowTheMembersBytesAndStayInside) {
  ComRef<IMappingFile> map(m_Archive->OpenMapping(u"odd/large"));
  ASSERT_TRUE(map);
  EXPECT_EQ(map->GetSize(), m_Large.size());
  const uint8_t* p = map->Map(5, 10);
  ASSERT_TRUE(p);
  EXPECT_TRUE(std::equal(p, p + 10, m_Large.begin() + 5));
  p = map->Map(4097, 0);  // to the end
  ASSERT_TRUE(p);
  EXPECT_TRUE(std::equal(p, p + (m_Large.size() - 4097), m_Large.begin() + 4097));
  EXPECT_EQ(p[m_Large.size() - 4098], m_Large.back());
  EXPECT_EQ(map->Map(m_Large.size() - 4, 5), nullptr) << "a count past the member's end";
  EXPECT_EQ(map->Map(m_Large.size() + 1, 0), nullptr) << "an offset past the member's end";
  ComRef<IMappingFile> copy(map->Duplicate());
  ASSERT_TRUE(copy);
  p = copy->Map(0, 3);
  ASSERT_TRUE(p);
  EXPECT_TRUE(std::equal(p, p + 3, m_Large.begin()));
  ComRef<IMappingFile> empty(m_Archive->OpenMapping(u"empty"));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->Map(0, 0), nullptr);
}

}  // namespace

namespace {

// A member window over a plain file at a chosen absolute start, recording the views it is asked for.
class FakeMemberFile final : public CComImpl<IArchiveFile> {
 public:
  FakeMemberFile(std::unique_ptr<platform::File> file, uint64_t base, bool withHandle, bool withMapping)
      : m_File(std::move(file)), m_Base(base), m_WithHandle(withHandle), m_WithMapping(withMapping) {}
  HRESULT QueryInterface(const InterfaceId& id, void** out) override {
    return pux::AnswerSelf<IArchiveFile>(this, id, out);
  }
  uint64_t GetSize() override { return 100; }
  int64_t Seek(int64_t offset, int origin) override { return origin == 0 ? offset : -1; }
  int64_t Tell() override { return 0; }
  uint64_t Read(void*, uint64_t) override { return 0; }
  IArchiveFile* Duplicate() override { return nullptr; }
  platform::File* GetHandle() override { return m_WithHandle ? m_File.get() : nullptr; }
  int64_t GetFilePointer() override { return static_cast<int64_t>(m_Base); }
  std::unique_ptr<ArchiveMappingHandle> CreateMapping(uint64_t) override {
    if (!m_WithMapping) return nullptr;
    auto mapping = std::make_unique<ArchiveMappingHandle>();
    mapping->file = m_File.get();
    return mapping;
  }
  ArchiveView MapView(const ArchiveMappingHandle* mapping, uint64_t offset, size_t count) override {
    m_Asked.push_back({mapping != nullptr, offset, count});
    return platform::FileMapping::Map(*m_File, mapping ? offset : m_Base + offset, count);
  }
  void UnmapView(ArchiveView) override {}

  struct Ask {
    bool withMapping;
    uint64_t offset;
    size_t count;
  };
  std::vector<Ask> m_Asked;

 private:
  std::unique_ptr<platform::File> m_File;
  uint64_t m_Base;
  bool m_WithHandle, m_WithMapping;
};

TEST_F(TempDir, MappingAlignsViewsToTheGranularity) {
  const auto bytes = MakeData(80000, 8);
  const std::u16string path = Write(u"plain.bin", bytes);
  const uint64_t g = platform::AllocationGranularity();
  const uint64_t aligned = 70005 - 70005 % g;

  auto* member = new FakeMemberFile(platform::File::OpenRead(path), 70000, true, true);
  ComRef<IArchiveFile> file(member);
  ComRef<IMappingFile> map(pux::MakeMapping(file.Get()));
  const uint8_t* p = map->Map(5, 10);
  ASSERT_EQ(member->m_Asked.size(), 1u);
  EXPECT_EQ(member->m_Asked[0].offset, aligned) << "the view starts at the granularity below the byte";
  EXPECT_EQ(member->m_Asked[0].count, 10 + (70005 - aligned));
  ASSERT_TRUE(p);
  EXPECT_TRUE(std::equal(p, p + 10, bytes.begin() + 70005));

  // Without a handle the file maps by itself; without a mapping object the check reports.
  auto* loose = new FakeMemberFile(platform::File::OpenRead(path), 70000, false, true);
  ComRef<IArchiveFile> looseFile(loose);
  ComRef<IMappingFile> looseMap(pux::MakeMapping(looseFile.Get()));
  p = looseMap->Map(5, 10);
  ASSERT_EQ(loose->m_Asked.size(), 1u);
  EXPECT_FALSE(loose->m_Asked[0].withMapping);
  EXPECT_EQ(loose->m_Asked[0].offset, 5u);
  ASSERT_TRUE(p);
  EXPECT_EQ(p[0], bytes[70005]);

  int reports = 0;
  platform::AssertionReport last{};
  auto previous = platform::SetAssertHook([&](const platform::AssertionReport& r) {
    ++reports;
    last = r;
  });
  ComRef<IArchiveFile> unmapped(new FakeMemberFile(platform::File::OpenRead(path), 70000, true, false));
  ComRef<IMappingFile> badMap(pux::MakeMapping(unmapped.Get()));
  EXPECT_EQ(badMap->Map(5, 10), nullptr);
  platform::SetAssertHook(previous);
  ASSERT_EQ(reports, 1);
  EXPECT_STREQ(last.expression, "m_hMap!=NULL");
  EXPECT_STREQ(last.source, "archive");
  EXPECT_EQ(last.line, 566);
}

}  // namespace
