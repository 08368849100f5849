// The choice menu on real frames: taken by the mouse, the jump to its label, skip and auto mode
// at a choice, the menu's limits, and the debug jump.
#include <gtest/gtest.h>

#include "gamefixture.h"

namespace {

using scripttest::GameTest;

constexpr char16_t kChoice[] =
    u"どうする？\n\n.SEL RIVER 川辺で\n.SEL HILL 丘の上から、町を見下ろす\n\n"
    u".LAB RIVER\n.PST WHERE = 1\n.JMP OUT\n\n.LAB HILL\n.PST WHERE = 2\n\n.LAB OUT\n";

class ChoiceTest : public GameTest {
 protected:
  // Clicks through pages; at the menu moves to choice k and clicks it a few frames later.
  void Choose(int k) {
    m_Waiting = false;
    m_MenuFrames = 0;
    reader = [this, k](uint64_t) {
      if (PageWaits() && !m_Waiting) Click();
      m_Waiting = PageWaits();
      if (!ChoiceShows()) return;
      if (m_MenuFrames++ == 0) {
        skipAtMenu = g_SkipMode;
        autoAtMenu = g_AutoMode;
        variablesOn = menu.IsEnabled(MENU_VARIABLES);
        stack.window->SetCursor(ChoiceAt(k));
      }
      if (m_MenuFrames == 4) Click();
    };
  }
  int32_t skipAtMenu = -1, autoAtMenu = -1;
  bool variablesOn = false;

 private:
  bool m_Waiting = false;
  int m_MenuFrames = 0;
};

TEST_F(ChoiceTest, TheClickedChoiceJumpsToItsLabel) {
  for (int k : {0, 1}) {
    SCOPED_TRACE(k);
    Choose(k);
    Run(kChoice);
    EXPECT_EQ(Var(u"WHERE"), k + 1);
    EXPECT_TRUE(variablesOn);
    EXPECT_FALSE(menu.IsEnabled(MENU_VARIABLES));
    EXPECT_FALSE(ChoiceShows()) << "the menu's frame and text are gone";
    EXPECT_EQ(layer->GetLastChild(), static_cast<ssView*>(window));
  }
}

struct AtChoiceCase {
  uint8_t textSkip2;
  int32_t skipMode, autoMode;  // on entering the run
  int32_t skipAtMenu, autoAtMenu;
};

TEST_F(ChoiceTest, SkipAndAutoEndAtAChoiceOnlyWithItsOption) {
  options.read = {0, 1};
  for (const AtChoiceCase& c : {AtChoiceCase{1, 1, 0, 0, 0}, AtChoiceCase{0, 1, 0, 1, 0}, AtChoiceCase{1, 0, 1, 0, 0},
                                AtChoiceCase{0, 0, 1, 0, 1}}) {
    SCOPED_TRACE(::testing::Message() << int(c.textSkip2) << " " << c.skipMode << " " << c.autoMode);
    g_Setting.m_TextSkip2 = c.textSkip2;
    Choose(0);
    // The run clears both modes; the first page sets them as the buttons would.
    ScriptStateGroup_App& g = Compile(kChoice);
    const auto inner = reader;
    bool set = false;
    reader = [&, inner](uint64_t f) {
      if (!set) {
        g_SkipMode = c.skipMode;
        g_AutoMode = c.autoMode;
        set = true;
      }
      inner(f);
    };
    g.Run(-1);
    EXPECT_EQ(skipAtMenu, c.skipAtMenu);
    EXPECT_EQ(autoAtMenu, c.autoAtMenu);
    EXPECT_EQ(Var(u"WHERE"), 1);
  }
}

// The reddest and the bluest ink in a screen rectangle.
struct Ink {
  uint32_t red = 0, blue = 0;
};
Ink InkIn(platform::headless::HeadlessPresenter& front, platform::Rect r) {
  Ink ink;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const uint32_t p = front.PixelAt(x, y);
      ink.red = std::max(ink.red, (p >> 16) & 0xFF);
      ink.blue = std::max(ink.blue, p & 0xFF);
    }
  return ink;
}

TEST_F(ChoiceTest, TheChoiceUnderTheCursorIsRed) {
  // "川辺で" is 96 pixels wide, centred in the 720-pixel view at x 40: screen x 352 to 448.
  const platform::Rect first{352, 152, 448, 190};
  std::vector<Ink> seen;
  int frame = 0;
  reader = [&](uint64_t) {
    if (PageWaits()) Click();
    if (!ChoiceShows()) return;
    ++frame;
    if (frame == 3) seen.push_back(InkIn(stack.Front(), first));
    if (frame == 4) stack.window->SetCursor(ChoiceAt(0));
    if (frame == 7) seen.push_back(InkIn(stack.Front(), first));
    if (frame == 8) ClickAt(ChoiceAt(0));
  };
  Run(kChoice);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_GT(seen[0].blue, 0xC0u) << "white before the cursor comes";
  EXPECT_GT(seen[1].red, 0xC0u);
  EXPECT_LT(seen[1].blue, 0x40u) << "red under the cursor";
}

TEST_F(ChoiceTest, MoreThanThreeChoicesAreRefusedOnTheSelsLine) {
  ScriptStateGroup_App& g = Compile(u"あ\n\n.SEL A 一\n.SEL B 二\n.SEL C 三\n.SEL D 四\n\n.LAB A\n");
  int32_t line = 0;
  for (TextScript::ScriptStateNode* n = g.First(); n; n = n->Next())
    if (n->m_Type == TextScript::STMT_SEL && !line) line = n->m_Line;
  Choose(0);
  try {
    g.Run(-1);
    ADD_FAILURE() << "a menu of four was shown";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.m_Line, line);
  }
  EXPECT_EQ(layer->GetLastChild(), static_cast<ssView*>(window)) << "nothing was put up";
}

TEST_F(ChoiceTest, AMissingLabelIsTheScriptsError) {
  Choose(0);
  try {
    Run(u".SEL NONE 一\n");
    ADD_FAILURE() << "jumped nowhere";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Message), u"ラベルが見つかりません。[NONE]");
  }
}

TEST_F(ChoiceTest, DebugJumpAtTheChoice) {
  g_DebugLevel = 1;
  Choose(0);
  const auto inner = reader;
  reader = [&, inner](uint64_t f) {
    if (ChoiceShows()) group->m_DebugJump = u"HILL";
    inner(f);
  };
  Run(kChoice);
  EXPECT_EQ(Var(u"WHERE"), 2) << "the request wins over the clicked choice";
  EXPECT_EQ(scene.blackFills, 1);
}

TEST_F(ChoiceTest, AFontChangeDuringTheMenuReachesTheNextMessage) {
  Choose(1);
  const auto inner = reader;
  reader = [&, inner](uint64_t f) {
    if (ChoiceShows() && f % 2 == 0 && !(g_AppFlags & APPFLAG_FONT_CHANGED)) g_AppFlags |= APPFLAG_FONT_CHANGED;
    inner(f);
  };
  Run(kChoice);
  EXPECT_EQ(Var(u"WHERE"), 2);
  EXPECT_NE(g_AppFlags & APPFLAG_FONT_CHANGED, 0u) << "set again for the message after the menu";
}

}  // namespace
