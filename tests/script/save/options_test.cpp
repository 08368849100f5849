// The settings accessors, the read flags and the yes/no prompt on the headless screen.
#include <algorithm>
#include <set>

#include "platform/input.h"
#include "savefixture.h"
#include "script/save/savestore.h"
#include "textscript/messview.h"

namespace {

using savetest::SaveTest;

class SaveOptions : public SaveTest {
 protected:
  ~SaveOptions() override {
    g_TextSpeed = 100;
    g_AutoWait = 1;
  }
};

TEST_F(SaveOptions, TextSpeedAndAutoWaitTablesWithTheirFallbacks) {
  PlayerOptions options;
  EXPECT_EQ(GetTextSpeedIndex(), 2) << "the starting 100";
  EXPECT_EQ(GetAutoWaitIndex(), 1) << "the starting 1";
  struct Case {
    int32_t index;
    int32_t speed;  // what SetTextSpeed(index) gives, -1: not a text-speed case
    int32_t wait;   // what SetAutoWait(index) gives
  };
  const Case cases[] = {{0, 0, 0},      {1, 50, 1},    {2, 200, 100},  {3, 400, 600},
                        {4, 200, 1000}, {5, 200, 600}, {-1, 200, 600}, {1000, 200, 600}};
  for (const Case& c : cases) {
    SetTextSpeed(c.index);
    SetAutoWait(c.index);
    EXPECT_EQ(g_TextSpeed, c.speed) << "text speed index " << c.index;
    EXPECT_EQ(g_AutoWait, c.wait) << "auto wait index " << c.index;
    EXPECT_EQ(options.TextSpeed(), uint32_t(c.speed));
    EXPECT_EQ(options.AutoWait(), uint32_t(c.wait));
    if (c.index >= 0 && c.index < 4) {
      EXPECT_EQ(GetTextSpeedIndex(), c.index);
    }
    if (c.index >= 0 && c.index < 5) {
      EXPECT_EQ(GetAutoWaitIndex(), c.index);
    }
  }
  g_AutoWait = 7;
  EXPECT_EQ(GetAutoWaitIndex(), 3);
}

TEST_F(SaveOptions, ReadFlagsArePageBitsHighestFirstWithinTheArea) {
  struct Case {
    int32_t page;
    size_t byte;  // SIZE_MAX: outside the area, never marked
    uint8_t mask;
  };
  const Case cases[] = {{0, 0, 0x80},         {7, 0, 0x01},         {8, 1, 0x80},      {16382, 2047, 0x02},
                        {16383, SIZE_MAX, 0}, {16384, SIZE_MAX, 0}, {-1, SIZE_MAX, 0}, {INT32_MIN, SIZE_MAX, 0}};
  for (const Case& c : cases) {
    std::memset(g_ReadFlags, 0, sizeof g_ReadFlags);
    EXPECT_FALSE(IsPageRead(c.page));
    MarkPageRead(c.page);
    for (size_t i = 0; i < kReadFlagAreaBytes; ++i)
      EXPECT_EQ(g_ReadFlags[i], i == c.byte ? c.mask : 0) << "page " << c.page << ", byte " << i;
    EXPECT_EQ(IsPageRead(c.page), c.byte != SIZE_MAX) << "page " << c.page;
  }
  // The prologue bit shares the last byte with pages 16376 to 16382 but is no page's flag.
  std::memset(g_ReadFlags, 0, sizeof g_ReadFlags);
  PlayerOptions options;
  options.SetPrologueSeen();
  EXPECT_TRUE(IsPrologueSeen());
  EXPECT_FALSE(options.IsPageRead(16383));
  EXPECT_FALSE(options.IsPageRead(16382));
}

size_t Children() {
  size_t n = 0;
  for (ssView* c = g_Frame.screen->GetFirstChild(); c; c = g_Frame.screen->GetNextSibling(c)) ++n;
  return n;
}

// The prompt's text view: the screen's topmost child while the prompt is up.
TextScript::DxMessView2* PromptView() {
  return dynamic_cast<TextScript::DxMessView2*>(g_Frame.screen->GetLastChild());
}

// The opaque colours (0xRRGGBB) inside a rectangle of the view.
std::set<uint32_t> Colours(TextScript::DxMessView2& view, const platform::Rect& r) {
  std::set<uint32_t> out;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const uint8_t* p = view.GetPixelAddress(x, y);
      if (p[3] == 255) continue;  // transparent
      out.insert(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    }
  return out;
}

// Drawn in red (0xFF0000) only, or in white and its antialiased greys only.
bool Lit(TextScript::DxMessView2& view, const platform::Rect& r) {
  const std::set<uint32_t> c = Colours(view, r);
  return c.count(0xFF0000) && std::all_of(c.begin(), c.end(), [](uint32_t v) { return (v & 0xFFFF) == 0; });
}
bool White(TextScript::DxMessView2& view, const platform::Rect& r) {
  const std::set<uint32_t> c = Colours(view, r);
  return c.count(0xFFFFFF) && !c.count(0xFF0000);
}

TEST_F(SaveOptions, TheYesNoPromptLightsTheAnswerUnderTheMouseAndTakesOnlyItsClick) {
  const size_t childrenBefore = Children();
  const platform::Rect yesArea{264, 42, 264 + 32, 74}, noArea{360, 42, 360 + 48, 74};
  std::vector<std::string> failures;
  reader = [&](uint64_t frame) {
    TextScript::DxMessView2* view = PromptView();
    switch (frame) {
      case 2:
        stack.input->TapKey(platform::DIK_RETURN);  // the keyboard does nothing
        break;
      case 3:
        ClickAt(platform::Point{100, 100});  // nor does a click beside the answers
        break;
      case 5:
        stack.window->SetCursor(platform::Point{320, 210});  // over "はい"
        break;
      case 7:  // the frame after the move has drawn it
        if (!Lit(*view, yesArea)) failures.push_back("yes is not lit");
        if (!White(*view, noArea)) failures.push_back("no is lit");
        stack.window->SetCursor(platform::Point{420, 210});  // over "いいえ"
        break;
      case 9:
        if (!White(*view, yesArea)) failures.push_back("yes stays lit");
        if (!Lit(*view, noArea)) failures.push_back("no is not lit");
        g_AppFlags |= APPFLAG_FONT_CHANGED;  // a dialog changed the font meanwhile
        break;
      case 11:
        if (g_AppFlags & APPFLAG_FONT_CHANGED) failures.push_back("the font request was not taken");
        if (!Lit(*view, noArea)) failures.push_back("no is not lit after the new font");
        stack.input->TapButton(0);
        break;
    }
  };
  EXPECT_FALSE(AskYesNo(u"プロローグをスキップしますか？"));
  EXPECT_EQ(failures, std::vector<std::string>{});
  EXPECT_GE(frames, 11u);
  EXPECT_TRUE(g_AppFlags & APPFLAG_FONT_CHANGED) << "raised again for whatever shows text next";
  EXPECT_EQ(Children(), childrenBefore) << "the frame and the text are gone";

  g_AppFlags = 0;
  frames = 0;
  reader = [&](uint64_t frame) {
    if (frame == 2) ClickAt(platform::Point{320, 210});
  };
  EXPECT_TRUE(AskYesNo(u"はい？"));
}

TEST_F(SaveOptions, AScriptExceptionInThePromptGoesOnAfterItIsGone) {
  const size_t childrenBefore = Children();
  reader = [&](uint64_t frame) {
    if (frame == 2) g_TransferRequest = 1;
  };
  EXPECT_THROW(AskYesNo(u"?"), ScriptException);
  EXPECT_EQ(Children(), childrenBefore);
}

}  // namespace
