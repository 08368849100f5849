// The CG album on the sample archives: locked and unlocked entries, hover frames, paging, the
// picture show and its early end, the music, and what it leaves behind.
#include "script/screens/album.h"

#include "extrasfixture.h"
#include "lib/sjis.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "script/screens/sceneplay.h"
#include "sound/sound.h"

namespace {

using screenstest::ExtrasTest;

// The sample layout's places and the thumbnail strip's colours.
constexpr platform::Point kEntry[3] = {{90, 150}, {330, 150}, {570, 150}};
constexpr platform::Point kExit{700, 556}, kPrev{90, 556}, kNext{240, 556};
constexpr uint32_t kRowColour[4] = {0xC07848, 0x3860A0, 0x588040, 0x806090};
constexpr uint32_t kLockedColour = 0x303030;
constexpr uint32_t kFrameNormal = 0x605040, kFrameLit = 0xF8E0A0;

class AlbumTest : public ExtrasTest {
 protected:
  void Unlock(std::initializer_list<const char*> names) {
    for (const char* n : names) g_AlbumNames->push_back(n);
  }
  // The inner colour and the frame colour of the thumbnail at p.
  uint32_t Inner(platform::Point p) { return Pixel(p.x + 20, p.y + 20); }
  uint32_t Frame(platform::Point p) { return Pixel(p.x + 1, p.y + 1); }

  std::vector<std::u16string> shown;
  int viewerAnswer = 1;
  CgViewer viewer = [this](const char16_t* name) {
    shown.push_back(name);
    return viewerAnswer;
  };
};

TEST_F(AlbumTest, EntriesFollowTheAlbumListWithoutRegardToCaseAndOnlyUnlockedOnesLight) {
  Unlock({"h01", "H03"});
  uint32_t inner[3] = {}, lockedHover = 0, openHover = 0, openAfter = 0;
  ThenWait(2);
  Then([&] {
    for (int i = 0; i < 3; ++i) inner[i] = Inner(kEntry[i]);
    return true;
  });
  ThenMove({kEntry[1].x + 50, kEntry[1].y + 50});
  ThenWait(1);
  Then([&] { return lockedHover = Frame(kEntry[1]), true; });
  ThenMove({kEntry[0].x + 50, kEntry[0].y + 50});
  ThenWait(1);
  Then([&] { return openHover = Frame(kEntry[0]), true; });
  ThenMove({400, 400});
  ThenWait(1);
  Then([&] { return openAfter = Frame(kEntry[0]), true; });
  ThenClick({kEntry[1].x + 50, kEntry[1].y + 50});  // locked: nothing
  ThenWait(2);
  ThenClick({400, 400}, 1);
  RunCGAlbum(sources, viewer);

  EXPECT_EQ(inner[0], kRowColour[0]);
  EXPECT_EQ(inner[1], kLockedColour) << "H02 is not in the album list";
  EXPECT_EQ(inner[2], kRowColour[2]);
  EXPECT_EQ(lockedHover, kFrameNormal) << "a locked entry keeps the locked thumbnail";
  EXPECT_EQ(openHover, kFrameLit);
  EXPECT_EQ(openAfter, kFrameNormal);
  EXPECT_TRUE(shown.empty()) << "a locked entry cannot be chosen";
  EXPECT_EQ(ScreenExtras(), 0) << "the album leaves nothing shown";
  EXPECT_EQ(g_PlayingSounds[SOUND_BGM], u"ALBUM") << "the album music goes on after the album";
}

TEST_F(AlbumTest, PagesTurnWithTheirButtonsAndThumbnailRowsFollowTheGlobalIndex) {
  Unlock({"H02", "E01"});
  // The page picture holds the buttons' normal frames in place, so a hidden button shows as
  // one that never lights.
  constexpr uint32_t kButtonLit = 0xF8E0A0;
  uint32_t firstPage = 0, secondPage = 0, prevOnFirst = 0, nextOnFirst = 0, nextOnSecond = 0, prevOnSecond = 0;
  auto hover = [this](platform::Point p, uint32_t* out) {
    ThenMove(p);
    ThenWait(2);
    Then([this, p, out] { return *out = Pixel(p.x, p.y - 12), true; });
  };
  ThenWait(2);
  Then([&] { return firstPage = Inner(kEntry[1]), true; });
  hover(kPrev, &prevOnFirst);
  hover(kNext, &nextOnFirst);
  ThenClick(kPrev);  // hidden on the first page: nothing
  ThenWait(2);
  ThenClick(kNext);
  ThenWait(2);
  Then([&] { return secondPage = Inner(kEntry[0]), true; });
  hover(kPrev, &prevOnSecond);
  hover(kNext, &nextOnSecond);
  ThenClick(kNext);  // hidden on the last page: nothing
  ThenWait(2);
  ThenClick({kEntry[0].x + 50, kEntry[0].y + 50});
  ThenWait(2);
  ThenClick(kExit);
  RunCGAlbum(sources, viewer);

  EXPECT_EQ(firstPage, kRowColour[1]);
  EXPECT_EQ(secondPage, kRowColour[3]) << "page 2's first entry uses the row after page 1's last";
  EXPECT_NE(prevOnFirst, kButtonLit) << "no previous page on the first";
  EXPECT_EQ(nextOnFirst, kButtonLit);
  EXPECT_EQ(prevOnSecond, kButtonLit);
  EXPECT_NE(nextOnSecond, kButtonLit) << "no next page on the last";
  EXPECT_EQ(shown, (std::vector<std::u16string>{u"E010000", u"E011000"})) << "the second page's entry, in order";
}

TEST_F(AlbumTest, ARightPressInThePictureShowEndsItEarly) {
  Unlock({"H03"});
  viewerAnswer = 0;
  ThenWait(2);
  ThenClick({kEntry[2].x + 50, kEntry[2].y + 50});
  ThenWait(2);
  ThenClick({10, 10}, 1);
  RunCGAlbum(sources, viewer);
  EXPECT_EQ(shown, (std::vector<std::u16string>{u"H030000"}));
}

TEST_F(AlbumTest, ATransferRequestReleasesEverythingAndGoesOn) {
  ThenWait(3);
  Then([] { return g_TransferRequest = 1, true; });
  try {
    RunCGAlbum(sources, viewer);
    ADD_FAILURE() << "the album returned";
  } catch (const ScriptException& e) {
    EXPECT_EQ(e.m_Code, 0);
  }
  EXPECT_EQ(ScreenExtras(), 0);
}

// A layout of its own: no pages, or a strip too small for the rows it counts.
TEST(AlbumPieces, ClippedFramesNeverReachPastTheirPicture) {
  DxDraw::DxSurface* strip = DxDraw::CreateSurface(32);
  strip->Create(280, 210);
  const DxDraw::FrameRecord inside = ClippedFrame(strip, {0, 105, 140, 210});
  EXPECT_EQ(inside.source, (platform::Rect{0, 105, 140, 210}));
  EXPECT_EQ(inside.width, 140);
  const DxDraw::FrameRecord partly = ClippedFrame(strip, {140, 140, 280, 245});
  EXPECT_EQ(partly.source, (platform::Rect{140, 140, 280, 210}));
  EXPECT_EQ(partly.height, 70);
  const DxDraw::FrameRecord outside = ClippedFrame(strip, {0, 420, 140, 525});
  EXPECT_EQ(outside.width, 0);
  EXPECT_EQ(outside.height, 0);
  strip->Release();
}

}  // namespace

namespace {

// A folder archive whose layouts have no pages: neither screen builds anything (no page picture
// exists to be loaded) and both return at once.
TEST_F(AlbumTest, LayoutsWithoutPagesReturnAtOnce) {
  const std::u16string folder = platform::Utf8ToWide(VARN_BINARY_DIR "/screens_nopages");
  ASSERT_TRUE(platform::EnsureFolder(folder));
  const std::string config =
      "<config><system/>"
      "<cgalbum exit=\"0,0,1,1,0,0,0,0\" prev=\"0,0,1,1,0,0,0,0\" next=\"0,0,1,1,0,0,0,0\"/>"
      "<sceneplay exit=\"0,0,1,1,0,0,0,0\" prev=\"0,0,1,1,0,0,0,0\" next=\"0,0,1,1,0,0,0,0\"/>"
      "</config>";
  ASSERT_TRUE(platform::WriteWholeFileAtomic(folder + u"/config.xml", config.data(), config.size()));
  ComRef<IArchive> empty(OpenDirArchive(folder));
  ASSERT_TRUE(empty);
  ScreenSources bare = sources;
  bare.archive = empty.Get();
  const uint64_t before = frames;
  RunCGAlbum(bare, viewer);
  RunScenePlay(bare);
  EXPECT_EQ(frames, before) << "no frame passed";
  EXPECT_EQ(ScreenExtras(), 0);
  platform::RemoveTree(folder);
}

}  // namespace

namespace {

// A folder archive of the test's own: a layout of two entries over a thumbnail strip of one row.
class SmallStripTest : public AlbumTest {
 protected:
  void SetUp() override {
    AlbumTest::SetUp();
    // One folder a test: ctest runs them side by side.
    folder = platform::Utf8ToWide(std::string(VARN_BINARY_DIR "/screens_smallstrip_") +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    platform::RemoveTree(folder);
    ASSERT_TRUE(platform::EnsureFolder(folder + u"/title"));
    const std::string config =
        "<config><system/>"
        "<cgalbum thumbsize=\"140,105\" exit=\"640,536,136,40,640,536,640,600\" "
        "prev=\"24,536,136,40,24,536,24,600\" next=\"176,536,136,40,176,536,176,600\">"
        "<page><cg pos=\"90,150\" flag=\"A\">P1</cg><cg pos=\"330,150\" flag=\"B\">P2</cg></page>"
        "</cgalbum></config>";
    ASSERT_TRUE(platform::WriteWholeFileAtomic(folder + u"/config.xml", config.data(), config.size()));
    Unlock({"A", "B"});
  }
  void TearDown() override {
    platform::RemoveTree(folder);
    AlbumTest::TearDown();
  }
  void WritePicture(const char16_t* name, int w, int h, uint32_t colour) {
    DxDraw::DxSurface* s = DxDraw::CreateSurface(32);
    s->Create(w, h);
    s->Fill(nullptr, colour, 255);
    EXPECT_TRUE(s->SaveBmp24((folder + u"/" + name + u".bmp").c_str()));
    s->Release();
  }

  std::u16string folder;
};

TEST_F(SmallStripTest, EntriesPastTheStripShowNothingAndStillWork) {
  WritePicture(u"title/cg_p1", 800, 640, 0x102030);
  WritePicture(u"title/cg_thumb1", 280, 105, 0xA0B0C0);  // row 0 only; row 1 and the locked row 2 lie past it
  ComRef<IArchive> small(OpenDirArchive(folder));
  ASSERT_TRUE(small);
  ScreenSources own = sources;
  own.archive = small.Get();
  uint32_t first = 0, second = 0;
  ThenWait(2);
  Then([&] {
    first = Inner(kEntry[0]);
    second = Inner(kEntry[1]);
    return true;
  });
  ThenClick({kEntry[1].x + 50, kEntry[1].y + 50});
  ThenWait(2);
  ThenClick({10, 10}, 1);
  RunCGAlbum(own, viewer);
  EXPECT_EQ(first, 0xA0B0C0u);
  EXPECT_EQ(second, 0x102030u) << "nothing of the strip, the page behind";
  EXPECT_EQ(shown, std::vector<std::u16string>{u"P2"});
}

TEST_F(SmallStripTest, AMissingPagePictureIsAnErrorNamingIt) {
  ComRef<IArchive> small(OpenDirArchive(folder));
  ASSERT_TRUE(small);
  ScreenSources own = sources;
  own.archive = small.Get();
  try {
    RunCGAlbum(own, viewer);
    ADD_FAILURE() << "the album opened";
  } catch (const ExceptionHandle& e) {
    EXPECT_NE(std::u16string(e.m_Message).find(u"title/cg_p1"), std::u16string::npos)
        << platform::WideToUtf8(e.m_Message);
  }
  EXPECT_EQ(ScreenExtras(), 0);
}

}  // namespace
