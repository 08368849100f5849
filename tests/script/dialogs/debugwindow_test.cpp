// The debug window on the scripted host over a compiled script group: the scene state and line,
// showing and changing variables, the lists, and a jump served by the running script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogfixture.h"
#include "platform/utf.h"
#include "script/dialogs/dialogs.h"
#include "script/scenario.h"
#include "tests/script/gamefixture.h"

namespace {

using namespace dialogtest;
using platform::DialogState;
using platform::MsgResult;

class DebugWindowTest : public scripttest::GameTest {
 protected:
  DebugWindowTest() {
    SetDialogServices(DialogServices{stack.backend->hdialogs, &slots, nullptr});
    ClearSceneStates();
  }
  ~DebugWindowTest() override {
    g_pCurrentGroup = nullptr;
    SetDialogServices(DialogServices{});
    ClearSceneStates();
  }
  void Script(std::vector<Action> actions) { stack.backend->hdialogs->Script(std::move(actions)); }
  const std::vector<DialogState>& Finished() const { return stack.backend->hdialogs->Finished(); }
  const std::vector<platform::MessageBoxRequest>& Boxes() const { return stack.backend->hboxes->Shown(); }
  void Answer(MsgResult r) { stack.backend->hboxes->Answer(r); }
  // Compiles the script and makes it the running group.
  void Running(std::u16string_view text) { g_pCurrentGroup = &Compile(text); }

  MemorySlotStore slots;
};

TEST_F(DebugWindowTest, NothingOpensWhileNoGroupRuns) {
  Script({Inspect([](const DialogState&) { ADD_FAILURE() << "no window opens"; })});
  DebugWindow();
  EXPECT_TRUE(Finished().empty());
}

TEST_F(DebugWindowTest, TheSceneStateIsShownFromTheResumeBuffers) {
  Running(u".PST A = 1\n");
  struct Case {
    uint8_t background;
    const char16_t* name;
    const char16_t* grp;
    const char16_t* chr;
  };
  const Case cases[] = {
      {SCENE_BG_BLACK, nullptr, u"Black", u"-----"},
      {SCENE_BG_WHITE, nullptr, u"White", u"-----"},
      {SCENE_BG_PICTURE, u"BG01", u"BG01", u"-----"},
      {SCENE_BG_CHR, u"EV03", u"-----", u"EV03"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::WideToUtf8(c.grp));
    SetSceneState(SCENE_BACKGROUND, c.background, c.name);
    Script({});
    DebugWindow();
    EXPECT_EQ(Finished().back().GetText(IDC_STATE_GRP), c.grp);
    EXPECT_EQ(Finished().back().GetText(IDC_STATE_CHR), c.chr);
  }
  SetSceneState(SCENE_CHARACTERS, SCENE_CHL_SHOWN, u"CH_A");
  SetSceneState(SCENE_BGM, SCENE_BGM_PLAYING, u"town");
  SetSceneState(SCENE_SE1, SCENE_SE_LOOP, u"rain");
  SetSceneState(SCENE_SE2, SCENE_SE_ONCE, u"bell");
  Script({});
  DebugWindow();
  const DialogState& d = Finished().back();
  EXPECT_EQ(d.Caption(), u"デバッグウィンドウ");
  EXPECT_EQ(d.GetText(IDC_STATE_CHL), u"CH_A");
  EXPECT_EQ(d.GetText(IDC_STATE_WAV), u"town");
  EXPECT_EQ(d.GetText(IDC_STATE_S1), u"rain (Loop)");
  EXPECT_EQ(d.GetText(IDC_STATE_S2), u"-----") << "a one-shot effect is not part of the scene";

  ClearSceneStates();
  Script({});
  DebugWindow();
  for (uint32_t id : {IDC_STATE_CHL, IDC_STATE_WAV, IDC_STATE_S1, IDC_STATE_S2})
    EXPECT_EQ(Finished().back().GetText(id), u"-----") << id;
}

TEST_F(DebugWindowTest, ShowAndChangeAVariable) {
  Running(u".PST A = 1\n");
  g_Variables.Set(u"SCORE", 42);
  struct Case {
    std::vector<Action> actions;
    std::u16string box;  // the one box shown, with its caption
    std::u16string caption;
    const char16_t* value;  // the value edit at the end, or null
  };
  const Case cases[] = {
      {{dialogtest::Click(IDC_VAR_SHOW)}, u"変数名を入力してください", u"エラー", nullptr},
      {{Type(IDC_VAR_NAME, u"NOPE"), dialogtest::Click(IDC_VAR_SHOW)}, u"変数がありません", u"エラー", nullptr},
      {{Type(IDC_VAR_NAME, u"score"), dialogtest::Click(IDC_VAR_SHOW)}, u"", u"", u"42"},
      {{dialogtest::Click(IDC_VAR_CHANGE)}, u"変数名を入力してください", u"エラー", nullptr},
      {{Type(IDC_VAR_NAME, u"SCORE"), dialogtest::Click(IDC_VAR_CHANGE)},
       u"数値を入力してください",
       u"エラー",
       nullptr},
      {{Type(IDC_VAR_NAME, u"SCORE"), Type(IDC_VAR_VALUE, u"-7"), dialogtest::Click(IDC_VAR_CHANGE),
        dialogtest::Click(IDC_VAR_SHOW)},
       u"変更しました",
       u"変数",
       u"-7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::WideToUtf8(c.box));
    stack.backend->hboxes->Clear();
    Script(c.actions);
    DebugWindow();
    if (c.box.empty()) {
      EXPECT_TRUE(Boxes().empty());
    } else {
      ASSERT_EQ(Boxes().size(), 1u);
      EXPECT_EQ(Boxes()[0].text, c.box);
      EXPECT_EQ(Boxes()[0].caption, c.caption);
    }
    if (c.value) {
      EXPECT_EQ(Finished().back().GetText(IDC_VAR_VALUE), c.value);
    }
  }
  EXPECT_EQ(Var(u"SCORE"), -7);
}

TEST_F(DebugWindowTest, ChangingAMissingVariableAsksFirst) {
  Running(u".PST A = 1\n");
  Answer(MsgResult::No);
  Script({Type(IDC_VAR_NAME, u"NEWVAR"), Type(IDC_VAR_VALUE, u"5"), dialogtest::Click(IDC_VAR_CHANGE)});
  DebugWindow();
  ASSERT_EQ(Boxes().size(), 1u) << "No ends there";
  EXPECT_EQ(Boxes()[0].text, u"変数がありません。新たに現在の数値で追加しますか？");
  EXPECT_EQ(Boxes()[0].buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(g_Variables.Find(ScriptVariable::kInteger, u"NEWVAR"), nullptr);

  struct Case {
    const char16_t* text;
    int32_t value;
  };
  for (const Case& c : {Case{u"12abc", 12}, Case{u"abc", 0}, Case{u"99999999999", INT32_MAX}, Case{u"0x10", 0}}) {
    SCOPED_TRACE(platform::WideToUtf8(c.text));
    g_Variables.Clear();
    Answer(MsgResult::Yes);
    Script({Type(IDC_VAR_NAME, u"NEWVAR"), Type(IDC_VAR_VALUE, c.text), dialogtest::Click(IDC_VAR_CHANGE)});
    DebugWindow();
    EXPECT_EQ(Var(u"NEWVAR"), c.value);
  }
}

TEST_F(DebugWindowTest, TheListsShowEveryVariableAndEveryRecordedName) {
  Running(u".PST A = 1\n");
  g_Variables.Set(u"A", 1);
  g_Variables.Set(u"LONGNAME9", -20);
  g_pCurrentGroup->m_RecordedNames = {u"SCENE01", u"SCENE02"};
  Script({dialogtest::Click(IDC_VAR_LIST), dialogtest::Click(IDC_SCENE_FLAGS), dialogtest::Click(platform::kIdCancel)});
  Script({dialogtest::Click(platform::kIdOk)});
  Script({Escape()});
  DebugWindow();
  ASSERT_EQ(Finished().size(), 3u) << "two lists opened from the window, then the window closed";
  const DialogState& variables = Finished()[0];
  EXPECT_EQ(variables.Caption(), u"変数一覧");
  // In the table's order (by the names' hash): the long name comes first.
  ASSERT_EQ(variables.LineCount(IDC_LIST), 2);
  EXPECT_EQ(variables.GetLine(IDC_LIST, 0), u"LONGNAME9 : -20");
  EXPECT_EQ(variables.GetLine(IDC_LIST, 1), u"       A : 1") << "the name right-aligned in 8 columns";
  const DialogState& flags = Finished()[1];
  EXPECT_EQ(flags.Caption(), u"シーン再生フラグ一覧");
  ASSERT_EQ(flags.LineCount(IDC_LIST), 2);
  EXPECT_EQ(flags.GetLine(IDC_LIST, 1), u"SCENE02");
}

TEST_F(DebugWindowTest, AnUnknownLabelKeepsTheWindowOpen) {
  Running(u".PST A = 1\n\n.LAB THERE\n.PST B = 1\n");
  Script({dialogtest::Click(IDC_JUMP), Type(IDC_LABEL_NAME, u"NOWHERE"), dialogtest::Click(IDC_JUMP),
          Inspect([](const DialogState& d) { EXPECT_FALSE(d.Ended()); }), Type(IDC_LABEL_NAME, u"THERE"),
          dialogtest::Click(IDC_JUMP)});
  DebugWindow();
  EXPECT_EQ(Finished().back().Result(), 0);
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text, u"ラベル名を入力してください");
  EXPECT_EQ(Boxes()[1].text, u"指定したラベルがありません");
  EXPECT_EQ(g_pCurrentGroup->m_DebugJump, u"THERE");
}

// Opened during a page end, as the menu does, the jump is served by that page end.
TEST_F(DebugWindowTest, AJumpIsServedAtTheNextPageEnd) {
  g_DebugLevel = 1;
  bool opened = false;
  std::u16string line;
  reader = [&](uint64_t) {
    if (!PageWaits()) return;
    if (!opened) {
      opened = true;
      Script({Inspect([&](const DialogState& d) { line = d.GetText(IDC_LINE); }), Type(IDC_LABEL_NAME, u"there"),
              dialogtest::Click(IDC_JUMP)});
      DebugWindow();
    }
    Click();
  };
  g_pCurrentGroup = &Compile(u"あ\n\n.PST A = 1\n\n.LAB THERE\n.PST B = 1\n");
  g_pCurrentGroup->Run(-1);
  EXPECT_TRUE(opened);
  EXPECT_EQ(Var(u"B"), 1);
  EXPECT_NE(Var(u"A"), 1) << "the statements before the label were jumped over";
  EXPECT_FALSE(line.empty());
  EXPECT_NE(line, u"-----") << "a running group has a current line";
}

}  // namespace
