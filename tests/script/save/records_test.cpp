// The records of the save file: their bytes as stored, their round trips through the database,
// the statements' edge cases, and reading damaged blobs within their bounds.
#include <cstring>

#include "lib/bytes.h"
#include "savefixture.h"

namespace {

using savetest::SaveTest;

class SaveRecords : public SaveTest {};

TEST_F(SaveRecords, ANewFileHasBothTablesAndTheThreeGlobalRowsWithNullBlobs) {
  SaveDBScope db;
  EXPECT_TRUE(g_SaveDB.CreatedTables());
  db.Commit();
  EXPECT_EQ(Query("SELECT name FROM global ORDER BY id;"), (std::vector<std::string>{"SCENE", "ALBUM", "COMMON"}));
  EXPECT_EQ(Query("SELECT value_bin FROM global;"), (std::vector<std::string>(3, "<null>")));
  EXPECT_TRUE(Query("SELECT number FROM entry;").empty());
  SaveDBScope again;
  EXPECT_FALSE(g_SaveDB.CreatedTables()) << "the second open finds the tables";
  again.Commit();
}

TEST_F(SaveRecords, SlotRecordFieldsLieAtTheirOffsetsAndComeBack) {
  SAVEDATA2 record;
  std::strcpy(record.m_Header.m_Comment, "\x82\xa0 comment");
  record.m_Header.m_Time = SYSTEMTIME{2026, 12, 4, 10, 23, 59, 58, 999};
  record.m_ResumePage = 0x01020304;
  for (size_t i = 0; i < kThumbnailSize; ++i) record.m_Thumbnail[i] = uint8_t(i * 7);
  record.m_Scene[SCENE_BACKGROUND] = SCENESTATE{2, "BG01"};
  record.m_Scene[SCENE_BGM] = SCENESTATE{1, "music"};
  // State 0 carries no name, even when bytes are left behind it.
  record.m_Scene[SCENE_SE2] = SCENESTATE{0, "stale"};
  {
    SaveDBScope db;
    g_SaveDB.WriteHeader(5, record);
    db.Commit();
  }
  const std::vector<std::string> rows = Query("SELECT header FROM entry WHERE number=5;");
  ASSERT_EQ(rows.size(), 1u);
  const auto* b = reinterpret_cast<const uint8_t*>(rows[0].data());
  ASSERT_EQ(rows[0].size(), kSaveDataSize);
  struct Field {
    size_t offset;
    uint32_t value;
    int bytes;
  };
  const Field fields[] = {
      {0, 0, 4},     {40, 2026, 2}, {42, 12, 2},   {44, 4, 2},    {46, 10, 2},
      {48, 23, 2},   {50, 59, 2},   {52, 58, 2},   {54, 999, 2},  {56, 0x01020304, 4},
      {65636, 2, 1}, {65668, 0, 1}, {65700, 1, 1}, {65764, 0, 1}, {65765, 0, 1},
  };
  for (const Field& f : fields) {
    const uint32_t got = f.bytes == 4 ? LoadLE32(b + f.offset) : f.bytes == 2 ? LoadLE16(b + f.offset) : b[f.offset];
    EXPECT_EQ(got, f.value) << "at offset " << f.offset;
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 4)), "\x82\xa0 comment");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 65637)), "BG01");
  EXPECT_EQ(std::memcmp(b + 60, record.m_Thumbnail, kThumbnailSize), 0);

  SAVEDATA2 back;
  {
    SaveDBScope db;
    g_SaveDB.ReadHeader(5, &back);
    db.Commit();
  }
  EXPECT_STREQ(back.m_Header.m_Comment, record.m_Header.m_Comment);
  EXPECT_EQ(back.m_Header.m_Time.wMilliseconds, 999);
  EXPECT_EQ(back.m_ResumePage, record.m_ResumePage);
  EXPECT_EQ(std::memcmp(back.m_Thumbnail, record.m_Thumbnail, kThumbnailSize), 0);
  EXPECT_EQ(back.m_Scene[SCENE_BACKGROUND].m_State, 2);
  EXPECT_STREQ(back.m_Scene[SCENE_BACKGROUND].m_Name, "BG01");
  EXPECT_STREQ(back.m_Scene[SCENE_BGM].m_Name, "music");
  EXPECT_STREQ(back.m_Scene[SCENE_SE2].m_Name, "");
}

TEST_F(SaveRecords, CommonRecordFieldsLieAtTheirOffsetsAndComeBack) {
  COMMONDATA c;
  c.m_LastSlot = 0xFFFFFFFF;
  std::memcpy(c.m_FamilyName, u"宮坂", 6);
  std::memcpy(c.m_GivenName, u"透", 4);
  c.m_ReadFlags[0] = 0x80;
  c.m_ReadFlags[2047] = 0x01;
  {
    SaveDBScope db;
    g_SaveDB.WriteCommon(EncodeCommon(c));
    db.Commit();
  }
  const std::string blob = Query("SELECT value_bin FROM global WHERE name='COMMON';").at(0);
  ASSERT_EQ(blob.size(), kCommonSize);
  const auto* b = reinterpret_cast<const uint8_t*>(blob.data());
  EXPECT_EQ(LoadLE32(b), 0xFFFFFFFFu);
  EXPECT_EQ(LoadLE16(b + 4), 0x5BAE);  // 宮
  EXPECT_EQ(LoadLE16(b + 8), 0);
  EXPECT_EQ(LoadLE16(b + 132), 0x900F);  // 透
  EXPECT_EQ(b[260], 0x80);
  EXPECT_EQ(b[2307], 0x01);

  std::vector<uint8_t> read;
  {
    SaveDBScope db;
    EXPECT_TRUE(g_SaveDB.ReadCommon(&read));
    db.Commit();
  }
  COMMONDATA back;
  ASSERT_TRUE(DecodeCommon(read.data(), read.size(), &back));
  EXPECT_EQ(std::u16string(back.m_FamilyName), u"宮坂");
  EXPECT_EQ(std::u16string(back.m_GivenName), u"透");
  EXPECT_EQ(std::memcmp(back.m_ReadFlags, c.m_ReadFlags, kReadFlagBytes), 0);
}

TEST_F(SaveRecords, NameListsAreNamesEachEndedByZeroThenOneMoreZero) {
  struct Case {
    std::vector<std::string> names;
    std::string bytes;
    std::vector<std::string> back;
  };
  const Case cases[] = {
      {{}, std::string(1, '\0'), {}},
      {{"A"}, std::string("A\0\0", 3), {"A"}},
      {{"\x82\xa0", "BC"}, std::string("\x82\xa0\0BC\0\0", 7), {"\x82\xa0", "BC"}},
      // An empty name would end the list there: it is left out.
      {{"A", "", "B"}, std::string("A\0B\0\0", 5), {"A", "B"}},
  };
  for (const Case& c : cases) {
    {
      SaveDBScope db;
      g_SaveDB.WriteSceneList(EncodeNameList(c.names));
      g_SaveDB.WriteAlbumList(EncodeNameList(c.names));
      db.Commit();
    }
    EXPECT_EQ(Query("SELECT value_bin FROM global WHERE name='SCENE';").at(0), c.bytes);
    std::vector<uint8_t> scene, album;
    {
      SaveDBScope db;
      EXPECT_TRUE(g_SaveDB.ReadSceneList(&scene));
      EXPECT_TRUE(g_SaveDB.ReadAlbumList(&album));
      db.Commit();
    }
    EXPECT_EQ(DecodeNameList(scene.data(), scene.size()), c.back);
    EXPECT_EQ(DecodeNameList(album.data(), album.size()), c.back);
  }
}

TEST_F(SaveRecords, VariablesAreNameZeroAndValueWordAndAStringIsWordZero) {
  g_SavedVariables.Set(u"A", -2);
  g_SavedVariables.Set(u"C", 0x12345678);
  VariablePtr text = NewVariable();
  text->m_Type = ScriptVariable::kString;
  text->m_Name = WString(u"B");
  text->m_Hash = HashVariableName(u"B");
  text->m_pString = std::make_unique<WString>(u"carried");
  g_SavedVariables.Insert(std::move(text));
  {
    SaveDBScope db;
    g_SaveDB.WriteHeader(1, SAVEDATA2{});
    g_SaveDB.WriteValueData(1, g_SavedVariables);
    db.Commit();
  }
  const std::string blob = Query("SELECT value_data FROM entry WHERE number=1;").at(0);
  // By ascending hash: "A", then "B" (a string, word 0), then "C".
  const std::string expected = std::string("A\0\xfe\xff\xff\xff", 6) + std::string("B\0\0\0\0\0", 6) +
                               std::string("C\0\x78\x56\x34\x12", 6) + std::string(1, '\0');
  EXPECT_EQ(blob, expected);
  SaveDBScope db;
  const std::vector<SavedVariable> back = g_SaveDB.ReadValueData(1);
  db.Commit();
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0], SavedVariable("A", -2));
  EXPECT_EQ(back[1], SavedVariable("B", 0));
  EXPECT_EQ(back[2], SavedVariable("C", 0x12345678));
}

TEST_F(SaveRecords, DamagedBlobsAreReadWithinTheirBounds) {
  // Names: a last one without its zero is dropped.
  EXPECT_EQ(DecodeNameList(reinterpret_cast<const uint8_t*>("AB\0CD"), 5), std::vector<std::string>{"AB"});
  EXPECT_TRUE(DecodeNameList(nullptr, 0).empty());
  // Variables: an item whose value word is cut off ends the list.
  EXPECT_EQ(DecodeVariables(reinterpret_cast<const uint8_t*>("A\0\1\0\0\0B\0\1"), 9).size(), 1u);
  EXPECT_TRUE(DecodeVariables(reinterpret_cast<const uint8_t*>("NAME"), 4).empty());
  // A slot record's comment and resume buffers without terminators stay inside their fields.
  std::vector<uint8_t> raw(kSaveDataSize, 'x');
  SAVEDATA2 r;
  ASSERT_TRUE(DecodeSaveData(raw.data(), raw.size(), &r));
  EXPECT_EQ(std::strlen(r.m_Header.m_Comment), kCommentSize - 1);
  std::u16string name;
  EXPECT_FALSE(GetSceneStateName(r.m_Scene[0], &name)) << "a name without its NUL is not used";
  EXPECT_FALSE(DecodeSaveData(raw.data(), raw.size() - 1, &r));
  EXPECT_FALSE(DecodeCommon(raw.data(), kCommonSize + 1, nullptr));
}

TEST_F(SaveRecords, EntryStatementsOnEmptyAndOccupiedSlots) {
  SaveDBScope db;
  g_SaveDB.WriteHeader(93, SAVEDATA2{});
  g_SaveDB.WriteHeader(95, SAVEDATA2{});
  g_SaveDB.WriteHeader(99, SAVEDATA2{});
  EXPECT_EQ(g_SaveDB.FindNewestQuickSave(), 92);
  g_SaveDB.MoveEntry(98, 99);  // 98 is empty: nothing changes
  EXPECT_TRUE(g_SaveDB.EntryExists(99));
  g_SaveDB.MoveEntry(95, 96);
  EXPECT_FALSE(g_SaveDB.EntryExists(95));
  EXPECT_TRUE(g_SaveDB.EntryExists(96));
  g_SaveDB.ClearBacklog(93);
  g_SaveDB.SetComment(93, "a comment much longer than the thirty-five bytes the field holds");
  g_SaveDB.SetComment(50, "empty slot");  // nothing
  g_SaveDB.DeleteEntry(99);
  db.Commit();
  EXPECT_EQ(Numbers(), (std::vector<int>{93, 96}));
  EXPECT_EQ(Query("SELECT backlog FROM entry;"), (std::vector<std::string>(2, "<null>")));
  SAVEHEADER h;
  ReadSlotHeader(93, &h);
  EXPECT_EQ(std::string(h.m_Comment), std::string("a comment much longer than the thirty-five bytes").substr(0, 35));
}

}  // namespace
