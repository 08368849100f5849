// Tests of "iv.txt": the jump lines, the judge entries and the dispatch of a number.
#include "platform/log.h"
#include "script_fixture.h"

namespace {

using scripttest::ScriptTest;
using scripttest::U8;
using TextScript::IVJUDGETABLENODE;
using TextScript::IVJUMPTABLENODE;

class IVTables : public ScriptTest {
 protected:
  // Twenty jump lines J0..J19, then the given judge text.
  static std::u16string WithJumps(std::u16string_view judges) {
    std::u16string s;
    for (int i = 0; i < 20; ++i) s += u"j" + WString::FromUtf8(std::to_string(i)) + u"  rest " + u"//c\n";
    return s + std::u16string(judges);
  }
  // A script with one labelled page per name, each setting HIT to its index + 1.
  static std::u16string Pages(std::initializer_list<const char16_t*> labels) {
    std::u16string s = u".IVG n\n";
    int i = 0;
    for (const char16_t* l : labels)
      s += u"\n.LAB " + std::u16string(l) + u"\n.PST hit = " + WString::FromUtf8(std::to_string(++i)) + u"\n.JMP fin\n";
    return s + u"\n.LAB fin\n";
  }
  static std::string Conditions(const IVJUDGETABLENODE& e) {
    std::string s;
    for (int i = 0; i < e.m_Count; ++i) {
      const auto& c = e.m_Conditions[i];
      s += (i ? " " : "") + U8(c.m_Left) + (c.m_Op ? std::string(1, static_cast<char>(c.m_Op)) : "?") + U8(c.m_Right);
    }
    return s;
  }
};

TEST_F(IVTables, JumpLinesAndNoJudges) {
  TextScript::ScriptStateGroup g;
  const std::string iv = scripttest::Sj(WithJumps(u""));
  g.ReadIVTables(iv.data(), iv.size());
  ASSERT_EQ(g.m_JumpTable.Count(), 20);
  EXPECT_EQ(g.m_JudgeTable.Count(), 0);
  EXPECT_EQ(U8(g.m_JumpTable.At(0)->m_Label), "J0");
  EXPECT_EQ(U8(g.m_JumpTable.At(-1)->m_Label), "J19");
  EXPECT_EQ(U8(g.m_JumpTable.At(3)->m_Rest), "rest ") << "the remark is not part of the rest";
}

TEST_F(IVTables, ShortFileLeavesEmptyJumpEntries) {
  TextScript::ScriptStateGroup g;
  const std::string iv = "a\nb";
  g.ReadIVTables(iv.data(), iv.size());
  ASSERT_EQ(g.m_JumpTable.Count(), 20);
  EXPECT_EQ(U8(g.m_JumpTable.At(1)->m_Label), "B");
  EXPECT_TRUE(g.m_JumpTable.At(2)->m_Label.empty());
}

TEST_F(IVTables, JudgeEntriesAndOperators) {
  TextScript::ScriptStateGroup g;
  const std::string iv = scripttest::Sj(
      WithJumps(u"\n// remark\n#3 rest\nlab1 x\n a = 1\nB == c\nd >= 2\ne<=f\ng<<h\ni >> j\nk<>l\nm=n\no > p\n"
                u"#4\nlab2\n#-\nlab3\nx\n=\n1\n"));
  g.ReadIVTables(iv.data(), iv.size());
  ASSERT_EQ(g.m_JudgeTable.Count(), 3);
  const IVJUDGETABLENODE* e = g.m_JudgeTable.First();
  EXPECT_EQ(e->m_Id, 3);
  EXPECT_EQ(U8(e->m_Label), "LAB1");
  EXPECT_EQ(Conditions(*e), "A=1 B=C D]2 E[F G<H I>J K!L M=N") << "an '=' keeps the operand after it";
  EXPECT_EQ(e->m_Count, 8) << "conditions beyond the eighth are dropped";
  e = e->Next();
  EXPECT_EQ(e->m_Id, 4);
  EXPECT_EQ(e->m_Count, 0);
  e = e->Next();
  EXPECT_EQ(e->m_Id, 0);
  EXPECT_EQ(Conditions(*e), "X=1") << "line ends may stand between the three parts";
}

TEST_F(IVTables, EntryNotOpenedByNumberSignIsAFormatError) {
  TextScript::ScriptStateGroup g;
  const std::string iv = scripttest::Sj(WithJumps(u"#1\nl\n") + u"");
  std::string bad = iv;
  bad.insert(bad.find("#1"), "oops\n");
  try {
    g.ReadIVTables(bad.data(), bad.size());
    FAIL() << "expected ScriptError2";
  } catch (const TextScript::ScriptError2& e) {
    EXPECT_EQ(e.m_Line, 21);
    EXPECT_EQ(std::u16string(e.m_Message), u"書式が違います");
  }
}

TEST_F(IVTables, AConditionWithAnEmptyOperandIsAFormatError) {
  // Each begin of a run declares both operands: an empty one would make a nameless variable.
  struct Case {
    const char16_t* conditions;
    int32_t line;  // of the condition, counted in the whole file
  } cases[] = {
      {u"x ==\n", 23}, {u"== 3\n", 23}, {u"x = 1\ny <<\n", 24}, {u"x >\n#2\nl\n", 23}, {u"x\n", 23}, {u"+ = 1\n", 23},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.conditions));
    TextScript::ScriptStateGroup g;
    const std::string iv = scripttest::Sj(WithJumps(u"#1\nlab\n") + c.conditions);
    try {
      g.ReadIVTables(iv.data(), iv.size());
      ADD_FAILURE() << "expected ScriptError2";
    } catch (const TextScript::ScriptError2& e) {
      EXPECT_EQ(e.m_Line, c.line);
      EXPECT_EQ(std::u16string(e.m_Message), u"書式が違います");
    }
  }
  EXPECT_EQ(g_Variables.Find(ScriptVariable::kInteger, u""), nullptr);
}

TEST_F(IVTables, DispatchPicksTheFirstHoldingEntryElseTheJumpLine) {
  struct Case {
    int32_t n;
    int32_t v;
    int32_t hit;
  } cases[] = {
      {1, 5, 1},    // first entry of id 1 holds
      {1, 7, 2},    // second holds
      {1, 0, 3},    // neither: jump line 1
      {2, 0, 4},    // no conditions: always holds
      {5, 0, 5},    // the single '>' never holds: jump line 5
      {-20, 0, 6},  // counted from the end: jump line 0
  };
  std::u16string iv;
  const char16_t* jumps[20] = {u"p6", u"p3", u"x", u"x", u"x", u"p5"};
  for (int i = 0; i < 20; ++i) iv += std::u16string(jumps[i] ? jumps[i] : u"x") + u"\n";
  iv += u"#1\np1\nv = 5\n#1\np2\nv >> 6\n1 << 2\n#2\np4\n#5\np1\nv > 1\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    Reset();
    auto& g = CompileWithIV(Pages({u"p1", u"p2", u"p3", u"p4", u"p5", u"p6"}), iv);
    g_Variables.Set(u"N", c.n);
    g_Variables.Set(u"V", c.v);
    EXPECT_EQ(g.Run(-1), 0);
    EXPECT_EQ(Var(u"HIT"), c.hit);
  }
}

TEST_F(IVTables, BeginDeclaresJudgeOperands) {
  auto& g = CompileWithIV(u"", std::u16string(20, u'\n') + u"#1\nl\nalpha = 3\n9 < beta\n");
  EXPECT_EQ(g_Variables.Find(ScriptVariable::kInteger, u"ALPHA"), nullptr);
  g.Run(-1);
  EXPECT_EQ(Var(u"ALPHA"), 0);
  EXPECT_EQ(Var(u"BETA"), 0);
  EXPECT_EQ(g_Variables.Find(ScriptVariable::kInteger, u"3"), nullptr);
}

TEST_F(IVTables, MissingLabelIsReportedWhenDispatched) {
  auto& g = CompileWithIV(u".IVG 0\n", u"nowhere\n");
  platform::LogCapture log;
  try {
    g.Run(-1);
    FAIL() << "expected a runtime error";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.m_Line, 2);
    EXPECT_EQ(U8(e.m_Message), "ラベルが見つかりません。[NOWHERE]");
  }
}

}  // namespace
