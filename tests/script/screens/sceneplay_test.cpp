// The scene replay on the sample scenario: a scene played again returns to the replay screen with
// the menu's wording put back, a quit during it ends the game, a load leaves the screen, and the
// replayed messages do not reach the next game's backlog.
#include "script/screens/sceneplay.h"

#include <optional>

#include "extrasfixture.h"
#include "lib/error.h"
#include "platform/utf.h"

namespace {

using screenstest::ExtrasTest;
using scripttest::ScenePageWaits;

constexpr platform::Point kRiver{260, 200}, kHill{500, 200};
constexpr char16_t kTitleText[] = u"タイトルに戻る(&X)";

// The title of these runs: whatever the test does in it.
class TestTitle : public IScreens {
 public:
  void ShowBacklog() override {}
  int RunTitle() override { return run(); }
  void RunEndingRoll() override {}
  std::function<int()> run;
};

class ScenePlayTest : public ExtrasTest {
 protected:
  void SetUp() override {
    ExtrasTest::SetUp();
    Reinstall([this](GameServices& s) { s.screens = &title; });
    textMenu.texts[MENU_TITLE] = kTitleText;
  }

  // During a replay: clicks through each page-end wait until the replay flag drops.
  void ThenPlayThrough() {
    Then([this] {
      if (g_SceneReplayMode && !replayText) {
        replayText = textMenu.texts[MENU_TITLE];
        replayMusic = g_SceneState[SCENE_BGM].m_State;
      }
      if (g_SceneReplayMode && ScenePageWaits()) {
        if (g_BackLog) replayedEntries = std::max(replayedEntries, g_BackLog->Entries().size());
        ClickAt({400, 300});
      }
      return replayText && !g_SceneReplayMode;
    });
  }

  TestTitle title;
  std::optional<std::u16string> replayText;
  size_t replayedEntries = 0;
  int replayMusic = -1;  // the music buffer's state when the replay began
};

TEST_F(ScenePlayTest, AReplayedSceneComesBackToTheReplayScreenAndLeavesNoMessagesForTheNextGame) {
  int titles = 0;
  bool menuAgain = false;
  std::vector<std::u16string> nextGame;
  int32_t light = 0;
  title.run = [&] {
    if (++titles > 1) return 0;
    g_pCurrentGroup->m_RecordedNames.push_back(u"river");
    SetSceneState(SCENE_BGM, SCENE_BGM_PLAYING, u"TOWN");  // as a loaded save would leave it
    RunScenePlay(sources);
    light = Var(u"LIGHT");
    return 1;  // then a new game from the same showing of the title
  };
  ThenWait(3);
  ThenClick(kHill);  // locked: not in the scene list
  ThenWait(3);
  ThenClick(kRiver);
  ThenPlayThrough();
  ThenWait(3);
  Then([&] {
    menuAgain = Pixel(kRiver.x, kRiver.y) == 0x3860A0 && !g_SceneReplayMode;
    return true;
  });
  ThenClick({10, 10}, 1);
  Then([&] {
    if (!ScenePageWaits()) return false;
    for (const BACKLOGENTRY& e : g_BackLog->Entries()) nextGame.push_back(e.text);
    g_QuitFlag = 1;
    return true;
  });

  EXPECT_EQ(RunScenario(u"_start.txt", 0, table), 0);
  ASSERT_TRUE(replayText) << "the scene was replayed";
  EXPECT_EQ(*replayText, u"再生メニューに戻る(&X)");
  EXPECT_GT(replayedEntries, 0u) << "the replayed scene's messages were in its backlog";
  EXPECT_EQ(replayMusic, SCENE_BGM_NONE) << "the replay starts from an empty scene";
  EXPECT_NE(light, 1) << "the scene's PST did nothing";
  EXPECT_TRUE(menuAgain) << "the replay screen came back after the scene";
  EXPECT_EQ(textMenu.texts[MENU_TITLE], kTitleText) << "the item's old text is back";
  EXPECT_TRUE(textMenu.IsEnabled(MENU_LOAD));
  ASSERT_FALSE(nextGame.empty());
  for (const std::u16string& text : nextGame)
    EXPECT_EQ(text.find(u"灯籠"), std::u16string::npos) << "a replayed message: " << platform::WideToUtf8(text);
}

TEST_F(ScenePlayTest, AQuitConfirmedDuringAReplayEndsTheGame) {
  int titles = 0, screensLeft = -1;
  bool quitSeen = false;
  title.run = [&] {
    ++titles;
    g_pCurrentGroup->m_RecordedNames.push_back(u"RIVER");
    try {
      RunScenePlay(sources);
    } catch (const ExceptionHandle& e) {
      quitSeen = e.IsQuit();
      screensLeft = ScreenExtras();
      throw;
    }
    return 1;
  };
  ThenWait(3);
  ThenClick(kRiver);
  Then([] {
    if (!ScenePageWaits()) return false;
    g_QuitFlag = 1;
    return true;
  });
  EXPECT_EQ(RunScenario(u"_start.txt", 0, table), 0) << "the game ends";
  EXPECT_EQ(titles, 1);
  EXPECT_TRUE(quitSeen) << "the quit came out of the replay screen";
  EXPECT_EQ(screensLeft, 0) << "after its screen was released";
  EXPECT_FALSE(g_SceneReplayMode);
}

TEST_F(ScenePlayTest, ALoadDuringAReplayLeavesTheScreenAsALoad) {
  int code = -1;
  title.run = [&] {
    g_pCurrentGroup->m_RecordedNames.push_back(u"RIVER");
    try {
      RunScenePlay(sources);
    } catch (const ScriptException& e) {
      code = e.m_Code;
    }
    return 0;
  };
  ThenWait(3);
  ThenClick(kRiver);
  Then([] {
    if (!ScenePageWaits()) return false;
    g_PendingLoadSlot = 4;
    g_TransferRequest = 2;
    return true;
  });
  EXPECT_EQ(RunScenario(u"_start.txt", 0, table), 0);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ScreenExtras(), 0);
}

TEST_F(ScenePlayTest, AFlagWithoutItsLabelIsTheGamesErrorNamingIt) {
  ScriptStateGroup_App& group = Compile(u"あ\n\n");
  group.m_RecordedNames.push_back(u"HILL");
  g_pCurrentGroup = &group;
  ThenWait(3);
  ThenClick(kHill);
  try {
    RunScenePlay(sources);
    ADD_FAILURE() << "the replay returned";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Message), u"ラベルが見つかりません。[HILL]");
  }
  g_pCurrentGroup = nullptr;
  EXPECT_EQ(ScreenExtras(), 0);
  EXPECT_FALSE(g_SceneReplayMode);
}

}  // namespace
