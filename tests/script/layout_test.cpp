// Tests of the layout file reader: values, defaults, required parts, bad numbers and the sample game's file.
#include "script/layout.h"

#include <gtest/gtest.h>

#include <string>

#include "lib/sjis.h"
#include "tests/script/errorof.h"
#include "tests/script/sampledata.h"

namespace {

using scripttest::ErrorOf;

const std::u16string kSystem =
    u"<config><system>"
    u"<name first='朝霧' last='湊'/>"
    u"<title menu='520,262'/>"
    u"<ending credit='3'/>"
    u"<bgm mode='title' name='ONE'/><bgm mode='cgmode' name='ALBUM'/>"
    u"<bgm mode='title' name='TWO'/><bgm mode='other' name='NONE'/>"
    u"<chr><pos name='a' x='200'/><pos name='*' x=' -7'/></chr>"
    u"<chl><pos name='B' x='40px'/></chl>"
    u"<backlog><face chr=' b c' number='4'/><face chr='a' number='x'/></backlog>"
    u"</system></config>";

const std::u16string kAlbum =
    u"<config><cgalbum exit='1,2,3,4,5,6,7,8' prev='9,10,11,12,13,14,15,16' next='1,2,3'>"
    u"<page><cg pos='90,150' flag='H01'>H010000, H011000</cg><cg pos='5' flag='H02'/></page>"
    u"<page/></cgalbum></config>";

void Load(const std::u16string& doc) {
  const std::string text = WideToSjis(doc);
  LoadConfigXml(text.data(), uint32_t(text.size()));
}

void ReadAlbum(const std::u16string& doc, LAYOUTSCREEN& screen) {
  const std::string text = WideToSjis(doc);
  ReadScreenLayout(text.data(), uint32_t(text.size()), u"cgalbum", screen);
}

std::u16string Replace(std::u16string doc, const std::u16string& from, const std::u16string& to) {
  const size_t at = doc.find(from);
  EXPECT_NE(at, std::u16string::npos) << "fixture lacks the text to replace";
  if (at != std::u16string::npos) doc.replace(at, from.size(), to);
  return doc;
}

class LayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_FamilyName[0] = g_GivenName[0] = 0;
    g_TitleMenuPos = {-1, -1};
    g_CreditCount = -1;
    g_TitleBgm.clear();
    g_AlbumBgm.clear();
    g_ChrPositions.assign(2, {u'Z', 9});
    g_ChlPositions.clear();
  }
};

TEST_F(LayoutTest, ReadsTheSystemValues) {
  Load(kSystem);
  EXPECT_EQ(std::u16string(g_FamilyName), u"朝霧");
  EXPECT_EQ(std::u16string(g_GivenName), u"湊");
  EXPECT_EQ(g_TitleMenuPos.x, 520);
  EXPECT_EQ(g_TitleMenuPos.y, 262);
  EXPECT_EQ(g_CreditCount, 3);
  EXPECT_EQ(g_TitleBgm, u"TWO") << "a later title bgm replaces an earlier one";
  EXPECT_EQ(g_AlbumBgm, u"ALBUM");
  ASSERT_EQ(g_ChrPositions.size(), 2u) << "the table is emptied first";
  EXPECT_EQ(g_ChrPositions[0].letter, u'A');
  EXPECT_EQ(g_ChrPositions[0].x, 200);
  EXPECT_EQ(g_ChrPositions[1].letter, u'*');
  EXPECT_EQ(g_ChrPositions[1].x, -7);
  ASSERT_EQ(g_ChlPositions.size(), 1u);
  EXPECT_EQ(g_ChlPositions[0].letter, u'B');
  EXPECT_EQ(g_ChlPositions[0].x, 40);

  const std::string text = WideToSjis(kSystem);
  const std::vector<BACKLOGFACE> faces = ReadBacklogFaces(text.data(), uint32_t(text.size()));
  ASSERT_EQ(faces.size(), 2u);
  EXPECT_EQ(faces[0].letter, u'B');
  EXPECT_EQ(faces[0].number, 4);
  EXPECT_EQ(faces[1].letter, u'A');
  EXPECT_EQ(faces[1].number, 0) << "an unparsable number keeps its start value";
}

TEST_F(LayoutTest, NumbersThatDoNotParseKeepTheirValue) {
  struct Case {
    std::u16string menu, credit;
    int x, y, count;
  } cases[] = {
      {u" 5, 6", u" +4", 5, 6, 4},       {u"5 ,6", u"4x", 5, -1, 4},   {u"x,6", u"", -1, -1, -1},
      {u"7", u"99999999999", 7, -1, -1}, {u"-3,-4", u"-", -3, -4, -1},
  };
  for (const Case& c : cases) {
    SetUp();
    Load(Replace(Replace(kSystem, u"520,262", c.menu), u"credit='3'", u"credit='" + c.credit + u"'"));
    const std::string what(c.menu.begin(), c.menu.end());
    EXPECT_EQ(g_TitleMenuPos.x, c.x) << what;
    EXPECT_EQ(g_TitleMenuPos.y, c.y) << what;
    EXPECT_EQ(g_CreditCount, c.count) << what;
  }
}

TEST_F(LayoutTest, MissingPartsAreNamedErrors) {
  struct Case {
    std::u16string from, to, message;
  } cases[] = {
      {u"<config>", u"<config", u"config.xml: the document does not parse"},
      {u"</system>", u"", u"config.xml: the document does not parse"},
      {u"<system>", u"<other>", u"config.xml: the element \"system\" is missing"},
      {u"<name ", u"<nom ", u"config.xml: the element \"system/name\" is missing"},
      {u"<title ", u"<titl ", u"config.xml: the element \"system/title\" is missing"},
      {u"<ending ", u"<end ", u"config.xml: the element \"system/ending\" is missing"},
      {u"<chl>", u"<chx>", u"config.xml: the element \"system/chl\" is missing"},
      {u"first=", u"firsts=", u"config.xml: the element \"system/name\" has no attribute \"first\""},
      {u"last=", u"lasts=", u"config.xml: the element \"system/name\" has no attribute \"last\""},
      {u"menu=", u"menus=", u"config.xml: the element \"system/title\" has no attribute \"menu\""},
      {u"credit=", u"credits=", u"config.xml: the element \"system/ending\" has no attribute \"credit\""},
      {u"name='a'", u"", u"config.xml: the element \"pos\" has no attribute \"name\""},
      {u"x='40px'", u"", u"config.xml: the element \"pos\" has no attribute \"x\""},
  };
  for (const Case& c : cases) {
    SetUp();
    EXPECT_EQ(ErrorOf([&] { Load(Replace(kSystem, c.from, c.to)); }), c.message);
  }
  EXPECT_EQ(ErrorOf([] { Load(u""); }), u"config.xml: the document does not parse");
  EXPECT_EQ(ErrorOf([] { LoadConfigXml(nullptr, 0); }), u"config.xml: the document does not parse");
  EXPECT_EQ(ErrorOf([] { LoadConfigXml(static_cast<IArchive*>(nullptr)); }),
            u"config.xml: the file is missing from the script archive");

  const std::u16string noFace = Replace(kSystem, u"number='4'", u"");
  const std::string text = WideToSjis(noFace);
  EXPECT_EQ(ErrorOf([&] { ReadBacklogFaces(text.data(), uint32_t(text.size())); }),
            u"config.xml: the element \"face\" has no attribute \"number\"");
}

TEST_F(LayoutTest, BgmAttributesDefaultToEmpty) {
  Load(Replace(Replace(kSystem, u"name='TWO'", u""), u"mode='cgmode'", u""));
  EXPECT_EQ(g_TitleBgm, u"") << "a bgm without a name sets an empty name";
  EXPECT_EQ(g_AlbumBgm, u"") << "a bgm without a mode is ignored";
}

TEST_F(LayoutTest, LongNamesAreCutAtACharacter) {
  std::u16string family(70, u'霧');
  std::u16string given(10, u'a');
  given += std::u16string(60, u'ｱ');
  Load(Replace(Replace(kSystem, u"朝霧", family), u"last='湊'", u"last='" + given + u"'"));
  EXPECT_EQ(std::u16string(g_FamilyName), family.substr(0, kPlayerNameSize - 1));
  EXPECT_EQ(std::u16string(g_GivenName), given.substr(0, kPlayerNameSize - 1));
}

TEST_F(LayoutTest, ReadsAScreenLayout) {
  LAYOUTSCREEN screen;
  EXPECT_EQ(screen.next.hy, 0) << "buttons start at zero";
  ReadAlbum(kAlbum, screen);
  EXPECT_EQ(screen.width, 140);
  EXPECT_EQ(screen.height, 105);
  EXPECT_EQ(screen.thumbX, 0);
  EXPECT_EQ(screen.thumbPitch, 0);
  EXPECT_EQ(screen.exit.x, 1);
  EXPECT_EQ(screen.exit.hy, 8);
  EXPECT_EQ(screen.prev.nx, 13);
  EXPECT_EQ(screen.next.h, 0) << "a short button value leaves the rest at zero";
  EXPECT_EQ(screen.next.y, 2);
  ASSERT_EQ(screen.pages.size(), 2u);
  ASSERT_EQ(screen.pages[0].cgs.size(), 2u);
  EXPECT_TRUE(screen.pages[1].cgs.empty());
  const LAYOUTCG& first = screen.pages[0].cgs[0];
  EXPECT_EQ(first.pos.x, 90);
  EXPECT_EQ(first.pos.y, 150);
  EXPECT_EQ(first.flag, u"H01");
  EXPECT_EQ(first.pictures, (std::vector<std::u16string>{u"H010000", u"H011000"}));
  EXPECT_EQ(screen.pages[0].cgs[1].pos.x, 5);
  EXPECT_TRUE(screen.pages[0].cgs[1].pictures.empty());

  ReadAlbum(Replace(kAlbum, u"<cgalbum ", u"<cgalbum width='wide' height='80' thumbsize='12,30' "), screen);
  EXPECT_EQ(screen.width, 140) << "an unparsable width keeps 140";
  EXPECT_EQ(screen.height, 80);
  EXPECT_EQ(screen.thumbX, 12);
  EXPECT_EQ(screen.thumbPitch, 30);
  EXPECT_EQ(screen.pages.size(), 2u) << "pages are replaced, not appended";

  struct Case {
    std::u16string from, to, message;
  } cases[] = {
      {u"<cgalbum ", u"<album ", u"config.xml: the element \"cgalbum\" is missing"},
      {u"exit=", u"exits=", u"config.xml: the element \"cgalbum\" has no attribute \"exit\""},
      {u"next=", u"nexts=", u"config.xml: the element \"cgalbum\" has no attribute \"next\""},
      {u"pos='5'", u"", u"config.xml: the element \"cg\" has no attribute \"pos\""},
      {u"flag='H02'", u"", u"config.xml: the element \"cg\" has no attribute \"flag\""},
  };
  for (const Case& c : cases) {
    LAYOUTSCREEN s;
    EXPECT_EQ(ErrorOf([&] { ReadAlbum(Replace(kAlbum, c.from, c.to), s); }), c.message);
  }
}

TEST_F(LayoutTest, ReadsTheSampleGamesFile) {
  ComRef<IArchive> script = scripttest::OpenSampleArchive("script.pux");
  ASSERT_TRUE(script) << "the build makes data/script.pux";
  LoadConfigXml(script.Get());
  EXPECT_EQ(std::u16string(g_FamilyName), u"朝霧");
  EXPECT_EQ(std::u16string(g_GivenName), u"湊");
  EXPECT_EQ(g_TitleMenuPos.x, 520);
  EXPECT_EQ(g_TitleMenuPos.y, 262);
  EXPECT_EQ(g_CreditCount, 3);
  EXPECT_EQ(g_TitleBgm, u"TITLE");
  ASSERT_EQ(g_ChlPositions.size(), 4u);
  EXPECT_EQ(g_ChlPositions[1].letter, u'B');
  EXPECT_EQ(g_ChlPositions[1].x, 360);

  LAYOUTSCREEN album;
  ReadScreenLayout(script.Get(), u"cgalbum", album);
  EXPECT_EQ(album.thumbPitch, 105);
  EXPECT_EQ(album.prev.hy, 600);
  ASSERT_EQ(album.pages.size(), 2u);
  ASSERT_EQ(album.pages[0].cgs.size(), 3u);
  EXPECT_EQ(album.pages[0].cgs[2].pictures, (std::vector<std::u16string>{u"H030000", u"H031000"}));

  LAYOUTSCREEN replay;
  ReadScreenLayout(script.Get(), u"sceneplay", replay);
  ASSERT_EQ(replay.pages.size(), 1u);
  ASSERT_EQ(replay.pages[0].cgs.size(), 2u);
  EXPECT_EQ(replay.pages[0].cgs[1].flag, u"HILL");

  const std::vector<BACKLOGFACE> faces = ReadBacklogFaces(script.Get());
  ASSERT_EQ(faces.size(), 3u);
  EXPECT_EQ(faces[0].letter, u'T') << "the face of the voices TK001 to TK004";
  EXPECT_EQ(faces[1].letter, u'S');
  EXPECT_EQ(faces[1].number, 1);
  EXPECT_EQ(faces[2].letter, u'C');
}

}  // namespace
