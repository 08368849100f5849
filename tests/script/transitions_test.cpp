// Tests of the background's transitions on the sample scene: the frames and levels of each fade,
// the at-once rule, what a transfer raised during a fade leaves behind, and the window colour.
#include "script/transitions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gamefixture.h"
#include "script/settings.h"

namespace {

// What one frame showed: the background sprite's mode and level, and the level of the fading
// sprite above it (-1 for none).
struct Step {
  uint32_t mode;
  int32_t level;
  int32_t fade;
  bool operator==(const Step&) const = default;
};

std::vector<int32_t> Levels(int32_t from, int32_t step, int32_t to) {
  std::vector<int32_t> levels;
  for (int32_t l = from; step > 0 ? l < to : l > to; l += step) levels.push_back(l);
  levels.push_back(to);
  return levels;
}

class Transition : public scripttest::SampleSceneTest {
 protected:
  void SetUp() override {
    SampleSceneTest::SetUp();
    reader = [this](uint64_t) { Record(); };
  }
  void TearDown() override {
    reader = nullptr;
    g_SkipMode = 0;
    g_Setting.m_DisplaySpeed = 0;
    g_TransferRequest = 0;
    SampleSceneTest::TearDown();
  }

  void Record() {
    if (!g_BackgroundSprite) return;
    ssView* last = g_SceneLayers[kBackgroundLayer]->GetLastChild();
    auto* fade = last != static_cast<ssView*>(g_BackgroundSprite) ? dynamic_cast<DxDraw::DxSprite*>(last) : nullptr;
    steps.push_back(Step{g_BackgroundSprite->m_Params.mode, int32_t(g_BackgroundSprite->m_Params.level),
                         fade ? int32_t(fade->m_Params.level) : -1});
  }
  // The fading sprite's levels of the recorded frames, then the frames without one.
  std::vector<int32_t> FadeLevels() const {
    std::vector<int32_t> levels;
    for (const Step& s : steps)
      if (s.fade >= 0) levels.push_back(s.fade);
    return levels;
  }
  // A picture composed and shown at once, as after a message.
  void ShowPicture(const char16_t* name) {
    g_BackgroundState |= BACKGROUND_PENDING;
    GameSceneServices().DrawBackground(name);
    g_SkipMode = 1;
    GameSceneServices().ShowPendingBackground();
    g_SkipMode = 0;
    steps.clear();
  }
  // Runs the call with a transfer requested after the given number of its frames; the code raised.
  template <typename F>
  int32_t RaiseAfter(int frameCount, F&& call) {
    reader = [this, frameCount](uint64_t) {
      Record();
      if (int(steps.size()) == frameCount) g_TransferRequest = 1;
    };
    int32_t code = -1;
    try {
      call();
    } catch (const ScriptException& e) {
      code = e.m_Code;
    }
    reader = [this](uint64_t) { Record(); };
    return code;
  }
  size_t BackgroundLayerChildren() const {
    size_t n = 0;
    for (ssView* c = g_SceneLayers[kBackgroundLayer]->GetFirstChild(); c;
         c = g_SceneLayers[kBackgroundLayer]->GetNextSibling(c))
      ++n;
    return n;
  }
  uint32_t ShownImagePixel(int x, int y) const {
    const uint8_t* p = g_BackgroundSprite->GetImage()->GetPixelAddress(x, y);
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }

  std::vector<Step> steps;
};

TEST_F(Transition, FadeToBlackStepsTheBackgroundDownOverItsFrames) {
  ShowPicture(u"E010000");
  ASSERT_EQ(Front(100, 100), 0x1A2452u);
  GameSceneServices().FadeToBlack();

  std::vector<Step> expected;
  for (int32_t level : Levels(255, -2, 0)) expected.push_back(Step{2, level, -1});
  ASSERT_EQ(expected.size(), 129u);
  expected.push_back(Step{0, 0, -1});
  EXPECT_EQ(steps, expected);
  EXPECT_EQ(Front(100, 100), 0u);
  EXPECT_EQ(ShownImagePixel(100, 100), 0u) << "the black is the shown image's own";
  EXPECT_EQ(g_BackgroundState & BACKGROUND_PLAIN, uint32_t(BACKGROUND_PLAIN));
}

TEST_F(Transition, FadeToWhiteBlendsWhiteInOverItsFrames) {
  ShowPicture(u"E010000");
  GameSceneServices().FadeToWhite();
  const std::vector<int32_t> expected = Levels(0, 2, 255);
  ASSERT_EQ(expected.size(), 129u);
  EXPECT_EQ(FadeLevels(), expected);
  ASSERT_EQ(steps.size(), 130u);
  EXPECT_EQ(steps.back(), (Step{0, steps.back().level, -1})) << "the last frame shows the white plainly";
  EXPECT_EQ(Front(100, 100), 0xFFFFFFu);
  EXPECT_EQ(BackgroundLayerChildren(), 1u);
  EXPECT_EQ(g_BackgroundState & BACKGROUND_PLAIN, uint32_t(BACKGROUND_PLAIN));
}

TEST_F(Transition, APictureFadesInSlowlyAfterAPlainColourAndQuicklyAfterAPicture) {
  // Nothing composed: no frame passes.
  GameSceneServices().ShowPendingBackground();
  EXPECT_TRUE(steps.empty());

  g_BackgroundState |= BACKGROUND_PENDING;
  GameSceneServices().DrawBackground(u"E010000");
  GameSceneServices().ShowPendingBackground();
  EXPECT_EQ(FadeLevels(), Levels(0, 2, 255)) << "129 frames after the black";
  EXPECT_EQ(steps.size(), 130u);
  EXPECT_EQ(g_BackgroundState, 0u);
  EXPECT_EQ(Front(400, 320), 0x0C0C1Eu);

  // Two compositions before the show: only the last is shown, with the quick cross-fade.
  steps.clear();
  g_BackgroundState |= BACKGROUND_PENDING;
  GameSceneServices().DrawBackground(u"H020000");
  GameSceneServices().DrawBackground(u"E011000");
  GameSceneServices().ShowPendingBackground();
  const std::vector<int32_t> quick = Levels(0, 16, 255);
  ASSERT_EQ(quick.size(), 17u);
  EXPECT_EQ(FadeLevels(), quick);
  EXPECT_EQ(steps.size(), 18u);
  EXPECT_EQ(steps.back(), (Step{0, steps.back().level, -1}));
  EXPECT_EQ(Front(400, 320), 0xF49A4Eu);
  EXPECT_EQ(Front(100, 100), 0x1A2452u);
  EXPECT_EQ(BackgroundLayerChildren(), 1u);
}

TEST_F(Transition, EveryTransitionTakesOneFrameWhenPicturesChangeAtOnce) {
  struct Case {
    uint8_t displaySpeed;
    int32_t skip;
    bool atOnce;
  };
  for (const Case c : {Case{0, 0, false}, Case{2, 0, false}, Case{1, 0, true}, Case{0, 1, true}, Case{0, 2, true}}) {
    SCOPED_TRACE(testing::Message() << "DisplaySpeed " << int(c.displaySpeed) << ", skip " << c.skip);
    g_Setting.m_DisplaySpeed = c.displaySpeed;
    g_SkipMode = c.skip;
    EXPECT_EQ(PicturesChangeAtOnce(), c.atOnce);
    if (!c.atOnce) continue;

    g_BackgroundState |= BACKGROUND_PENDING;
    GameSceneServices().DrawBackground(u"E010000");
    steps.clear();
    GameSceneServices().ShowPendingBackground();
    EXPECT_EQ(steps, (std::vector<Step>{Step{0, steps.empty() ? 0 : steps[0].level, -1}}));
    EXPECT_EQ(Front(100, 100), 0x1A2452u);
    EXPECT_EQ(g_BackgroundState, 0u);

    steps.clear();
    GameSceneServices().FadeToWhite();
    EXPECT_EQ(steps.size(), 1u);
    EXPECT_EQ(Front(100, 100), 0xFFFFFFu);
    steps.clear();
    GameSceneServices().FadeToBlack();
    EXPECT_EQ(steps.size(), 1u);
    EXPECT_EQ(Front(100, 100), 0u);
    EXPECT_EQ(g_BackgroundState, uint32_t(BACKGROUND_PLAIN));
  }
}

TEST_F(Transition, ATransferDuringFadeToBlackLeavesTheLevelItReached) {
  ShowPicture(u"E010000");
  EXPECT_EQ(RaiseAfter(10, [] { GameSceneServices().FadeToBlack(); }), 0);
  EXPECT_EQ(g_BackgroundSprite->m_Params.mode, 2u);
  EXPECT_EQ(g_BackgroundSprite->m_Params.level, 255u - 2 * 10) << "the level of the frame that raised";
  EXPECT_EQ(ShownImagePixel(100, 100), 0x1A2452u) << "the picture is still the shown image";
  EXPECT_EQ(g_BackgroundState & BACKGROUND_PLAIN, uint32_t(BACKGROUND_PLAIN));
}

TEST_F(Transition, ATransferDuringFadeToWhiteKeepsTheOldBackground) {
  ShowPicture(u"E010000");
  EXPECT_EQ(RaiseAfter(10, [] { GameSceneServices().FadeToWhite(); }), 0);
  EXPECT_EQ(BackgroundLayerChildren(), 1u) << "the fading sprite is gone";
  EXPECT_EQ(ShownImagePixel(100, 100), 0x1A2452u);
  EXPECT_EQ(g_BackgroundSprite->m_Params.mode, 0u);
  steps.clear();
  WaitFrame();
  EXPECT_EQ(Front(100, 100), 0x1A2452u);
}

TEST_F(Transition, ATransferDuringTheCrossFadeStillShowsTheNewBackground) {
  ShowPicture(u"E010000");
  g_BackgroundState |= BACKGROUND_PENDING;
  GameSceneServices().DrawBackground(u"E011000");
  EXPECT_EQ(RaiseAfter(5, [] { GameSceneServices().ShowPendingBackground(); }), 0);
  EXPECT_EQ(steps.size(), 5u) << "no frame after the raise";
  EXPECT_EQ(BackgroundLayerChildren(), 1u);
  EXPECT_EQ(g_BackgroundSprite->m_Params.mode, 0u);
  EXPECT_TRUE(g_BackgroundSprite->IsShown());
  EXPECT_EQ(ShownImagePixel(400, 320), 0xF49A4Eu);
  EXPECT_EQ(g_BackgroundState, uint32_t(BACKGROUND_PENDING)) << "the state keeps its bits";
  WaitFrame();
  EXPECT_EQ(Front(400, 320), 0xF49A4Eu);
}

TEST_F(Transition, TheWindowColourTintsTheBackdropAtItsAlpha) {
  ShowPicture(u"E010000");
  g_MessageWindow->Show();
  DxDraw::DxSurfaceSprite32& backdrop = *g_MessageWindow->GetBackground();
  // A point of the backdrop below the text and left of the buttons, and its "SYSTEM" pixel.
  const int x = 400, y = 195;
  const uint8_t* frame = system->GetPixelAddress(x, 40 + y);
  for (const WindowColour colour :
       {WindowColour{0xFF, 0x80, 0x00, 0}, WindowColour{0xFF, 0x80, 0x00, 255}, WindowColour{0x0F, 0xF0, 0x33, 255}}) {
    SCOPED_TRACE(int(colour.a));
    GameSceneServices().ApplyWindowColour(colour);
    EXPECT_EQ(backdrop.m_Params.mode, 0x10002u);
    EXPECT_EQ(backdrop.m_Params.level, colour.a);
    const uint8_t* p = backdrop.GetPixelAddress(x, y);
    EXPECT_EQ(p[0], frame[0] & colour.b);
    EXPECT_EQ(p[1], frame[1] & colour.g);
    EXPECT_EQ(p[2], frame[2] & colour.r);
    EXPECT_EQ(p[3], frame[3]) << "the frame's transparency";
    WaitFrame();
    const uint32_t shown = Front(x, kMessageWindowY + y);
    if (colour.a == 0) {
      EXPECT_EQ(shown, 0x203070u) << "the picture below, untouched";
    } else if (frame[3] == 0) {
      const uint32_t tinted = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      for (int shift : {0, 8, 16})
        EXPECT_NEAR(int((shown >> shift) & 0xFF), int((tinted >> shift) & 0xFF), 2) << "at full weight";
    }
  }
}

}  // namespace
