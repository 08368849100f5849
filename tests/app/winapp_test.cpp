// The main window's commands and accelerators on the menu model: what each command does, greying
// that holds in every mode, check marks, the close question, and the driver choice dialog.
#include "app/winapp.h"

#include <gtest/gtest.h>

#include "app/config.h"
#include "app/frame/framestep.h"
#include "dxdraw/screen.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "script/save/options.h"
#include "script/scenario.h"

namespace {

using platform::MsgResult;

struct FakeCommands : IMenuCommands {
  bool RunSaveDialog() override {
    calls.push_back("save");
    return saved;
  }
  int32_t RunLoadDialog() override {
    calls.push_back("load");
    return slot;
  }
  void ShowVariables() override { calls.push_back("variables"); }
  void ShowFlags() override { calls.push_back("flags"); }
  void RunSoundSettings() override { calls.push_back("sound"); }
  void RunSystemSettings() override { calls.push_back("system"); }
  void RunNameDialog() override { calls.push_back("name"); }
  void ShowManual() override { calls.push_back("manual"); }
  bool saved = false;
  int32_t slot = -1;
  std::vector<std::string> calls;
};

struct FakeNotices : INotices {
  void ShowNotice(const char16_t* text, uint32_t ms) override { shown.push_back({text, ms}); }
  std::vector<std::pair<std::u16string, uint32_t>> shown;
};

class WinAppTest : public ::testing::Test {
 public:
  WinAppTest() : menu(BuildMainMenu()), app(menu, commands) {
    ResetFrameStep();
    ResetConfig();
    m_Previous = platform::SetMessageBoxService(&boxes);
    GameServices services;
    services.notices = &notices;
    SetGameServices(services);
  }
  ~WinAppTest() override {
    SetGameServices(GameServices{});
    platform::SetMessageBoxService(m_Previous);
    g_pCurrentGroup = nullptr;
    ResetFrameStep();
    SetTextSpeed(2);
    SetAutoWait(3);
  }
  void Send(uint32_t id) { app.SendMessage(WMSG_COMMAND, id, 0); }

  platform::Menu menu;
  FakeCommands commands;
  FakeNotices notices;
  WinApp app;
  platform::headless::HeadlessMessageBoxes boxes;

 private:
  platform::MessageBoxService* m_Previous = nullptr;
};

TEST_F(WinAppTest, TheMenuHoldsThePartsItems) {
  ASSERT_EQ(menu.Top().size(), 3u);
  EXPECT_EQ(menu.Top()[0].label, u"システム");
  EXPECT_EQ(menu.Top()[2].label, u"デバッグ");
  const std::pair<uint32_t, const char16_t*> items[] = {{40004, u"通常"},
                                                        {40008, u"１６倍速"},
                                                        {40009, u"自動"},
                                                        {40017, u"遅い"},
                                                        {40020, u"最速"},
                                                        {40022, u"遅い"},
                                                        {40025, u"最速"},
                                                        {40027, u"サウンド設定"},
                                                        {40030, u"マニュアル"},
                                                        {40000, u"終了(&X)"},
                                                        {40003, u"タイトルに戻る(&X)"},
                                                        {40010, u"セーブする(&S)"},
                                                        {40011, u"ロードする(&L)"},
                                                        {40013, u"変数表示"}};
  for (const auto& [id, label] : items) {
    ASSERT_NE(menu.Find(id), nullptr) << id;
    EXPECT_EQ(menu.Find(id)->label, label) << id;
  }
  for (uint32_t absent : {40002u, 40012u, 40014u, 40021u}) EXPECT_EQ(menu.Find(absent), nullptr) << absent;
}

TEST_F(WinAppTest, CommandsAndWhatTheyTrigger) {
  struct Case {
    uint32_t id;
    std::function<void(WinAppTest&)> arrange;
    std::function<bool(WinAppTest&)> holds;
  };
  auto none = [](WinAppTest&) {};
  const Case cases[] = {
      {40003, none, [](WinAppTest&) { return g_TransferRequest == 1; }},
      {40010, [](WinAppTest& t) { t.commands.saved = true; },
       [](WinAppTest& t) {
         return t.notices.shown.size() == 1 && t.notices.shown[0].first == u"セーブしました" &&
                t.notices.shown[0].second == 2000;
       }},
      {40010, none, [](WinAppTest& t) { return t.commands.calls.size() == 1 && t.notices.shown.empty(); }},
      {40011, [](WinAppTest& t) { t.commands.slot = 4; },
       [](WinAppTest&) { return g_PendingLoadSlot == 4 && g_TransferRequest == 2; }},
      {40011, none, [](WinAppTest& t) { return t.commands.calls.size() == 1 && g_TransferRequest == 0; }},
      {40013, none, [](WinAppTest& t) { return t.commands.calls == std::vector<std::string>{"variables"}; }},
      {40014, none, [](WinAppTest& t) { return t.commands.calls == std::vector<std::string>{"flags"}; }},
      {40027, none, [](WinAppTest& t) { return t.commands.calls == std::vector<std::string>{"sound"}; }},
      {40028, none, [](WinAppTest& t) { return t.commands.calls == std::vector<std::string>{"system"}; }},
      {40029, none, [](WinAppTest& t) { return t.commands.calls == std::vector<std::string>{"name"}; }},
      {40030, none, [](WinAppTest& t) { return t.commands.calls == std::vector<std::string>{"manual"}; }},
      {40017, none, [](WinAppTest& t) { return g_TextSpeed == 400 && t.menu.IsChecked(40017); }},
      {40020, none, [](WinAppTest& t) { return g_TextSpeed == 0 && t.menu.IsChecked(40020); }},
      {40022, none, [](WinAppTest& t) { return g_AutoWait == 1000 && t.menu.IsChecked(40022); }},
      {40025, none, [](WinAppTest& t) { return g_AutoWait == 1 && t.menu.IsChecked(40025); }},
      // 40021 has no item: the wait is set, and no check moves.
      {40021, [](WinAppTest& t) { t.menu.CheckRadio(40021, 40025, 40023); },
       [](WinAppTest& t) { return g_AutoWait == 0 && t.menu.IsChecked(40023); }},
      // Before the screen surface exists only the check mark moves.
      {40005, none, [](WinAppTest& t) { return t.menu.IsChecked(40005) && g_Config.skipFrame == 1; }},
      {40000, [](WinAppTest& t) { t.boxes.Answer(MsgResult::Yes); },
       [](WinAppTest& t) {
         return g_QuitFlag == 1 && t.boxes.Shown().size() == 1 &&
                t.boxes.Shown()[0].text == u"終了してもよろしいですか？";
       }},
      {40000, [](WinAppTest& t) { t.boxes.Answer(MsgResult::No); }, [](WinAppTest&) { return g_QuitFlag == 0; }},
      // Going back a little asks only while a scenario runs.
      {40012, none, [](WinAppTest& t) { return t.boxes.Shown().empty() && g_TransferRequest == 0; }},
      {40012,
       [](WinAppTest& t) {
         g_pCurrentGroup = reinterpret_cast<ScriptStateGroup_App*>(&t);
         t.boxes.Answer(MsgResult::Yes);
       },
       [](WinAppTest& t) {
         return g_TransferRequest == 3 && t.boxes.Shown().size() == 1 &&
                t.boxes.Shown()[0].text == u"シナリオを少し戻ります。よろしいですか？" &&
                t.boxes.Shown()[0].caption == u"確認";
       }},
      {40012,
       [](WinAppTest& t) {
         g_pCurrentGroup = reinterpret_cast<ScriptStateGroup_App*>(&t);
         t.boxes.Answer(MsgResult::No);
       },
       [](WinAppTest&) { return g_TransferRequest == 0; }},
      // A greyed item does nothing.
      {40003, [](WinAppTest& t) { t.menu.Enable(40003, false); }, [](WinAppTest&) { return g_TransferRequest == 0; }},
      {40011, [](WinAppTest& t) { t.menu.Enable(40011, false); },
       [](WinAppTest& t) { return t.commands.calls.empty(); }},
      {40027, [](WinAppTest& t) { t.menu.Enable(40027, false); },
       [](WinAppTest& t) { return t.commands.calls.empty(); }},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << n++ << ", command " << c.id);
    menu = BuildMainMenu();
    commands = FakeCommands{};
    notices.shown.clear();
    boxes.Clear();
    ResetFrameStep();
    ResetConfig();
    g_pCurrentGroup = nullptr;
    c.arrange(*this);
    Send(c.id);
    EXPECT_TRUE(c.holds(*this));
  }
}

TEST_F(WinAppTest, DrawingSpeedSetsTheScreensSkipFields) {
  auto* screen = new DxDraw::DxScreenSurface32();
  app.SetScreenSurface(screen);
  const struct {
    uint32_t id, fields;
    int32_t setting;
  } cases[] = {{40004, 0, 1}, {40005, 1, 2}, {40006, 3, 4}, {40007, 7, 8}, {40008, 15, 16}, {40009, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    Send(c.id);
    EXPECT_EQ(screen->m_SkipFrames, c.fields);
    EXPECT_EQ(screen->m_SkipCount, c.fields);
    EXPECT_EQ(g_Config.skipFrame, c.setting);
    for (uint32_t other = 40004; other <= 40009; ++other) EXPECT_EQ(menu.IsChecked(other), other == c.id);
  }
  app.SetScreenSurface(nullptr);
  screen->Release();
}

TEST_F(WinAppTest, WindowMessages) {
  boxes.Answer(MsgResult::Yes);
  app.SendMessage(WMSG_CLOSE, 0, 0);
  EXPECT_EQ(g_QuitFlag, 1);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].caption, u"終了");
  EXPECT_EQ(boxes.Shown()[0].defaultButton, 1);

  app.SendMessage(WMSG_CHAR, u'あ', 7);
  EXPECT_EQ(g_Input.lastChar, u'あ');
  EXPECT_EQ(g_Input.lastCharData, 7u);

  app.SendMessage(WMSG_ACTIVATEAPP, 0, 0);
  EXPECT_EQ(g_AppActive, 0);
  app.SendMessage(WMSG_ACTIVATEAPP, 1, 0);
  EXPECT_EQ(g_AppActive, 1);
}

TEST_F(WinAppTest, AcceleratorsOnTheMenuModel) {
  const platform::AcceleratorTable keys = BuildAccelerators();
  auto key = [](uint8_t code, uint32_t mods) {
    platform::Event e;
    e.type = platform::EventType::KeyDown;
    e.key = code;
    e.modifiers = mods;
    return e;
  };
  EXPECT_EQ(keys.Translate(key(platform::DIK_F10, 0), &menu), std::optional<uint32_t>(40002));
  EXPECT_EQ(keys.Translate(key(platform::DIK_RETURN, platform::kModAlt), &menu), std::optional<uint32_t>(40001));
  EXPECT_EQ(keys.Translate(key(platform::DIK_Z, platform::kModCtrl), &menu), std::optional<uint32_t>(40012));
  EXPECT_EQ(keys.Translate(key(platform::DIK_RETURN, 0), &menu), std::nullopt);
  EXPECT_EQ(keys.Translate(key(platform::DIK_Z, 0), &menu), std::nullopt);

  // The game's greying goes into the model; 40012 is no item of it, so Ctrl+Z always reaches
  // the window, which decides by the running scenario.
  MenuModelItems items(menu);
  items.EnableMenuItem(40010, false);
  items.EnableMenuItem(40012, false);
  EXPECT_FALSE(menu.IsEnabled(40010));
  EXPECT_EQ(keys.Translate(key(platform::DIK_Z, platform::kModCtrl), &menu), std::optional<uint32_t>(40012));
}

TEST(DisplayDriverChoice, TheComboListsTheDriversAndCancelIsMinusOne) {
  platform::headless::HeadlessDialogHost host;
  const std::vector<DxDraw::DisplayDevice> drivers = {{true, 0, u"Primary", u"display"},
                                                      {false, 1, u"Second", u"display2"}};
  host.Script({platform::headless::DialogAction::Inspect([](const platform::DialogState& s) {
                 EXPECT_EQ(s.LineCount(1000), 2);
                 EXPECT_EQ(s.GetLine(1000, 1), u"Second");
                 EXPECT_EQ(s.GetSelection(1000), 0);
               }),
               {platform::headless::DialogAction::Choose, 1000, u"", 1},
               {platform::headless::DialogAction::Click, platform::kIdOk}});
  EXPECT_EQ(ChooseDisplayDriver(host, drivers), 1);
  host.Script({{platform::headless::DialogAction::Click, platform::kIdCancel}});
  EXPECT_EQ(ChooseDisplayDriver(host, drivers), -1);
  host.Script({{platform::headless::DialogAction::Click, platform::kIdOk}});
  EXPECT_EQ(ChooseDisplayDriver(host, drivers), 0);
}

}  // namespace

namespace {

// The replay renames back-to-title on the menu model, and the backend sees the change.
TEST(MenuModelItemsTest, TextsAreTheModelsLabels) {
  platform::Menu menu = BuildMainMenu();
  MenuModelItems items(menu);
  EXPECT_EQ(items.MenuItemText(IDM_TITLE), u"タイトルに戻る(&X)");
  const uint32_t before = menu.Revision();
  items.SetMenuItemText(IDM_TITLE, u"再生メニューに戻る(&X)");
  EXPECT_EQ(menu.Find(IDM_TITLE)->label, u"再生メニューに戻る(&X)");
  EXPECT_NE(menu.Revision(), before);
  EXPECT_EQ(items.MenuItemText(12345), u"") << "an absent item has no text";
  items.SetMenuItemText(12345, u"x");
}

}  // namespace
