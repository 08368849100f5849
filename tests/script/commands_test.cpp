// The picture, sound, scene-flag, window, ending and flash commands: the resume buffers each one
// writes, the album record, black at once while skipping, the flash, the endings' return to the
// title, and the sound commands on the mixer's output through the null audio device.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/frame/misc.h"
#include "gamefixture.h"
#include "platform/audio.h"
#include "platform/mixer.h"
#include "platform/utf.h"
#include "script/images.h"
#include "script/scenario.h"
#include "script/sounds.h"
#include "sound/sound.h"
#include "tests/sanitizer.h"

namespace {

using scripttest::GameTest;

// Runs the statements one after the other as the run loop would, in whatever scene there is.
void ExecuteAll(ScriptStateGroup_App& group) {
  for (TextScript::ScriptStateNode* n = group.First(); n;) n = n->Execute();
}

class CommandsTest : public GameTest {
 protected:
  void Execute(std::u16string_view text) { ExecuteAll(Compile(text)); }
};

TEST_F(CommandsTest, ResumeBuffersAreWrittenByTheNamedCommandsAndNoOther) {
  // -1: the buffer keeps what it held (state 7, "OLD").
  struct Want {
    int state;
    const char* name;
  };
  constexpr Want kKept{-1, ""};
  struct Case {
    const char16_t* script;
    Want buffers[kSceneBuffers];  // background, characters, music, effect 1, effect 2
  };
  const Case cases[] = {
      {u".GRP BLACK\n", {{0, ""}, {0, ""}, kKept, kKept, kKept}},
      {u".GRP white\n", {{1, ""}, {0, ""}, kKept, kKept, kKept}},
      {u".GRP H010000\n", {{2, "H010000"}, {0, ""}, kKept, kKept, kKept}},
      {u".CHR A010101\n", {{3, "A010101"}, {0, ""}, kKept, kKept, kKept}},
      {u".CHL B000100\n", {kKept, {1, "B000100"}, kKept, kKept, kKept}},
      {u".WAV TOWN\n", {kKept, kKept, {1, "TOWN"}, kKept, kKept}},
      {u".WAV 00\n", {kKept, kKept, {0, ""}, kKept, kKept}},
      {u".S1A BELL\n", {kKept, kKept, kKept, {1, "BELL"}, kKept}},
      {u".S1B BELL\n", {kKept, kKept, kKept, {2, "BELL"}, kKept}},
      {u".S1M\n", {kKept, kKept, kKept, {0, ""}, kKept}},
      {u".S2A BELL\n", {kKept, kKept, kKept, kKept, {1, "BELL"}}},
      {u".S2B BELL\n", {kKept, kKept, kKept, kKept, {2, "BELL"}}},
      {u".S2M\n", {kKept, kKept, kKept, kKept, {0, ""}}},
      {u".VOI TK001\n", {kKept, kKept, kKept, kKept, kKept}},
      {u".VOI 00\n", {kKept, kKept, kKept, kKept, kKept}},
      {u".SFS RIVER\n", {kKept, kKept, kKept, kKept, kKept}},
      {u".TOF\n", {kKept, kKept, kKept, kKept, kKept}},
      {u".FLS 1\n", {kKept, kKept, kKept, kKept, kKept}},
      {u".END1\n", {kKept, kKept, kKept, kKept, kKept}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::WideToUtf8(c.script));
    for (int b = 0; b < kSceneBuffers; ++b) SetSceneState(SceneBuffer(b), 7, u"OLD");
    try {
      Execute(c.script);
    } catch (const ScriptException& e) {
      EXPECT_EQ(e.m_Code, 0) << "only the ending leaves, for the title";
    }
    for (int b = 0; b < kSceneBuffers; ++b) {
      const SCENESTATE& s = g_SceneState[b];
      const Want& w = c.buffers[b];
      if (w.state < 0) {
        EXPECT_EQ(s.m_State, 7) << platform::WideToUtf8(SceneBufferName(SceneBuffer(b))) << " was written";
        EXPECT_STREQ(s.m_Name, "OLD") << platform::WideToUtf8(SceneBufferName(SceneBuffer(b)));
      } else {
        EXPECT_EQ(s.m_State, w.state) << platform::WideToUtf8(SceneBufferName(SceneBuffer(b)));
        EXPECT_STREQ(s.m_Name, w.name) << platform::WideToUtf8(SceneBufferName(SceneBuffer(b)));
      }
    }
  }
  ClearSceneStates();
}

TEST_F(CommandsTest, TheAlbumGetsEachBaseOnce) {
  g_AlbumNames = std::make_unique<std::vector<std::string>>();
  g_AlbumNames->push_back("h03");
  // The first three characters, compared without regard to case: the fourth does not count.
  Execute(u".GRP H010000\n.GRP H011000\n.GRP H01\n.GRP H020000\n.GRP H030000\n.GRP BLACK\n.GRP WHITE\n");
  EXPECT_EQ(*g_AlbumNames, (std::vector<std::string>{"h03", "H01", "H02"}));
  g_AlbumNames.reset();
  ClearSceneStates();
}

TEST_F(CommandsTest, ScenesAreRecordedOnceInUpperCase) {
  Execute(u".SFS River\n.SFS RIVER\n.SFS hill\n.SFS river\n");
  EXPECT_EQ(group->m_RecordedNames, (std::vector<std::u16string>{u"RIVER", u"HILL"}));
}

TEST_F(CommandsTest, TheWindowOffClosesAShownWindowAndEndsThePage) {
  window->Show();
  g_PageText = 1;
  Execute(u".TOF\n");
  EXPECT_FALSE(window->IsShown());
  EXPECT_EQ(g_PageText, 0);
  Execute(u".TOF\n");  // already closed: nothing to wait for
  EXPECT_FALSE(window->IsShown());
}

TEST_F(CommandsTest, EndingsHoldTheBlackAndReturnToTheTitleTheRollOnlyForEndAndEnd2) {
  struct Case {
    const char16_t* script;
    int rolls;
  };
  for (const Case& c : {Case{u".END\n", 1}, Case{u".END1\n", 0}, Case{u".END2\n", 1}}) {
    SCOPED_TRACE(platform::WideToUtf8(c.script));
    screens.endingRolls = 0;
    window->Show();
    g_PageText = 1;
    reader = [this](uint64_t) {
      if (PageWaits()) Click();
    };
    const uint32_t start = stack.clock->Milliseconds();
    EXPECT_EQ(Run(std::u16string(u"あ\n\n") + c.script), 1) << "back to the title";
    EXPECT_EQ(screens.endingRolls, c.rolls);
    EXPECT_FALSE(window->IsShown());
    EXPECT_EQ(g_PageText, 0);
    EXPECT_GE(stack.clock->Milliseconds() - start, 3000u) << "the black is held for three seconds";
    EXPECT_EQ(layer->GetLastChild(), static_cast<ssView*>(window)) << "the black sprite was released";
  }
}

// ---- in the sample game's scene ----

class SceneCommands : public scripttest::SampleGameTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InstallSampleServices()) << "the sample data in " VARN_BINARY_DIR "/data";
    g_ScriptArchive = archive.Get();
    SetSceneState(SCENE_BACKGROUND, SCENE_BG_WHITE, nullptr);
    GameScene().BuildScene();
    WaitFrame();
  }
  void TearDown() override {
    GameScene().ReleaseScene();
    RemoveSampleServices();
    g_ScriptArchive = nullptr;
  }
  void Execute(std::u16string_view text) { ExecuteAll(Compile(text)); }
  uint32_t Centre() { return stack.Front().PixelAt(400, 300) & 0xFFFFFF; }
};

TEST_F(SceneCommands, BlackAndWhiteAtOnceWhileSkippingOrAtDisplaySpeedOne) {
  struct Case {
    const char* what;
    int32_t skip;
    uint8_t displaySpeed;
    bool fades;
  };
  const Case cases[] = {
      {"skip mode on", 1, 0, false},
      {"skip by Shift", 2, 0, false},
      {"pictures at once", 0, 1, false},
      {"neither: the fades", 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_SkipMode = c.skip;
    g_Setting.m_DisplaySpeed = c.displaySpeed;
    uint64_t before = frames;
    Execute(u".GRP BLACK\n");
    EXPECT_EQ(Centre(), 0x000000u) << "black on the screen when the command is done";
    if (c.fades) {
      EXPECT_GE(frames - before, 129u) << "the fade's 129 levels, a frame each";
    } else {
      EXPECT_EQ(frames - before, 1u) << "one frame, no fade";
      EXPECT_EQ(g_BackgroundSprite->m_Params.mode, 0u);
      EXPECT_TRUE(g_BackgroundState & BACKGROUND_PLAIN);
    }
    before = frames;
    Execute(u".GRP WHITE\n");
    EXPECT_EQ(Centre(), 0xFFFFFFu);
    EXPECT_EQ(frames - before >= 129u, c.fades) << "a fade of 129 frames, or one frame at once";
  }
  g_SkipMode = 0;
}

TEST_F(SceneCommands, TheFlashShowsItsCountAndLeavesWhite) {
  ShowBlackBackground();
  WaitFrame();
  int flashes = 0;
  bool white = false;
  reader = [&](uint64_t) {
    const bool now = (stack.Front().PixelAt(10, 10) & 0xFFFFFF) == 0xFFFFFF;
    if (now && !white) ++flashes;
    white = now;
  };
  Execute(u".PST N = 3\n.FLS N\n");
  EXPECT_EQ(flashes, 4) << "three flashes (the count is the variable N), then the white background";
  EXPECT_EQ(Centre(), 0xFFFFFFu);

  ShowBlackBackground();
  WaitFrame();
  white = false;
  flashes = 0;
  const uint64_t before = frames;
  Execute(u".FLS 0\n");
  EXPECT_EQ(frames - before, 1u) << "FLS 0 lets one frame pass";
  EXPECT_EQ(flashes, 1) << "only the white background of its end";
  EXPECT_EQ(Centre(), 0xFFFFFFu) << "FLS 0 still leaves white";
  EXPECT_EQ(stack.screen->GetLastChild(), static_cast<ssView*>(g_SceneRoot)) << "the flash sprite went";
}

TEST_F(SceneCommands, CharactersAndPicturesAreLeftForTheNextMessage) {
  g_BackgroundState = BACKGROUND_PLAIN;
  Execute(u".CHL B000100\n");
  EXPECT_EQ(g_BackgroundState, uint32_t(BACKGROUND_PLAIN | BACKGROUND_PENDING));
  EXPECT_EQ(Centre(), 0xFFFFFFu) << "nothing shown before the next message";
  reader = [&](uint64_t) {
    if (scripttest::ScenePageWaits()) Click();
  };
  Execute(u"あ\n\n");
  EXPECT_EQ(g_BackgroundState, 0u) << "the message showed what was composed";
}

// ---- the turn selection ----

using scripttest::kTurnChoiceLit;
using scripttest::kTurnChoicePlain;
constexpr auto ChoiceY = scripttest::TurnChoiceY;

// Jump-table line n goes to label Sn, which records n.
constexpr char kTurnTables[] = "S0\nS1\nS2\nS3\nS4\nS5\nS6\n";
constexpr char16_t kTurnScript[] =
    u".SSL TURN\n"
    u"\n.LAB S1\n.PST PICKED = 1\n.JMP DONE\n\n.LAB S2\n.PST PICKED = 2\n.JMP DONE\n"
    u"\n.LAB S3\n.PST PICKED = 3\n.JMP DONE\n\n.LAB S4\n.PST PICKED = 4\n.JMP DONE\n"
    u"\n.LAB S5\n.PST PICKED = 5\n.JMP DONE\n\n.LAB S6\n.PST PICKED = 6\n.JMP DONE\n"
    u"\n.LAB DONE\n";

class TurnSelection : public SceneCommands {
 protected:
  uint32_t At(int32_t x, int32_t y) { return stack.Front().PixelAt(x, y) & 0xFFFFFF; }
  bool ChoicesShown() { return scripttest::TurnChoicesShow(stack.Front()); }
};

TEST_F(TurnSelection, EachLayoutGivesItsSelectionsToTheJumpTable) {
  struct Case {
    const char* what;
    std::vector<const char16_t*> set;  // the variables set to 1
    std::vector<int32_t> selections;   // top to bottom
  };
  const Case cases[] = {
      {"four turns", {}, {1, 2, 3, 4}},
      {"A and B joined", {u"A010"}, {5, 3, 4}},
      {"C and D joined", {u"D010"}, {1, 2, 6}},
      {"both pairs", {u"B010", u"C010"}, {5, 6}},
  };
  for (const Case& c : cases) {
    for (int k = 0; k < int(c.selections.size()); ++k) {
      SCOPED_TRACE(std::string(c.what) + ", choice " + std::to_string(k));
      ScriptStateGroup_App& g = Compile(kTurnScript);
      g.ReadIVTables(kTurnTables, sizeof kTurnTables - 1);
      g_Variables.Clear();
      g_Variables.Set(u"TURN", 3);
      for (const char16_t* name : c.set) g_Variables.Set(name, 1);
      int phase = 0, waited = 0;
      bool litRight = false;
      reader = [&](uint64_t) {
        if (phase == 0 && ChoicesShown()) {
          stack.window->SetCursor(platform::Point{700, ChoiceY(k)});
          phase = 1;
        } else if (phase == 1 && ++waited == 3) {
          litRight = true;
          for (int j = 0; j < int(c.selections.size()); ++j)
            litRight = litRight && At(770, ChoiceY(j)) == (j == k ? kTurnChoiceLit : kTurnChoicePlain);
          ClickAt(platform::Point{700, ChoiceY(k)});
          phase = 2;
        }
      };
      menu.enabled.clear();
      try {
        ExecuteAll(g);
      } catch (const TextScript::ScriptError2& e) {
        ADD_FAILURE() << platform::WideToUtf8(e.m_Message);
      } catch (const ExceptionHandle& e) {
        ADD_FAILURE() << platform::WideToUtf8(e.m_Message);
      }
      EXPECT_TRUE(litRight) << "the hovered choice alone shows its highlighted picture";
      EXPECT_EQ(Var(u"PICKED"), c.selections[k]);
      WaitFrame();
      EXPECT_EQ(At(400, 300), 0x000000u) << "the background is left black";
      EXPECT_EQ(stack.screen->GetLastChild(), static_cast<ssView*>(g_SceneRoot)) << "the choices went";
      EXPECT_FALSE(menu.IsEnabled(MENU_SAVE));
      EXPECT_FALSE(menu.IsEnabled(MENU_VARIABLES));
      EXPECT_TRUE(menu.enabled.count(MENU_SAVE)) << "save was offered during the selection";
    }
  }
}

TEST_F(TurnSelection, TheDebugWindowsJumpGoesBeforeTheSelection) {
  ScriptStateGroup_App& g = Compile(kTurnScript);
  g.ReadIVTables(kTurnTables, sizeof kTurnTables - 1);
  g.m_DebugJump = u"S3";
  g_DebugLevel = 1;
  reader = [&](uint64_t) {
    if (ChoicesShown()) ClickAt(platform::Point{700, ChoiceY(0)});
  };
  ExecuteAll(g);
  EXPECT_EQ(Var(u"PICKED"), 3) << "the label asked for, not selection 1";
  EXPECT_TRUE(g.m_DebugJump.empty()) << "the request is served once";
  EXPECT_EQ(g_SceneState[SCENE_BACKGROUND].m_State, SCENE_BG_BLACK);
  g_DebugLevel = 0;
}

TEST_F(TurnSelection, ATransferRequestReleasesEverythingItShowed) {
  for (int when : {0, 1}) {  // during the turn's caption, during the choice
    SCOPED_TRACE(when);
    ScriptStateGroup_App& g = Compile(kTurnScript);
    g.ReadIVTables(kTurnTables, sizeof kTurnTables - 1);
    reader = [&](uint64_t f) {
      if ((when == 0 && f > 20 && !g_TransferRequest) || (when == 1 && ChoicesShown())) g_TransferRequest = 1;
    };
    frames = 0;
    try {
      ExecuteAll(g);
      ADD_FAILURE() << "the request did not leave the selection";
    } catch (const ScriptException& e) {
      EXPECT_EQ(e.m_Code, 0);
    }
    reader = nullptr;
    EXPECT_EQ(stack.screen->GetLastChild(), static_cast<ssView*>(g_SceneRoot)) << "nothing left above the scene";
    EXPECT_FALSE(menu.IsEnabled(MENU_SAVE));
    EXPECT_FALSE(menu.IsEnabled(MENU_VARIABLES));
    EXPECT_EQ(Var(u"PICKED"), 0) << "no selection was made";
  }
}

TEST_F(TurnSelection, TheSampleStoryRunsToEachOfItsEndings) {
  struct Case {
    int first, second;  // the option taken at each of the two choices
    int rolls;
  };
  std::vector<Case> cases{Case{0, 0, 1}, Case{0, 1, 1}, Case{1, 0, 0}, Case{1, 1, 0}};
  // Every frame of the story is composed: the sanitizer build, many times slower, takes the first
  // route only (the headless play-through covers every route there too).
  if (varntest::kSanitized) cases.resize(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "options " << c.first << ", " << c.second);
    screens.endingRolls = 0;
    bool waiting = false, choosing = false;
    int choices = 0, turns = 0;
    reader = [&](uint64_t) {
      const bool waits = scripttest::ScenePageWaits();
      if (waits && !waiting) ClickAt(platform::Point{400, 300});
      waiting = waits;
      const bool shows = scripttest::SceneChoiceShows();
      if (shows && !choosing) ++choices;
      choosing = shows;
      if (shows) ClickAt(ChoiceAt(choices == 1 ? c.first : c.second));
      if (ChoicesShown() && !turns++) ClickAt(platform::Point{700, ChoiceY(1)});
    };
    frames = 0;
    EXPECT_EQ(RunScenario(u"_start.txt", 0, table), 1) << "the ending returns to the title";
    EXPECT_LT(frames, 40000u) << "the run ended by itself";
    EXPECT_EQ(screens.endingRolls, c.rolls);
    EXPECT_EQ(choices, 2);
    EXPECT_GT(turns, 0) << "the turn selection was shown";
  }
}

}  // namespace
