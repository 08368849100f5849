// The system settings, player-name and flag dialogs on the scripted host: their controls, what
// OK writes to the settings block and what the game is told, and what cancel leaves alone.
#include <gtest/gtest.h>

#include <cstring>

#include "dialogfixture.h"
#include "dxdraw/dxdisplay.h"
#include "platform/utf.h"
#include "script/layout.h"
#include "script/services.h"
#include "tests/app/stack.h"
#include "tests/script/fakeservices.h"

namespace {

using namespace dialogtest;
using platform::DialogState;
using platform::ScrollCode;

class ColourRecorder : public scripttest::FakeSceneServices {
 public:
  void ApplyWindowColour(const WindowColour& c) override { applied.push_back(c); }
  std::vector<WindowColour> applied;
};

class SystemDialogTest : public DialogTest {
 protected:
  SystemDialogTest() {
    GameServices services;
    services.pictures = &colours;
    SetGameServices(services);
    g_Frame.frame = &window;
    g_AppFlags = 0;
  }
  ~SystemDialogTest() override {
    g_Frame.frame = nullptr;
    g_Frame.display = nullptr;
    SetGameServices(GameServices{});
  }
  static uint32_t PreviewAt(const DialogState& d) {
    const platform::ControlState* c = d.Find(IDC_COLOUR_PREVIEW);
    if (!c || c->picture.empty()) return 0xFFFFFFFF;
    return uint32_t(c->picture[2]) << 16 | uint32_t(c->picture[1]) << 8 | c->picture[0];
  }
  void SetColour(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const uint8_t c[4] = {r, g, b, a};
    std::memcpy(g_Setting.m_BaseColor, c, 4);
  }

  ColourRecorder colours;
  varntest::TestMainWindow window;
};

TEST_F(SystemDialogTest, OpensOnTheSettings) {
  g_Setting.m_DisplaySpeed = 1;
  g_Setting.m_TextSkip1 = 0;
  SetColour(10, 20, 30, 40);
  CopyWideTruncated(g_Setting.m_FontName, 32, u"ＭＳ ゴシック");
  Script({Inspect([](const DialogState& d) {
    EXPECT_EQ(d.Caption(), u"システム設定");
    EXPECT_TRUE(d.IsChecked(IDC_WINDOWED));
    EXPECT_FALSE(d.IsChecked(IDC_FULLSCREEN));
    EXPECT_TRUE(d.IsChecked(IDC_SPEED_FAST));
    EXPECT_FALSE(d.IsChecked(IDC_TEXTSKIP1));
    EXPECT_TRUE(d.IsChecked(IDC_TEXTSKIP2));
    const int32_t values[4] = {10, 20, 30, 40};
    const uint32_t bars[4] = {IDC_COLOUR_R, IDC_COLOUR_G, IDC_COLOUR_B, IDC_COLOUR_A};
    for (int i = 0; i < 4; ++i) {
      const platform::ControlState* bar = d.Find(bars[i]);
      EXPECT_EQ(bar->min, 0);
      EXPECT_EQ(bar->max, 255);
      EXPECT_EQ(bar->page, 16);
      EXPECT_EQ(bar->pos, 255 - values[i]) << "the top of a bar is its highest value";
    }
    EXPECT_EQ(PreviewAt(d), 0x0A141Eu);
    EXPECT_EQ(d.LineCount(IDC_FONT), 3);
    EXPECT_EQ(d.GetText(IDC_FONT), u"ＭＳ ゴシック");
  })});
  SystemSettingsDialog();
}

TEST_F(SystemDialogTest, EachColourBarMoveGivesItsValue) {
  struct Case {
    uint8_t start;
    ScrollCode code;
    int32_t thumb;
    uint8_t expected;
  };
  const Case cases[] = {
      {100, ScrollCode::LineUp, 0, 101},      {100, ScrollCode::LineDown, 0, 99},
      {100, ScrollCode::PageUp, 0, 116},      {100, ScrollCode::PageDown, 0, 84},
      {100, ScrollCode::ThumbTrack, 55, 200}, {100, ScrollCode::ThumbPosition, 0, 255},
      {100, ScrollCode::Top, 0, 255},         {100, ScrollCode::Bottom, 0, 0},
      {250, ScrollCode::PageUp, 0, 255},      {10, ScrollCode::PageDown, 0, 0},
      {16, ScrollCode::PageDown, 0, 0},       {255, ScrollCode::LineUp, 0, 255},
      {0, ScrollCode::LineDown, 0, 0},        {100, ScrollCode::EndScroll, 0, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.start) << " code " << int(c.code));
    SetColour(1, 2, c.start, 4);
    colours.applied.clear();
    Script({Scroll(IDC_COLOUR_B, c.code, c.thumb), Inspect([&](const DialogState& d) {
              EXPECT_EQ(d.GetPosition(IDC_COLOUR_B), 255 - c.expected);
              EXPECT_EQ(PreviewAt(d), 0x010200u | c.expected) << "the preview follows the bar";
            }),
            Click(platform::kIdOk)});
    SystemSettingsDialog();
    EXPECT_EQ(g_Setting.m_BaseColor[2], c.expected);
    EXPECT_EQ(colours.applied.size(), c.expected != c.start ? 1u : 0u);
  }
}

TEST_F(SystemDialogTest, AlphaAtItsTopIs255AndThePreviewShowsOnlyTheColour) {
  SetColour(64, 64, 240, 160);
  Script({Scroll(IDC_COLOUR_A, ScrollCode::Top),
          Inspect([](const DialogState& d) { EXPECT_EQ(PreviewAt(d), 0x4040F0u); }), Click(platform::kIdOk)});
  SystemSettingsDialog();
  EXPECT_EQ(g_Setting.m_BaseColor[3], 255);
  ASSERT_EQ(colours.applied.size(), 1u);
  EXPECT_EQ(colours.applied[0].a, 255);
  EXPECT_EQ(colours.applied[0].b, 240);
  EXPECT_EQ(g_AppFlags, 0u) << "a colour change alone raises no request";
}

TEST_F(SystemDialogTest, DefaultSetsTheColourOnlyWhenConfirmed) {
  SetColour(1, 2, 3, 4);
  Script({Click(IDC_COLOUR_DEFAULT), Inspect([](const DialogState& d) {
            EXPECT_EQ(d.GetPosition(IDC_COLOUR_R), 255 - 32);
            EXPECT_EQ(d.GetPosition(IDC_COLOUR_A), 255 - 160);
            EXPECT_EQ(PreviewAt(d), 0x2020F0u);
          }),
          Escape()});
  SystemSettingsDialog();
  EXPECT_EQ(g_Setting.m_BaseColor[0], 1) << "cancel keeps the colour";
  EXPECT_TRUE(colours.applied.empty());

  Script({Click(IDC_COLOUR_DEFAULT), Click(platform::kIdOk)});
  SystemSettingsDialog();
  const uint8_t expected[4] = {32, 32, 240, 160};
  EXPECT_EQ(std::memcmp(g_Setting.m_BaseColor, expected, 4), 0);
  ASSERT_EQ(colours.applied.size(), 1u);
  EXPECT_EQ(colours.applied[0].r, 32);
}

TEST_F(SystemDialogTest, OkTellsTheGameExactlyWhatChanged) {
  struct Case {
    const char* what;
    std::vector<Action> actions;
    uint32_t flags;
    bool toggled;
  };
  const Case cases[] = {
      {"nothing", {}, 0, false},
      {"picture speed", {Click(IDC_SPEED_FAST)}, APPFLAG_DISPLAYSPEED_CHANGED, false},
      {"skip option 1", {Click(IDC_TEXTSKIP1)}, APPFLAG_TEXTSKIP1_CHANGED, false},
      {"skip option 2", {Click(IDC_TEXTSKIP2)}, APPFLAG_TEXTSKIP2_CHANGED, false},
      {"the font", {Choose(IDC_FONT, 2)}, APPFLAG_FONT_CHANGED, false},
      {"full screen", {Click(IDC_FULLSCREEN)}, 0, true},
      {"screen mode back and forth", {Click(IDC_FULLSCREEN), Click(IDC_WINDOWED)}, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetSettings();
    g_AppFlags = 0;
    window.commands.clear();
    colours.applied.clear();
    std::vector<Action> actions = c.actions;
    actions.push_back(Click(platform::kIdOk));
    Script(actions);
    SystemSettingsDialog();
    EXPECT_EQ(g_AppFlags, c.flags);
    EXPECT_EQ(window.commands, c.toggled ? std::vector<uint32_t>{40001} : std::vector<uint32_t>{});
    EXPECT_TRUE(colours.applied.empty());
  }
  EXPECT_EQ(std::u16string(g_Setting.m_FontName), u"ＭＳ 明朝") << "the last case kept the font";
}

TEST_F(SystemDialogTest, CancelChangesNothing) {
  const SETTINGDATA before = g_Setting;
  Script({Click(IDC_FULLSCREEN), Click(IDC_SPEED_FAST), Click(IDC_TEXTSKIP1), Choose(IDC_FONT, 1),
          Scroll(IDC_COLOUR_G, ScrollCode::Bottom), Escape()});
  SystemSettingsDialog();
  EXPECT_EQ(std::memcmp(&before, &g_Setting, sizeof(SETTINGDATA)), 0);
  EXPECT_EQ(g_AppFlags, 0u);
  EXPECT_TRUE(window.commands.empty());
  EXPECT_TRUE(colours.applied.empty());
}

TEST_F(SystemDialogTest, AFontNoLongerInstalledFallsBack) {
  CopyWideTruncated(g_Setting.m_FontName, 32, u"Gone Font");
  Script({Inspect([](const DialogState& d) { EXPECT_EQ(d.GetText(IDC_FONT), u"ＭＳ 明朝"); }), Click(platform::kIdOk)});
  SystemSettingsDialog();
  EXPECT_EQ(std::u16string(g_Setting.m_FontName), u"ＭＳ 明朝");
  EXPECT_EQ(g_AppFlags, APPFLAG_FONT_CHANGED);

  // Neither the face nor the fallback in the list: nothing is selected, and OK takes the fallback.
  fonts = {u"IPAGothic"};
  CopyWideTruncated(g_Setting.m_FontName, 32, u"Gone Font");
  Script({Inspect([](const DialogState& d) { EXPECT_EQ(d.GetSelection(IDC_FONT), -1); }), Click(platform::kIdOk)});
  SystemSettingsDialog();
  EXPECT_EQ(std::u16string(g_Setting.m_FontName), u"ＭＳ 明朝");
}

TEST_F(SystemDialogTest, TheScreenModeIsReadFromTheDisplay) {
  ASSERT_TRUE(backend->window->Create(platform::WindowDesc{u"t"}));
  DxDraw::DxScreen screen(*backend->display);
  ASSERT_EQ(screen.Initialize(backend->window.get(), nullptr, 800, 600, 32, true, 0), 0);
  ASSERT_FALSE(screen.IsWindowed());
  g_Frame.display = &screen;
  g_Setting.m_FullScreen = 0;  // out of date: the display runs full screen
  Script({Inspect([](const DialogState& d) { EXPECT_TRUE(d.IsChecked(IDC_FULLSCREEN)); }), Click(platform::kIdOk)});
  SystemSettingsDialog();
  EXPECT_EQ(g_Setting.m_FullScreen, 1);
  EXPECT_TRUE(window.commands.empty()) << "the mode in force is no change";
}

// ---- Player name ------------------------------------------------------------------------------

class NameDialogTest : public DialogTest {
 protected:
  NameDialogTest() {
    CopyWideTruncated(g_FamilyName, kPlayerNameSize, u"朝霧");
    CopyWideTruncated(g_GivenName, kPlayerNameSize, u"湊");
  }
  ~NameDialogTest() override { g_FamilyName[0] = g_GivenName[0] = 0; }
};

TEST_F(NameDialogTest, OkTakesBothNamesAndAnEmptyFieldIsRefusedSilently) {
  Script({Inspect([](const DialogState& d) {
            EXPECT_EQ(d.Caption(), u"主人公名変更");
            EXPECT_EQ(d.GetText(IDC_FAMILY_NAME), u"朝霧");
            EXPECT_EQ(d.GetText(IDC_GIVEN_NAME), u"湊");
            EXPECT_EQ(d.Find(IDC_FAMILY_NAME)->maxLength, 8);
            EXPECT_EQ(d.Find(IDC_GIVEN_NAME)->maxLength, 8);
          }),
          Type(IDC_FAMILY_NAME, u"一二三四五六七八九"), Type(IDC_GIVEN_NAME, u""), Click(platform::kIdOk),
          Inspect([](const DialogState& d) {
            EXPECT_FALSE(d.Ended()) << "an empty given name keeps the dialog open";
            EXPECT_EQ(d.GetText(IDC_FAMILY_NAME), u"一二三四五六七八") << "a ninth character cannot be typed";
          }),
          Type(IDC_GIVEN_NAME, u"蓮"), Click(platform::kIdOk)});
  EXPECT_EQ(PlayerNameDialog(), 1);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(std::u16string(g_FamilyName), u"一二三四五六七八");
  EXPECT_EQ(std::u16string(g_GivenName), u"蓮");
}

TEST_F(NameDialogTest, CancelKeepsTheNamesAndALongNameComesBackWhole) {
  Script({Type(IDC_FAMILY_NAME, u"別"), Escape()});
  EXPECT_EQ(PlayerNameDialog(), -1);
  EXPECT_EQ(std::u16string(g_FamilyName), u"朝霧");

  const std::u16string longest(kPlayerNameSize - 1, u'長');
  CopyWideTruncated(g_FamilyName, kPlayerNameSize, longest);
  Script({Click(platform::kIdOk)});
  EXPECT_EQ(PlayerNameDialog(), 1);
  EXPECT_EQ(std::u16string(g_FamilyName), longest) << "a name set elsewhere is not cut by the edit's limit";
}

// ---- Flag number ------------------------------------------------------------------------------

class FlagDialogTest : public DialogTest {
 protected:
  FlagDialogTest() { g_FlagNumber = 12; }
  ~FlagDialogTest() override { g_FlagNumber = 0; }
};

TEST_F(FlagDialogTest, EnterInTheNumberMovesOnAndTheButtonStoresIt) {
  Script({Inspect([](const DialogState& d) {
            EXPECT_EQ(d.Caption(), u"ﾀﾞｲｱﾛｸﾞ");
            EXPECT_EQ(d.GetText(IDC_FLAG_NUMBER), u"12");
            EXPECT_EQ(d.Find(IDC_FLAG_SPIN)->max, 2047);
            EXPECT_EQ(d.GetText(platform::kIdOk), u"閉じる");
          }),
          Type(IDC_FLAG_NUMBER, u"2047"), Enter(), Inspect([](const DialogState& d) {
            EXPECT_FALSE(d.Ended());
            EXPECT_EQ(d.GetFocus(), uint32_t(platform::kIdOk));
          }),
          Enter()});
  EXPECT_EQ(FlagDialog(), 1);
  EXPECT_EQ(g_FlagNumber, 2047);

  Script({Click(IDC_FLAG_ON), Click(IDC_FLAG_OFF), Scroll(IDC_FLAG_SPIN, ScrollCode::LineUp), Escape()});
  EXPECT_EQ(FlagDialog(), -1);
  EXPECT_EQ(g_FlagNumber, 2047) << "the spin stops at 2047, and the close box stores the number too";
}

TEST_F(FlagDialogTest, ANumberOutOfRangeOrNotANumberIsNotStored) {
  for (const char16_t* typed : {u"2048", u"-1", u"abc", u"12x", u"", u"99999999999", u"１２"}) {
    SCOPED_TRACE(platform::WideToUtf8(typed));
    g_FlagNumber = 12;
    Script({Type(IDC_FLAG_NUMBER, typed), Enter(), Inspect([](const DialogState& d) {
              EXPECT_EQ(d.GetText(IDC_FLAG_NUMBER), u"12") << "Enter puts the last good number back";
            }),
            Type(IDC_FLAG_NUMBER, typed), Click(platform::kIdOk)});
    EXPECT_EQ(FlagDialog(), 1);
    EXPECT_EQ(g_FlagNumber, 12);
  }
}

}  // namespace
