// The title screen, its extras and settings menus on the headless game with the sample title sheet:
// each button's result, the frames under the mouse, the prologue question, and the transfers.
#include <gtest/gtest.h>

#include "app/frame/framestep.h"
#include "lib/error.h"
#include "screenfixture.h"
#include "script/scenario.h"

namespace {

using screentest::ScreenTest;

enum { MANUAL = 0, START = 1, LOAD = 2, SETTINGS = 3, EXTRAS = 4, QUIT = 5 };
// The title's fade in takes frames 1 to 16; the menu reads the mouse from frame 17 on.
constexpr uint64_t kMenu = 20;
// The manual's close button.
constexpr platform::Point kManualClose{730, 555};

class TitleTest : public ScreenTest {
 protected:
  int Title() { return RunTitle(Parts()); }
};

TEST_F(TitleTest, EachButtonEndsTheTitleWithItsResult) {
  struct Case {
    const char* what;
    std::function<void(TitleTest&)> script;
    int result;
    std::vector<std::u16string> dialogs;
  };
  const Case cases[] = {
      {"start", [](TitleTest& t) { t.ClickAt(kMenu, Slot(START)); }, 1, {}},
      {"exit", [](TitleTest& t) { t.ClickAt(kMenu, Slot(QUIT)); }, 0, {}},
      {"load, line 4 chosen",
       [](TitleTest& t) {
         t.dialogs.loadAnswer = 4;
         t.ClickAt(kMenu, Slot(LOAD));
       },
       6,
       {u"load"}},
      {"load cancelled, then exit",
       [](TitleTest& t) {
         t.ClickAt(kMenu, Slot(LOAD));
         t.ClickAt(kMenu + 10, Slot(QUIT));
       },
       0,
       {u"load"}},
      {"manual closed, then exit",
       [](TitleTest& t) {
         t.ClickAt(kMenu, Slot(MANUAL));
         t.ClickAt(kMenu + 10, kManualClose);
         t.ClickAt(kMenu + 20, Slot(QUIT));
       },
       0,
       {}},
      {"settings: system settings, return, then exit",
       [](TitleTest& t) {
         t.ClickAt(kMenu, Slot(SETTINGS));
         t.ClickAt(kMenu + 10, Slot(0));
         t.ClickAt(kMenu + 20, Slot(5));
         t.ClickAt(kMenu + 30, Slot(QUIT));
       },
       0,
       {u"system"}},
      {"extras: album, right press, then exit",
       [](TitleTest& t) {
         t.ClickAt(kMenu, Slot(EXTRAS));
         t.ClickAt(kMenu + 10, Slot(0));
         t.ClickAt(kMenu + 20, Slot(3), 1);
         t.ClickAt(kMenu + 30, Slot(QUIT));
       },
       0,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    actions.clear();
    dialogs = screentest::FakeDialogs{};
    frames = 0;
    c.script(*this);
    EXPECT_EQ(Title(), c.result);
    EXPECT_EQ(dialogs.opened, c.dialogs);
    EXPECT_EQ(Children(), screenChildren) << "the title releases everything it showed";
  }
  EXPECT_EQ(extras.albums, 1);
  EXPECT_EQ(extras.replays, 0);
}

TEST_F(TitleTest, TheButtonUnderTheMouseShowsItsHighlightedFrame) {
  std::map<std::string, std::pair<uint32_t, uint32_t>> seen;  // slot 1 and slot 0 fills
  auto look = [&](const char* when) {
    return [this, &seen, when] {
      seen[when] = {Pixel(SlotFill(START).x, SlotFill(START).y), Pixel(SlotFill(0).x, SlotFill(0).y)};
    };
  };
  MoveAt(kMenu, Slot(START));
  At(kMenu + 2, look("over start"));
  MoveAt(kMenu + 3, platform::Point{100, 100});
  At(kMenu + 5, look("away"));
  At(kMenu + 6, [this] {
    stack.input->TapButton(0);  // a press outside every button does nothing
  });
  At(kMenu + 8, look("after a press outside"));
  ClickAt(kMenu + 10, Slot(QUIT));
  EXPECT_EQ(Title(), 0);
  EXPECT_EQ(seen["over start"], std::make_pair(uint32_t(kLitFill), uint32_t(kNormalFill)));
  EXPECT_EQ(seen["away"], std::make_pair(uint32_t(kNormalFill), uint32_t(kNormalFill)));
  EXPECT_EQ(seen["after a press outside"], std::make_pair(uint32_t(kNormalFill), uint32_t(kNormalFill)));
}

TEST_F(TitleTest, ThePrologueQuestionOnlyWithThePrologueSeen) {
  struct Case {
    bool seen;
    bool answer;
    int32_t skip;
    size_t questions;
  } const cases[] = {{false, true, 0, 0}, {true, true, 1, 1}, {true, false, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "seen " << c.seen << " answer " << c.answer);
    actions.clear();
    frames = 0;
    options.questions.clear();
    options.answer = c.answer;
    prologue.seen = c.seen;
    g_PrologueSkip = 7;
    ClickAt(kMenu, Slot(START));
    EXPECT_EQ(Title(), 1);
    EXPECT_EQ(g_PrologueSkip, c.skip);
    ASSERT_EQ(options.questions.size(), c.questions);
    if (c.questions) EXPECT_EQ(options.questions[0], u"プロローグをスキップしますか？");
  }
  g_PrologueSkip = 0;
}

TEST_F(TitleTest, TransfersEndTheTitleInTheFadesAndTheMenuAlike) {
  struct Case {
    const char* what;
    uint64_t frame;   // when the request is made
    int32_t request;  // 1 title, 2 load, 3 back
    bool quitFirst;   // exit is clicked first, so the request meets the fade out
    int result;
  } const cases[] = {
      {"title in the fade in", 5, 1, false, -1},
      {"load in the fade in", 5, 2, false, 9},
      {"load in the menu", kMenu, 2, false, 9},
      {"back in the menu", kMenu, 3, false, -1},
      {"load in the fade out replaces exit", kMenu + 5, 2, true, 9},
      {"title in the fade out replaces exit", kMenu + 5, 1, true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    actions.clear();
    frames = 0;
    g_PendingLoadSlot = 7;
    if (c.quitFirst) ClickAt(kMenu, Slot(QUIT));
    At(c.frame, [request = c.request] { g_TransferRequest = request; });
    EXPECT_EQ(Title(), c.result);
    // The frame that raises the transfer stops before its tasks, so the count misses it.
    if (c.quitFirst) EXPECT_EQ(frames, kMenu + 1 + 16 - 1) << "the fade out runs to its end";
    EXPECT_EQ(Children(), screenChildren);
  }
  g_PendingLoadSlot = 0;
}

TEST_F(TitleTest, ATransferInsideTheExtrasReachesTheTitleAfterTheirRelease) {
  extras.during = [] {
    g_TransferRequest = 1;
    WaitFrame();
  };
  ClickAt(kMenu, Slot(EXTRAS));
  ClickAt(kMenu + 5, Slot(1));
  EXPECT_EQ(Title(), -1);
  EXPECT_EQ(extras.replays, 1);
  EXPECT_EQ(Children(), screenChildren);
}

TEST_F(TitleTest, AQuitPassesThroughAndReleasesTheTitle) {
  At(kMenu, [] { g_QuitFlag = 1; });
  try {
    Title();
    ADD_FAILURE() << "the quit goes on";
  } catch (const ExceptionHandle& e) {
    EXPECT_TRUE(e.IsQuit());
  }
  g_QuitFlag = 0;
  EXPECT_EQ(Children(), screenChildren);
}

TEST_F(TitleTest, TheExtrasMenuReturnsOnARightPressAndNoKeyChooses) {
  bool extrasShown = false;
  ClickAt(kMenu, Slot(EXTRAS));
  MoveAt(kMenu + 5, Slot(0));
  At(kMenu + 6, [this] { stack.input->TapKey(platform::DIK_RETURN); });
  At(kMenu + 8, [&] { extrasShown = Pixel(SlotFill(0).x, SlotFill(0).y) == kLitFill; });
  ClickAt(kMenu + 10, Slot(0), 1);  // a right press over the album returns
  ClickAt(kMenu + 20, Slot(QUIT));
  EXPECT_EQ(Title(), 0);
  EXPECT_TRUE(extrasShown) << "the album button under the mouse is lit";
  EXPECT_EQ(extras.albums, 0) << "neither Enter nor the right press chooses the album";
}

TEST_F(TitleTest, TheSettingsMenuReturnsOnARightPressOverAButton) {
  ClickAt(kMenu, Slot(SETTINGS));
  ClickAt(kMenu + 5, Slot(0), 1);
  ClickAt(kMenu + 10, Slot(QUIT));
  EXPECT_EQ(Title(), 0);
  EXPECT_TRUE(dialogs.opened.empty());
}

TEST_F(TitleTest, AfterASettingsDialogItsButtonShowsTheNormalFrame) {
  uint32_t before = 0, during = 0, after = 0;
  ClickAt(kMenu, Slot(SETTINGS));
  MoveAt(kMenu + 3, Slot(1));
  At(kMenu + 5, [&] { before = Pixel(SlotFill(1).x, SlotFill(1).y); });
  ClickAt(kMenu + 5, Slot(1));
  // Frame kMenu + 7 is the one let pass before the dialog; the dialog is modal, so the mouse is
  // elsewhere when it closes.
  At(kMenu + 7, [&] { during = Pixel(SlotFill(1).x, SlotFill(1).y); });
  MoveAt(kMenu + 7, platform::Point{100, 100});
  At(kMenu + 10, [&] { after = Pixel(SlotFill(1).x, SlotFill(1).y); });
  ClickAt(kMenu + 12, Slot(5));
  ClickAt(kMenu + 17, Slot(QUIT));
  EXPECT_EQ(Title(), 0);
  EXPECT_EQ(dialogs.opened, std::vector<std::u16string>{u"sound"});
  EXPECT_EQ(before, kLitFill);
  EXPECT_EQ(during, kNormalFill) << "the chosen button shows its normal frame behind the dialog";
  EXPECT_EQ(after, kNormalFill);
}

class TitleMusicTest : public screentest::SoundScreenTest {};

TEST_F(TitleMusicTest, TheTitleMusicPlaysWhileTheTitleShowsAndAgainAfterTheAlbum) {
  std::vector<std::u16string> heard;
  extras.during = [&] {
    PlayBgmOrVoice(SOUND_BGM, u"TOWN", false);  // the album's own music
    heard.push_back(Music());
  };
  At(10, [&] { heard.push_back(Music()); });
  ClickAt(kMenu, Slot(EXTRAS));
  ClickAt(kMenu + 5, Slot(0));
  At(kMenu + 8, [&] { heard.push_back(Music()); });
  ClickAt(kMenu + 10, Slot(5));
  ClickAt(kMenu + 15, Slot(QUIT));
  EXPECT_EQ(RunTitle(Parts()), 0);
  EXPECT_EQ(heard, (std::vector<std::u16string>{u"TITLE", u"TOWN", u"TITLE"}));
  EXPECT_EQ(Sound::ChannelId(SOUND_BGM), -1) << "the title stops its music when it ends";
}

TEST(ScreensSplitCommaList, FieldsInOrderEmptyOnesKept) {
  struct Case {
    const char16_t* text;
    std::vector<std::u16string> fields;
  } const cases[] = {
      {u"H010000,H011000,H012000", {u"H010000", u"H011000", u"H012000"}},
      {u"", {u""}},
      {nullptr, {u""}},
      {u"A,,B", {u"A", u"", u"B"}},
      {u"A,", {u"A", u""}},
      {u" A , B", {u" A ", u" B"}},
  };
  std::vector<std::u16string> list = {u"left over"};
  for (const Case& c : cases) {
    SplitCommaList(list, c.text);
    EXPECT_EQ(list, c.fields);
  }
}

}  // namespace
