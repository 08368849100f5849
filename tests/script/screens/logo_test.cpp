// The brand logo and the timed notice on the headless game: their frames, holds, clicks, font
// changes and transfers.
#include <gtest/gtest.h>

#include "screenfixture.h"
#include "textscript/messview.h"

namespace {

using screentest::ScreenTest;

class LogoTest : public ScreenTest {
 protected:
  // The logo's sprite: the screen's topmost child while the logo shows.
  DxDraw::DxSprite* Logo() { return dynamic_cast<DxDraw::DxSprite*>(stack.screen->GetLastChild()); }
  // Records the logo's blit level at the end of every frame.
  void RecordLevels() {
    everyFrame = [this](uint64_t) {
      DxDraw::DxSprite* logo = Logo();
      levels.push_back(logo && Children() > screenChildren ? int(logo->m_Params.level) : -1);
    };
  }
  std::vector<int> levels;
};

TEST_F(LogoTest, WithoutInputFadesInHoldsFiveSecondsAndFadesOut) {
  RecordLevels();
  ShowBrandLogo(stack.screen, archive.Get());
  // 65 frames up, 5000 ms at the frame step's 60 frames a second (300 frames), 65 frames down.
  ASSERT_EQ(levels.size(), 65u + 300u + 65u);
  EXPECT_EQ(levels[0], 0);
  EXPECT_EQ(levels[1], 4);
  EXPECT_EQ(levels[63], 252);
  EXPECT_EQ(levels[64], 255);
  EXPECT_EQ(levels[65 + 299], 255) << "held at full level";
  EXPECT_EQ(levels[65 + 300], 255);
  EXPECT_EQ(levels[65 + 301], 251);
  EXPECT_EQ(levels.back(), 0);
  EXPECT_EQ(Children(), screenChildren) << "the logo is released";
}

TEST_F(LogoTest, ClicksCutTheFadeInTheHoldAndTheFadeOutShort) {
  RecordLevels();
  stack.input->TapButton(0);                      // seen by the fade in's first frame
  At(10, [this] { stack.input->TapButton(0); });  // seen by frame 11, in the hold
  At(13, [this] { stack.input->TapButton(0); });  // seen by frame 14, the fade out's third
  ShowBrandLogo(stack.screen, archive.Get());
  const std::vector<int> expected = {0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 251, 247};
  EXPECT_EQ(levels, expected) << "full level right after the first click, the hold ended by the second, the logo "
                                 "gone right after the third";
  EXPECT_EQ(Children(), screenChildren);
}

TEST_F(LogoTest, TransferInsideTheLogoReleasesItAndGoesOn) {
  At(30, [] { g_TransferRequest = 1; });
  EXPECT_THROW(
      {
        try {
          ShowBrandLogo(stack.screen, archive.Get());
        } catch (const ScriptException& e) {
          EXPECT_EQ(e.m_Code, 0);
          throw;
        }
      },
      ScriptException);
  EXPECT_EQ(Children(), screenChildren);
}

class NoticeTest : public ScreenTest {
 protected:
  void Show() { ShowTimedNotice(stack.screen, system.get(), u"セーブしました", 2000); }
  TextScript::DxMessView2* View() { return dynamic_cast<TextScript::DxMessView2*>(stack.screen->GetLastChild()); }

  scripttest::SampleSurface system = scripttest::LoadSystemPicture();
};

TEST_F(NoticeTest, WaitsForTheHeldClickToBeLetGoThenHoldsItsTime) {
  ASSERT_TRUE(system);
  stack.input->SetButton(0, true);
  At(20, [this] { stack.input->SetButton(0, false); });
  bool shownMeanwhile = true;
  everyFrame = [&](uint64_t frame) {
    if (frame < 140) shownMeanwhile = shownMeanwhile && Children() == screenChildren + 2;
  };
  Show();
  // Frame 21 sees the release; then 2000 ms at 60 frames a second.
  EXPECT_EQ(frames, 21u + 120u);
  EXPECT_TRUE(shownMeanwhile) << "the frame and the text stay up the whole time";
  EXPECT_EQ(Children(), screenChildren);
}

TEST_F(NoticeTest, AFontChangeRedrawsTheNoticeAndIsHandedOnToTheMessageWindow) {
  ASSERT_TRUE(system);
  stack.input->SetButton(0, true);
  std::u16string faceBefore, faceAfter;
  bool consumed = false;
  At(5, [&] {
    faceBefore = View()->GetFont()->GetLogFont().faceName;
    std::u16string(u"ＭＳ ゴシック").copy(g_Setting.m_FontName, 7);
    g_Setting.m_FontName[7] = 0;
    g_AppFlags |= APPFLAG_FONT_CHANGED;
  });
  At(7, [&] {
    faceAfter = View()->GetFont()->GetLogFont().faceName;
    consumed = !(g_AppFlags & APPFLAG_FONT_CHANGED);
    stack.input->SetButton(0, false);
  });
  Show();
  EXPECT_EQ(faceBefore, u"ＭＳ 明朝");
  EXPECT_EQ(faceAfter, u"ＭＳ ゴシック") << "the notice set the new font";
  EXPECT_TRUE(consumed) << "the notice took the request while it was up";
  EXPECT_TRUE(g_AppFlags & APPFLAG_FONT_CHANGED) << "and handed it back for the message window";
}

TEST_F(NoticeTest, ATransferReleasesWhatItShowed) {
  ASSERT_TRUE(system);
  At(40, [] { g_TransferRequest = 2; });
  try {
    Show();
    ADD_FAILURE() << "the transfer goes on";
  } catch (const ScriptException& e) {
    EXPECT_EQ(e.m_Code, 1);
  }
  EXPECT_EQ(Children(), screenChildren);
}

}  // namespace
