// The game's script services installed over the real scene, button bar and script archive: each on
// its own, and the sample game's "_start.txt" run on them frame by frame with scripted clicks; the
// save store, the title and the later parts stay test doubles.
#include "script/gameservices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gamefixture.h"
#include "sampledata.h"
#include "script/scenario.h"
#include "script/scene.h"

namespace {

using scripttest::GameTest;
using scripttest::SceneChoiceShows;
using scripttest::ScenePageWaits;

// Pixels of the window's text area that stand out from its backdrop (text the glyphs drew).
int InkInWindow(const platform::headless::HeadlessPresenter& front) {
  const uint32_t backdrop = front.PixelAt(400, 590);
  int ink = 0;
  for (int y = kMessageWindowY + kMessageMarginTop; y < kMessageWindowY + kMessageWindowHeight - kMessageMarginBottom;
       ++y)
    for (int x = kMessageMarginLeft; x < kMessageWindowWidth - kMessageMarginRight - 48; ++x)
      if (front.PixelAt(x, y) != backdrop) ++ink;
  return ink;
}

class SampleRun : public scripttest::SampleGameTest {
 protected:
  void SetUp() override { ASSERT_TRUE(InstallSampleServices()) << "the sample data in " VARN_BINARY_DIR "/data"; }
  void TearDown() override { RemoveSampleServices(); }
};

TEST_F(SampleRun, TheInstalledServicesWorkOnTheSceneGlobals) {
  // Outside a run there is no window and no layer to hand out.
  EXPECT_THROW(GameScene().MessageWindow(), ExceptionHandle);
  EXPECT_THROW(GameScene().TopLayer(), ExceptionHandle);
  EXPECT_THROW(GameButtons().HitRects(), ExceptionHandle);

  SetSceneState(SCENE_BACKGROUND, SCENE_BG_WHITE, nullptr);
  GameScene().BuildScene();
  ASSERT_NE(g_MessageWindow, nullptr);
  EXPECT_EQ(&GameScene().MessageWindow(), static_cast<TextScript::DxMessWindow*>(g_MessageWindow));
  EXPECT_EQ(&GameScene().TopLayer(), g_SceneLayers[kTopLayer]);
  EXPECT_EQ(g_MessageWindow->GetBackground()->m_Params.mode, 0x10002u) << "the window took the settings' colour";
  EXPECT_EQ(g_MessageWindow->GetBackground()->m_Params.level, g_Setting.m_BaseColor[3]);
  WaitFrame();
  EXPECT_EQ(stack.Front().PixelAt(400, 300), 0xFFFFFFu) << "the restored white";

  IMessageButtons& buttons = GameButtons();
  EXPECT_EQ(buttons.HitRects(), g_MessageWindow->m_ButtonRects);
  buttons.SetButtonLevel(MBUTTON_AUTO, kButtonLit);
  EXPECT_EQ(g_MessageWindow->m_pButtons[MBUTTON_AUTO]->m_Params.level, kButtonLit);
  EXPECT_EQ(g_MessageWindow->m_pButtons[MBUTTON_SKIP]->m_Params.level, kButtonDimmed);
  buttons.ShowButton(MBUTTON_SKIP, false);
  EXPECT_FALSE(buttons.IsButtonShown(MBUTTON_SKIP));
  EXPECT_TRUE(buttons.IsButtonShown(MBUTTON_QUICKSAVE));
  buttons.ShowButton(MBUTTON_SKIP, true);
  EXPECT_TRUE(buttons.IsButtonShown(MBUTTON_SKIP));
  EXPECT_THROW(buttons.ShowButton(kMessageButtons, true), ExceptionHandle);

  // Black at once, and the buffers say so: a save made now brings back black without characters.
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_PICTURE, u"H010000");
  SetSceneState(SCENE_CHARACTERS, SCENE_CHL_SHOWN, u"B000100");
  SetSceneState(SCENE_BGM, SCENE_BGM_PLAYING, u"TOWN");
  g_BackgroundState |= BACKGROUND_PENDING;
  GameScene().FillBackgroundBlack();
  EXPECT_EQ(g_SceneState[SCENE_BACKGROUND].m_State, SCENE_BG_BLACK);
  EXPECT_EQ(g_SceneState[SCENE_CHARACTERS].m_State, SCENE_CHL_NONE);
  EXPECT_EQ(g_SceneState[SCENE_BGM].m_State, SCENE_BGM_PLAYING) << "the music plays on";
  EXPECT_EQ(g_BackgroundState, uint32_t(BACKGROUND_PLAIN)) << "nothing left waiting to be shown";
  WaitFrame();
  EXPECT_EQ(stack.Front().PixelAt(400, 300), 0u);
  GameScene().ClearResumeState();
  EXPECT_EQ(g_SceneState[SCENE_BGM].m_State, SCENE_BGM_NONE);

  // An error's way out lets no frame pass; the normal end lets one.
  const uint64_t before = GetFrameCount();
  GameScene().ReleaseScene();
  EXPECT_EQ(g_SceneRoot, nullptr);
  EXPECT_EQ(GetFrameCount(), before);
  GameScene().BuildScene();
  GameScene().TearDownScene();
  EXPECT_EQ(g_SceneRoot, nullptr);
  EXPECT_EQ(GetFrameCount(), before + 1);

  // The script files come whole from the script archive, a missing one as the loader's error.
  EXPECT_EQ(GameFiles().LoadScriptFile(u"iv.txt").rfind("PROLOGUE", 0), 0u);
  try {
    GameFiles().LoadScriptFile(u"nope.txt");
    ADD_FAILURE() << "a missing file was read";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Message), u"Script: file not found 'nope.txt'");
  }
}

TEST_F(SampleRun, TheStartScenarioRunsToItsEndWithClicksAndAChoice) {
  std::vector<std::u16string> pages;  // the newest backlog text at each page-end wait
  int choices = 0, firstInk = -1;
  uint32_t backdropLevel = 0;
  bool waiting = false, choosing = false;
  reader = [&](uint64_t) {
    const bool waits = ScenePageWaits(), menu = SceneChoiceShows();
    if (waits && !waiting) {
      pages.push_back(std::u16string(g_BackLog->LastText()));
      if (pages.size() == 1) {
        firstInk = InkInWindow(stack.Front());
        backdropLevel = g_MessageWindow->GetBackground()->m_Params.level;
        scripttest::WriteFrontPng(stack.Front(), VARN_BINARY_DIR "/script_samplerun.png");
      }
      ClickAt(platform::Point{400, 300});
    }
    if (menu && !choosing) {
      ++choices;
      ClickAt(ChoiceAt(0));  // "川辺で、灯籠を流す", then "ここで、灯りが降るのを待つ"
    }
    if (scripttest::TurnChoicesShow(stack.Front())) ClickAt(platform::Point{700, scripttest::TurnChoiceY(0)});
    waiting = waits;
    choosing = menu;
  };

  EXPECT_EQ(RunScenario(u"_start.txt", 0, table), 1) << "the scenario ran to its END, which shows the title again";
  EXPECT_LT(frames, 40000u) << "the run ended by itself";
  EXPECT_EQ(screens.endingRolls, 1) << "END shows the ending roll";
  EXPECT_EQ(screens.titles, 1);
  EXPECT_EQ(saves.globalLoads, 1);
  EXPECT_EQ(saves.globalSaves, 1);
  EXPECT_EQ(g_MessageWindow, nullptr) << "the scene was torn down";
  EXPECT_EQ(g_SceneRoot, nullptr);
  EXPECT_EQ(backdropLevel, g_Setting.m_BaseColor[3]) << "the window took the settings' colour";

  // The first page's text reached the window on the screen.
  EXPECT_GT(firstInk, 200) << "pixels of text in the message window at the first page end";
  ASSERT_FALSE(pages.empty());
  EXPECT_NE(pages.front().find(u"灯降町"), std::u16string::npos);

  auto seen = [&](std::u16string_view text) {
    for (const std::u16string& p : pages)
      if (p.find(text) != std::u16string::npos) return true;
    return false;
  };
  EXPECT_EQ(choices, 2);
  EXPECT_EQ(Var(u"LIGHT"), 1) << "the river was chosen";
  EXPECT_TRUE(seen(u"透のぶん")) << "the river's page, with the player's given name";
  EXPECT_FALSE(seen(u"番小屋")) << "the hill's pages were not shown";
  EXPECT_TRUE(seen(u"ひとりで")) << "the first option of the second choice";
  EXPECT_TRUE(seen(u"流そう、今")) << "the iv judge jumped to the ending of the river";
  EXPECT_FALSE(seen(u"ずいぶん多い")) << "not the hill's ending";
  EXPECT_NE(pages.back().find(u"こうして更けていった"), std::u16string::npos) << "the last page";
  EXPECT_GE(pages.size(), 25u);
  EXPECT_TRUE(options.prologueSeen) << "REPR was set on the way";
  EXPECT_FALSE(options.marked.empty()) << "the page ends marked their pages read";
}

}  // namespace
