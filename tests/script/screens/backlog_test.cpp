// The backlog: its display lines, the scroll position it opens at and moves to by wheel, keys
// and the thumb, the faces that play a voice, and what it gives back on leaving.
#include "script/screens/backlog.h"

#include "extrasfixture.h"
#include "platform/input.h"
#include "script/settings.h"
#include "sound/sound.h"

namespace {

using screenstest::ExtrasTest;

TEST(BacklogLines, TextIsCutAtLineFeedsAndAfterFortySixCharacters) {
  struct Case {
    std::u16string text;
    std::vector<size_t> lengths;  // the display lines, the closing empty one included
  } cases[] = {
      {std::u16string(100, u'あ'), {46, 46, 8, 0}},
      {u"ab\ncd", {2, 2, 0}},
      {u"ab\n", {2, 0}},
      {u"", {0}},
      {std::u16string(46, u'x'), {46, 0}},
      {std::u16string(46, u'x') + u"\ny", {46, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    BackLogList list;
    list.Append(c.text, u"");
    const BacklogLayout layout = CutBacklogLines(list);
    std::vector<size_t> lengths;
    for (const BACKLOGLINE& l : layout.lines) lengths.push_back(l.length);
    EXPECT_EQ(lengths, c.lengths) << c.text.size() << " characters";
    EXPECT_TRUE(layout.voices.empty());
  }
  BackLogList voiced;
  voiced.Append(std::u16string(50, u'a'), u"TK001");
  voiced.Append(u"b", u"TK002");
  const BacklogLayout layout = CutBacklogLines(voiced);
  ASSERT_EQ(layout.voices.size(), 2u);
  EXPECT_EQ(layout.voices[0].rect, (platform::Rect{24, 0, 72, 48}));
  EXPECT_EQ(layout.voices[1].rect, (platform::Rect{24, 72, 72, 120})) << "beside the entry's first line, 3";
  EXPECT_EQ(std::u16string(layout.voices[1].voice), u"TK002");
}

class BacklogTest : public ExtrasTest {
 protected:
  // The sound layer on a null device, so that a voice is seen starting and stopping.
  void SetUp() override {
    ExtrasTest::SetUp();
    SoundConfig config;
    ASSERT_EQ(
        Sound::Initialize(std::shared_ptr<platform::AudioDevice>(platform::headless::CreateNullAudioDevice()), &config),
        0);
  }
  void TearDown() override {
    for (int i = 0; i < kSoundChannels; ++i) Sound::StopChannel(i);
    Sound::Finalize();
    ExtrasTest::TearDown();
  }
  // n one-line entries, each with the voice.
  void Fill(int n, const char16_t* voice = u"TK001") {
    for (int i = 0; i < n; ++i) g_BackLog->Append(u"line", voice);
  }
  // The screen rows of the faces shown: down the faces' middle column, each round face is a run
  // of pixels that are not black from 3 below its top to 3 above its bottom.
  std::vector<int> Faces() {
    std::vector<int> rows;
    bool inside = false;
    for (int y = 0; y < 600; ++y) {
      const bool lit = Pixel(48, y) != 0;
      if (lit && !inside) rows.push_back((y - 3 + 12) / 24);
      inside = lit;
    }
    return rows;
  }
  // The thumb sprite's top, or -1 with no thumb (the screen's fourth child of the backlog).
  int ThumbTop() {
    if (ScreenExtras() < 4) return -1;
    auto* thumb = dynamic_cast<DxDraw::DxSprite*>(stack.screen->GetLastChild());
    platform::Rect r;
    thumb->GetBounds(&r);
    return r.top;
  }
  bool VoicePlays() {
    const int32_t id = Sound::ChannelId(SOUND_VOICE);
    return id != -1 && Sound::StreamState(id) == 1;
  }
};

TEST_F(BacklogTest, OpensAtTheEndAndScrollsOnlyWhenThereAreMoreThanTwentyFiveLines) {
  struct Case {
    int entries;
    std::vector<int> opened, afterWheelUp, afterKeyDown;  // face rows
    int thumbOpened, thumbUp;
  } cases[] = {
      {1, {0}, {0}, {0}, -1, -1},
      {5, {0, 2, 4, 6, 8}, {0, 2, 4, 6, 8}, {0, 2, 4, 6, 8}, -1, -1},
      // 120 lines: top 95 at the end; the wheel takes it to 94, the down key back to 95.
      {60,
       {1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23},
       {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22},
       {1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23},
       532,
       94 * 496 / 95 + 36},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entries);
    g_BackLog = std::make_unique<BackLogList>();
    Fill(c.entries);
    steps.clear();
    nextStep = 0;
    std::vector<int> opened, up, down;
    int thumbOpened = -2, thumbUp = -2;
    ThenWait(2);
    Then([&] { return opened = Faces(), thumbOpened = ThumbTop(), true; });
    Then([&] { return stack.input->AddMotion(0, 0, 120), true; });
    ThenWait(2);
    Then([&] { return up = Faces(), thumbUp = ThumbTop(), true; });
    Then([&] { return stack.input->SetKey(platform::DIK_DOWN, true), true; });
    Then([&] { return stack.input->SetKey(platform::DIK_DOWN, false), true; });
    ThenWait(2);
    Then([&] { return down = Faces(), true; });
    Then([&] { return stack.input->TapKey(platform::DIK_ESCAPE), true; });
    RunBackLog(sources);
    EXPECT_EQ(opened, c.opened);
    EXPECT_EQ(up, c.afterWheelUp);
    EXPECT_EQ(down, c.afterKeyDown);
    EXPECT_EQ(thumbOpened, c.thumbOpened);
    EXPECT_EQ(thumbUp, c.thumbUp);
    EXPECT_EQ(ScreenExtras(), 0);
  }
}

TEST_F(BacklogTest, DraggingTheThumbScrollsAndAPressWithoutAThumbDoesNothing) {
  Fill(60);
  std::vector<int> dragged;
  int thumb = 0;
  ThenWait(2);
  Then([&] {
    stack.window->SetCursor({700, 540});
    stack.input->SetButton(0, true);
    return true;
  });
  ThenWait(2);
  ThenMove({700, 36 + 8});  // the grab offset is 8: the thumb's top to 36, the list's top
  ThenWait(2);
  Then([&] {
    stack.input->SetButton(0, false);
    dragged = Faces();
    thumb = ThumbTop();
    return true;
  });
  ThenClick({10, 10}, 1);
  RunBackLog(sources);
  EXPECT_EQ(dragged, (std::vector<int>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22}));
  EXPECT_EQ(thumb, 36);

  g_BackLog = std::make_unique<BackLogList>();
  Fill(5);
  steps.clear();
  nextStep = 0;
  std::vector<int> after;
  ThenWait(2);
  Then([&] {
    stack.window->SetCursor({700, 540});
    stack.input->SetButton(0, true);
    return true;
  });
  ThenWait(2);
  ThenMove({700, 100});
  ThenWait(2);
  Then([&] {
    stack.input->SetButton(0, false);
    after = Faces();
    return true;
  });
  ThenClick({10, 10}, 1);
  RunBackLog(sources);
  EXPECT_EQ(after, (std::vector<int>{0, 2, 4, 6, 8}));
}

TEST_F(BacklogTest, AFaceClickPlaysItsVoiceAClickBesideStopsItAndLeavingStopsIt) {
  Fill(1);
  bool started = false, stoppedBeside = false, again = false;
  ThenWait(2);
  // A step runs at the end of a frame, before the screen sees that frame's input: one frame more.
  ThenClick({48, 24});
  ThenWait(1);
  Then([&] { return started = VoicePlays() && g_PlayingSounds[SOUND_VOICE] == u"TK001", true; });
  ThenClick({300, 300});
  ThenWait(1);
  Then([&] { return stoppedBeside = !VoicePlays(), true; });
  ThenClick({48, 24});
  ThenWait(1);
  Then([&] { return again = VoicePlays(), true; });
  ThenClick({10, 10}, 1);
  RunBackLog(sources);
  EXPECT_TRUE(started) << "the face started its voice on channel 3";
  EXPECT_TRUE(stoppedBeside);
  EXPECT_TRUE(again);
  EXPECT_FALSE(VoicePlays()) << "leaving stops the voice";
}

TEST_F(BacklogTest, WithVoicesOffAFaceClickOnlyStopsTheVoice) {
  Fill(1);
  g_Setting.m_EnableVoice = 0;
  bool plays = true;
  ThenWait(2);
  ThenClick({48, 24});
  ThenWait(1);
  Then([&] { return plays = VoicePlays(), true; });
  ThenClick({10, 10}, 1);
  RunBackLog(sources);
  EXPECT_FALSE(plays);
}

TEST_F(BacklogTest, AVoiceWithoutAFaceAsksAtEveryRedrawThatShowsIt) {
  g_BackLog->Append(u"line", u"ZZ001");
  stack.backend->hboxes->Answer(platform::MsgResult::Ignore);
  stack.backend->hboxes->Answer(platform::MsgResult::Ignore);
  ThenWait(2);
  Then([] { return g_AppFlags |= APPFLAG_FONT_CHANGED, true; });  // a font change redraws
  ThenWait(2);
  ThenClick({10, 10}, 1);
  RunBackLog(sources);
  const auto& shown = stack.backend->hboxes->Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, u"Assert(BackLog);\nFile script/scr_gui, line 3277.  ボイス番号が規定外です");
  EXPECT_TRUE(g_AppFlags & APPFLAG_FONT_CHANGED) << "the message window is told to reprint";
  g_AppFlags = 0;
}

TEST_F(BacklogTest, ATransferRequestReleasesTheScreenAndGoesOn) {
  Fill(30);
  ThenWait(2);
  ThenClick({48, 24});
  Then([] { return g_TransferRequest = 2, true; });
  try {
    RunBackLog(sources);
    ADD_FAILURE() << "the backlog returned";
  } catch (const ScriptException& e) {
    EXPECT_EQ(e.m_Code, 1);
  }
  EXPECT_EQ(ScreenExtras(), 0);
  EXPECT_FALSE(VoicePlays());
}

}  // namespace
