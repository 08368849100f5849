// Tests of the run loop and the core commands: flow, results, waits, transfers and errors.
#include <map>

#include "platform/log.h"
#include "script_fixture.h"

namespace {

using scripttest::ScriptTest;
using scripttest::Sj;
using scripttest::TestFrameStep;
using scripttest::U8;
using TextScript::ScriptStateGroup;
using TextScript::ScriptStateNode;

class TraceGroup;

// Records every statement the loop executes as "type@line"; DOF runs the group's hook.
class TraceNode : public ScriptStateNode {
 public:
  using ScriptStateNode::ScriptStateNode;
  ScriptStateNode* Execute() override;
};

class TraceGroup : public ScriptStateGroup {
 public:
  std::unique_ptr<ScriptStateNode> CreateNode() override { return std::make_unique<TraceNode>(this, m_Reader.m_Line); }
  int OnBegin() override {
    ++m_Begins;
    m_BegunBefore = ScriptStateGroup::OnBegin();
    return m_BegunBefore;
  }
  void OnEnd() override { ++m_Ends; }

  std::string m_Trace;
  int m_Begins = 0;
  int m_Ends = 0;
  int m_BegunBefore = -1;
  std::function<void(TraceNode&)> m_OnDof;
};

ScriptStateNode* TraceNode::Execute() {
  auto* g = static_cast<TraceGroup*>(m_pGroup);
  if (!g->m_Trace.empty()) g->m_Trace += ' ';
  g->m_Trace += std::to_string(m_Type) + "@" + std::to_string(m_Line);
  if (m_Type == TextScript::STMT_DOF && g->m_OnDof) g->m_OnDof(*this);
  return ScriptStateNode::Execute();
}

// A wait task that finishes after `runs` runs, or at once when asked to.
struct WaitState {
  int runsLeft = 1;
  int runs = 0;
  int finishRequests = 0;
};

int32_t WaitProc(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
  auto* s = reinterpret_cast<WaitState*>(act->m_User);
  if (message == ACTMSG_RUN) {
    ++s->runs;
    if (--s->runsLeft <= 0) act->m_Result = ACT_RESULT_DONE;
  } else if (message == ACTMSG_FINISH) {
    ++s->finishRequests;
    act->m_Result = ACT_RESULT_DONE;
  }
  return 0;
}

class ScriptRun : public ScriptTest {
 protected:
  TraceGroup& Make(std::u16string_view text, std::u16string_view iv = u"") {
    m_Source = Sj(text);
    m_IV = Sj(iv);
    m_pTrace = std::make_unique<TraceGroup>();
    if (!iv.empty()) m_pTrace->ReadIVTables(m_IV.data(), m_IV.size());
    m_pTrace->Compile(m_Source.data(), m_Source.size(), u"scene\\test.txt");
    return *m_pTrace;
  }
  // Runs and expects a runtime error; returns "line:message" and checks the debug line.
  std::string RunError(TraceGroup& g, int32_t startPage = -1) {
    platform::LogCapture log;
    try {
      g.Run(startPage);
    } catch (const ExceptionHandle& e) {
      const std::u16string expected = FormatWide(u"scene\\test.txt(%d): Runtime Error: %s\n", e.m_Line, e.m_Message);
      EXPECT_EQ(U8(log.Text()), U8(expected));
      EXPECT_EQ(std::u16string(e.m_Source), u"scene\\test.txt");
      EXPECT_EQ(e.m_Type, 0);
      EXPECT_EQ(g.m_Ends, 0) << "a runtime error leaves without the end operation";
      return std::to_string(e.m_Line) + ":" + U8(e.m_Message);
    }
    return "no error";
  }
  std::unique_ptr<TraceGroup> m_pTrace;
};

TEST_F(ScriptRun, CoreCommandTable) {
  struct Case {
    std::u16string text;
    std::map<std::u16string, int32_t> vars;
    std::string trace;
  } cases[] = {
      {u".PST a - 5\n", {{u"A", -5}}, "9@2 0@2"},
      {u".PST a = 7\n.PST a + 3\n.PST A - 1\n", {{u"A", 9}}, "9@2 9@3 9@4 0@4"},
      {u".PST a = 4294967295\n", {{u"A", -1}}, "9@2 0@2"},
      {u".PST a = 2147483647\n.PST a + 1\n", {{u"A", INT32_MIN}}, "9@2 9@3 0@3"},
      {u".PST a = 99999999999\n", {{u"A", 1215752191}}, "9@2 0@2"},
      {u".CLM あ\n.CLM い\n.CLM う\n.PST x = 1\n", {{u"X", 1}}, "12@2 9@5 0@5"},
      {u".JMP l\n.PST x = 1\n\n.LAB L\n.PST y = 1\n", {{u"X", 0}, {u"Y", 1}}, "15@2 34@4 5@5 9@6 0@6"},
      {u".RJP a\n.RJP b\n.RJP c\n\n.LAB a\n.PST r = 1\n\n.LAB b\n.PST r = 2\n\n.LAB c\n.PST r = 3\n",
       {{u"R", 3}},
       "16@2 34@11 5@12 9@13 0@13"},
      {u".PJP p = q l\n.PST x = 1\n\n.LAB l\n", {{u"X", 0}}, "17@2 34@4 5@5 0@5"},
      {u".PST a = 4294967295\n.PJP a < 0 l\n.PST x = 1\n\n.LAB l\n", {{u"A", -1}, {u"X", 0}}, "9@2 17@3 34@5 5@6 0@6"},
      {u".PST a = 5\n.PJP a > 5 l\n.PJP a < 5 l\n.PST x = 1\n\n.LAB l\n",
       {{u"A", 5}, {u"X", 1}},
       "9@2 17@3 17@4 9@5 34@6 5@7 0@7"},
      {u".PST v = 3\n.RSP v\n.RSP w\n", {{u"V", 0}, {u"W", 0}}, "9@2 18@3 18@4 0@4"},
      {u".PST abc = 5\n.PST a1 = 5\n.PST b = 5\n.RST a\n",
       {{u"ABC", 0}, {u"A1", 0}, {u"B", 5}},
       "9@2 9@3 9@4 19@5 0@5"},
      {u".PST abc = 5\n.PST a1 = 5\n.PST b = 5\n.RSX a\n",
       {{u"ABC", 5}, {u"A1", 5}, {u"B", 0}},
       "9@2 9@3 9@4 20@5 0@5"},
      {u"あ\n.GRP x\n.LGR x\n.DON d\n.DGR x\n.RMS い\n", {{u"D", 0}}, "1@2 2@3 13@4 22@5 31@6 11@7 0@7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.text));
    Reset();
    TraceGroup& g = Make(c.text);
    EXPECT_EQ(g.Run(-1), 0);
    EXPECT_EQ(g.m_Trace, c.trace);
    for (const auto& [name, value] : c.vars) EXPECT_EQ(Var(name), value) << U8(name);
  }
}

TEST_F(ScriptRun, ReplayModeSkipsOnlyPstAndPjp) {
  TraceGroup& g = Make(u".PST a = 5\n.PJP a = 0 l\n.PST x = 1\n.RSP b\n.RST c\n\n.LAB l\n.PST y = 1\n");
  g_Variables.Set(u"B", 4);
  g_Variables.Set(u"C", 4);
  g_SceneReplayMode = true;
  EXPECT_EQ(g.Run(-1), 0);
  EXPECT_EQ(Var(u"A"), 0);
  EXPECT_EQ(Var(u"X"), 0);
  EXPECT_EQ(Var(u"Y"), 0) << "PJP never jumps while a scene replays";
  EXPECT_EQ(Var(u"B"), 0);
  EXPECT_EQ(Var(u"C"), 0);
}

TEST_F(ScriptRun, RuntimeErrorsReportTheStatementLine) {
  struct Case {
    std::u16string text;
    std::string error;
  } cases[] = {
      {u"\n.PST a = b\n", "3:数値を指定してください。"},
      {u".JMP nope\n", "2:ラベルが見つかりません。[NOPE]"},
      {u".LAB top\n.JMP top\n", "3:ラベルの直前にページ区切りがありません"},
      {u"\n.DOF\n.LAB top\n.JMP top\n", "5:ラベルの直前にページ区切りがありません"},
      {u".RJP a\n.RJP a\n.RJP a\n.RJP a\n", "2:RJP: ジャンプ先を３つ指定してください。"},
      {u".DOF\n.RJP a\n.RJP a\n", "3:RJP: ジャンプ先を３つ指定してください。"},
      {u".IVG 0\n", "2:IVG: ジャンプ番号が範囲を超えています。[0]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.text));
    Reset();
    EXPECT_EQ(RunError(Make(c.text)), c.error);
  }
}

TEST_F(ScriptRun, NumberedErrorGivesItsTableText) {
  TraceGroup& g = Make(u".DOF\n");
  g.m_OnDof = [](TraceNode& n) { throw TextScript::ScriptError(n.m_Line, 4); };
  EXPECT_EQ(RunError(g), "2:0004: ラベルが定義されていません");
}

TEST_F(ScriptRun, BeginEndAndStartPage) {
  TraceGroup& empty = Make(u"");
  EXPECT_EQ(empty.Run(-1), 0);
  EXPECT_EQ(empty.m_Begins, 1);
  EXPECT_EQ(empty.m_Ends, 1);
  EXPECT_EQ(empty.m_BegunBefore, 0);
  EXPECT_EQ(TextScript::g_ScriptHistory.Find(u"TEST"), 1) << "the bare name is recorded";
  EXPECT_EQ(empty.Run(-1), 0);
  EXPECT_EQ(empty.m_BegunBefore, 1);

  TraceGroup& g = Make(u".PST a = 1\n\n.PST b = 1\n\n.PST c = 1\n");
  EXPECT_EQ(g.Run(2), 0);
  EXPECT_EQ(g.m_Trace, "9@6 0@6");
  EXPECT_EQ(TextScript::g_CurrentPage, 2);
}

TEST_F(ScriptRun, MissingStartPageIsARuntimeErrorWithThePageAsLine) {
  EXPECT_EQ(RunError(Make(u".DOF\n\n.TOF\n"), 7), "7:再開できるページが見つかりません");
}

TEST_F(ScriptRun, WaitTaskRunsUntilDoneAndIsFreed) {
  TestFrameStep frames;
  WaitState state;
  state.runsLeft = 3;
  TraceGroup& g = Make(u".DOF\n.PST x = 1\n");
  g.m_OnDof = [&](TraceNode& n) { n.Group()->SetWaitTask(MakeACT(WaitProc, reinterpret_cast<uintptr_t>(&state))); };
  const int freeBefore = CountFreeACT();
  frames.m_OnFrame = [&](int) { EXPECT_EQ(Var(u"X"), 0) << "the next statement waits for the task"; };
  EXPECT_EQ(g.Run(-1), 0);
  EXPECT_EQ(state.runs, 3);
  EXPECT_EQ(frames.m_Frames, 3);
  EXPECT_EQ(Var(u"X"), 1);
  EXPECT_EQ(CountFreeACT(), freeBefore);
  EXPECT_EQ(g.WaitTask(), nullptr);
}

TEST_F(ScriptRun, TaskDoneAtFirstRunTakesOneFrame) {
  TestFrameStep frames;
  WaitState state;
  TraceGroup& g = Make(u".DOF\n");
  g.m_OnDof = [&](TraceNode& n) { n.Group()->SetWaitTask(MakeACT(WaitProc, reinterpret_cast<uintptr_t>(&state))); };
  EXPECT_EQ(g.Run(-1), 0);
  EXPECT_EQ(frames.m_Frames, 1);
  EXPECT_EQ(state.finishRequests, 0);
}

TEST_F(ScriptRun, SkipInputsAskTheTaskToFinish) {
  // Left Shift and left Ctrl are the skip inputs; a click, right Shift or right Ctrl are not.
  struct Case {
    uint32_t held;
    int frames;
    int finishRequests;
  } cases[] = {{0x10000u, 2, 1}, {0x40000u, 2, 1}, {0x50000u, 2, 1}, {0x20000u | 0x80000u | 0x1000u, 5, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.held);
    Reset();
    TestFrameStep frames;
    WaitState state;
    state.runsLeft = 5;
    TraceGroup& g = Make(u".DOF\n");
    g.m_OnDof = [&](TraceNode& n) { n.Group()->SetWaitTask(MakeACT(WaitProc, reinterpret_cast<uintptr_t>(&state))); };
    frames.m_OnFrame = [&](int f) { frames.m_Held = f >= 2 ? c.held : 0x1000u; };
    EXPECT_EQ(g.Run(-1), 0);
    EXPECT_EQ(frames.m_Frames, c.frames);
    EXPECT_EQ(state.finishRequests, c.finishRequests);
  }
}

TEST_F(ScriptRun, TransfersEndTheRunWithTheirResult) {
  struct Case {
    int32_t code;
    int result;
    bool snapshot;
  } cases[] = {{0, 1, true}, {1, 2, true}, {2, 0, false}, {3, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Reset();
    TestFrameStep frames;
    frames.m_ThrowOnFrame = 2;
    frames.m_ThrowCode = c.code;
    WaitState state;
    state.runsLeft = 100;
    TraceGroup& g = Make(u".PST s = 4\n.DOF\n.PST t = 1\n");
    g.m_OnDof = [&](TraceNode& n) { n.Group()->SetWaitTask(MakeACT(WaitProc, reinterpret_cast<uintptr_t>(&state))); };
    const int freeBefore = CountFreeACT();
    EXPECT_EQ(g.Run(-1), c.result);
    EXPECT_EQ(g.m_Ends, 1);
    EXPECT_EQ(Var(u"T"), 0);
    EXPECT_EQ(CountFreeACT(), freeBefore) << "the pending task is freed";
    const ScriptVariable* saved = g_SavedVariables.Find(ScriptVariable::kInteger, u"S");
    EXPECT_EQ(saved != nullptr, c.snapshot);
    if (saved) {
      EXPECT_EQ(saved->m_Value, 4);
    }
  }
}

TEST_F(ScriptRun, ErrorObjectEndsTheRunQuietlyAndFreesTheTask) {
  TestFrameStep frames;
  frames.m_OnFrame = [](int) { ThrowException(u"main.cpp", 1, 1, 0, u"quit"); };
  WaitState state;
  state.runsLeft = 100;
  TraceGroup& g = Make(u".DOF\n.PST t = 1\n");
  g.m_OnDof = [&](TraceNode& n) { n.Group()->SetWaitTask(MakeACT(WaitProc, reinterpret_cast<uintptr_t>(&state))); };
  const int freeBefore = CountFreeACT();
  EXPECT_EQ(g.Run(-1), 0);
  EXPECT_EQ(g.m_Ends, 1);
  EXPECT_EQ(Var(u"T"), 0);
  EXPECT_EQ(CountFreeACT(), freeBefore);
}

TEST_F(ScriptRun, TaskIsFreedWhenARuntimeErrorLeaves) {
  TestFrameStep frames;
  WaitState state;
  state.runsLeft = 100;
  TraceGroup& g = Make(u".DOF\n");
  g.m_OnDof = [&](TraceNode& n) { n.Group()->SetWaitTask(MakeACT(WaitProc, reinterpret_cast<uintptr_t>(&state))); };
  frames.m_OnFrame = [](int) { throw TextScript::ScriptError2(9, u"boom"); };
  const int freeBefore = CountFreeACT();
  EXPECT_EQ(RunError(g), "9:boom");
  EXPECT_EQ(CountFreeACT(), freeBefore);
}

}  // namespace
