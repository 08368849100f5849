// Tests of the grammar: compile-and-dump tables of valid forms, and the parser's errors.
#include <functional>

#include "platform/log.h"
#include "script_fixture.h"

namespace {

using scripttest::Dump;
using scripttest::ScriptTest;
using scripttest::U8;
using Lines = std::vector<std::string>;

class ScriptParser : public ScriptTest {};

TEST_F(ScriptParser, ValidFormsDump) {
  struct Case {
    std::u16string text;
    Lines dump;
  } cases[] = {
      {u"", {"0:0:1:0:"}},
      {u"あいう\n", {"1:0:2:0:あいう", "0:0:2:0:"}},
      {u"あ", {"1:0:1:0:あ", "0:0:1:0:"}},
      {u"あ\nい\n", {"1:0:3:0:あ\nい", "0:0:3:0:"}},
      {u"あ\n\n\n\nい\n", {"1:0:2:0:あ", "34:0:5:1:", "1:0:6:0:い", "0:0:6:0:"}},
      {u"\n＃一\n\n.DOF\n\n///x\n.TOF\n", {"34:0:4:1:", "23:0:5:0:", "34:0:7:2:", "24:0:8:0:", "0:0:8:0:"}},
      {u"あ\n＃\nい\n", {"1:0:2:0:あ", "34:0:3:1:", "1:0:4:0:い", "0:0:4:0:"}},
      {u".GRP bg1\n.grp bg1 bg2\n", {"2:0:2:0:BG1", "2:0:3:0:BG1|BG2", "0:0:3:0:"}},
      {u".PST x - 5\n.PST x + 1\n.PST x = 1\n", {"9:-:2:0:X|5", "9:+:3:0:X|1", "9:=:4:0:X|1", "0:0:4:0:"}},
      {u".PJP a < 3 lbl\n", {"17:<:2:0:A|3|LBL", "0:0:2:0:"}},
      {u"@v01\n.VOI v01\n", {"14:0:2:0:V01", "14:0:3:0:V01", "0:0:3:0:"}},
      {u".SEL 1 はい\nいいえ\n", {"10:0:3:0:1|はい\nいいえ", "0:0:3:0:"}},
      {u".END\n.END 3\n.END1\n.END1 x\n.END2\n.END2 y\n",
       {"27:0:2:0:", "27:0:3:0:3", "28:0:4:0:", "28:0:5:0:X", "29:0:6:0:", "29:0:7:0:Y", "0:0:7:0:"}},
      {u".RMS テキスト\n.CLM メモ\n", {"11:0:2:0:テキスト", "12:0:3:0:メモ", "0:0:3:0:"}},
      {u".RST a\n.RSX b\n", {"19:0:2:0:A", "20:0:3:0:B", "0:0:3:0:"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.text));
    EXPECT_EQ(Dump(Compile(c.text)), c.dump);
  }
}

TEST_F(ScriptParser, EveryCommandMakesItsType) {
  const std::u16string text =
      u".GRP a\n.CHR a\n.CHL a\n.LAB a\n.WAV a\n.PST a = 1\n.SEL 1 あ\n.RMS あ\n.CLM あ\n.LGR a\n.VOI a\n"
      u".JMP a\n.RJP a\n.PJP a = 1 b\n.RSP a\n.RST a\n.RSX a\n.SFS a\n.DON a\n.DOF\n.TOF\n.IVG 1\n.SSL a\n"
      u".END\n.END1\n.END2\n.SED\n.DGR a\n.FLS a\n.S1A a\n.S1B a\n.S1M\n.S2A a\n.S2B a\n.S2M\n";
  const std::vector<int> types = {2,  3,  4,  5,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                  22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 35, 36, 37, 38, 39, 40, 41, 0};
  std::vector<int> got;
  for (const auto* n = Compile(text).First(); n; n = n->Next()) got.push_back(n->m_Type);
  EXPECT_EQ(got, types);
}

TEST_F(ScriptParser, DeclaresOnlyTheMarkedArguments) {
  g_Variables.Set(u"KEEP", 7);
  Compile(u".PJP v < 3 lbl\n.PST keep = 1\n.PST w = 2\n.RSP r\n.DON d\n.JMP j\n.PJP 5 = n2 l\n");
  EXPECT_EQ(Var(u"V"), 0);
  EXPECT_EQ(Var(u"KEEP"), 7) << "an existing variable is left alone";
  EXPECT_EQ(Var(u"W"), 0) << "compiling never runs the PST";
  EXPECT_EQ(Var(u"R"), 0);
  EXPECT_EQ(Var(u"D"), 0);
  EXPECT_EQ(Var(u"N2"), 0);
  EXPECT_EQ(g_Variables.Find(ScriptVariable::kInteger, u"LBL"), nullptr);
  EXPECT_EQ(g_Variables.Find(ScriptVariable::kInteger, u"J"), nullptr);
  EXPECT_EQ(g_Variables.Find(ScriptVariable::kInteger, u"3"), nullptr);
  EXPECT_EQ(g_Variables.Count(), 6u);
}

TEST_F(ScriptParser, ErrorsCarryTheirTextAndLine) {
  struct Case {
    std::u16string text;
    int line;
    std::u16string message;
    std::u16string debugLine;
    size_t statementsKept;  // before the error
  } cases[] = {
      {u".GRP\n", 2, u"syntax error", u"test.txt(2): syntax error\n", 0},
      {u"あ\n.DOF 1\n", 2, u"syntax error", u"test.txt(2): syntax error\n", 1},
      {u".PST a = -1\n", 1, u"syntax error", u"test.txt(1): syntax error\n", 0},
      {u".DOF", 1, u"syntax error", u"test.txt(1): syntax error\n", 0},
      {u"\n\n+\n", 3, u"syntax error", u"test.txt(3): syntax error\n", 1},
      {u"＃x", 1, u"syntax error", u"test.txt(1): syntax error\n", 0},
      {u".RST ab\n", 2, u"変数名は１文字にして下さい", u"test.txt(2): 変数名は１文字にして下さい\n", 0},
      {u"\n.foo\n", 2, u"コマンド名が違います。", u"test.txt(2): Compile Error: コマンド名が違います。\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.text));
    platform::LogCapture log;
    try {
      Compile(c.text);
      ADD_FAILURE() << "expected an error";
    } catch (const ExceptionHandle& e) {
      EXPECT_EQ(std::u16string(e.m_Source), u"test.txt");
      EXPECT_EQ(e.m_Line, c.line);
      EXPECT_EQ(std::u16string(e.m_Message), c.message);
      EXPECT_EQ(e.m_Type, 0);
      EXPECT_EQ(e.m_Ptr, 0u);
      EXPECT_TRUE(e.IsReported()) << "the debug line was its report";
    }
    EXPECT_EQ(log.Text(), c.debugLine);
    EXPECT_EQ(static_cast<size_t>(m_pGroup->Count()), c.statementsKept);
  }
  EXPECT_EQ(TextScript::g_pCompilingGroup, nullptr) << "the compiling group is cleared however a compile ends";
}

TEST_F(ScriptParser, LexerErrorIsStoredInTheGroup) {
  platform::LogCapture log;
  try {
    Compile(u"\n\n.nope\n");
  } catch (const ExceptionHandle&) {
  }
  EXPECT_EQ(m_pGroup->m_LastError2.m_Line, 3);
  EXPECT_EQ(std::u16string(m_pGroup->m_LastError2.m_Message), u"コマンド名が違います。");
}

// A numbered error raised while compiling (here by a group's own statement factory) is stored
// in the group and reported with its table text.
TEST_F(ScriptParser, NumberedCompileErrorIsStoredAndReported) {
  struct FailingGroup : TextScript::ScriptStateGroup {
    std::unique_ptr<TextScript::ScriptStateNode> CreateNode() override {
      if (Count() == 1) throw TextScript::ScriptError(m_Reader.m_Line, 3);
      return TextScript::ScriptStateGroup::CreateNode();
    }
  } g;
  const std::string text = scripttest::Sj(u".DOF\n\n.TOF\n");
  platform::LogCapture log;
  try {
    g.Compile(text.data(), text.size(), u"scene.txt");
    ADD_FAILURE() << "expected a compile error";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Source), u"scene.txt");
    EXPECT_EQ(e.m_Line, 3) << "the page is made once the line after the run is reached";
    EXPECT_EQ(U8(e.m_Message), "0003: ラベルはすでに定義されています");
  }
  EXPECT_EQ(U8(log.Text()), "scene.txt(3): Compile Error: 0003: ラベルはすでに定義されています\n");
  EXPECT_EQ(g.m_LastError.m_Line, 3);
  EXPECT_EQ(g.m_LastError.m_Number, 3);
}

// The compiler's debug line is a compile error's one report: the error object says so, so that
// start-up adds no lines of its own. The parser's line carries no line number, so its errors are
// left to start-up's report; a runtime error is not marked either.
TEST_F(ScriptParser, CompileErrorsAreMarkedReported) {
  platform::LogCapture log;
  auto markOf = [](const std::function<void()>& compile) {
    try {
      compile();
    } catch (const ExceptionHandle& e) {
      return e.IsReported() ? "reported" : "not reported";
    }
    return "no error";
  };
  EXPECT_STREQ(markOf([&] { Compile(u"\n.foo\n"); }), "reported");
  struct FailingGroup : TextScript::ScriptStateGroup {
    std::unique_ptr<TextScript::ScriptStateNode> CreateNode() override {
      throw TextScript::ScriptError(m_Reader.m_Line, 3);
    }
  } numbered;
  const std::string text = scripttest::Sj(u".DOF\n");
  EXPECT_STREQ(markOf([&] { numbered.Compile(text.data(), text.size(), u"scene.txt"); }), "reported");
  EXPECT_STREQ(markOf([&] { Compile(u".GRP\n"); }), "reported") << "a syntax error names its file and line too";
  EXPECT_STREQ(markOf([&] { Compile(u".JMP nope\n").Run(-1); }), "not reported");
}

// A compile error's line longer than the log's 127 characters goes out over several lines,
// nothing of it cut.
TEST_F(ScriptParser, ALongCompileErrorLineIsSplitNotCut) {
  const std::u16string name = u"scenario\\" + std::u16string(140, u'n') + u".txt";
  const std::u16string full = name + u"(2): Compile Error: コマンド名が違います。\n";
  platform::LogCapture log;
  try {
    Compile(u"\n.foo\n", name);
    ADD_FAILURE() << "expected a compile error";
  } catch (const ExceptionHandle& e) {
    EXPECT_TRUE(e.IsReported());
    EXPECT_EQ(e.m_Line, 2);
  }
  const std::vector<std::u16string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u) << U8(log.Text());
  std::u16string joined;
  for (const std::u16string& l : lines) {
    EXPECT_LE(l.size(), 127u);
    ASSERT_FALSE(l.empty());
    EXPECT_EQ(l.back(), u'\n') << "each piece is a line of its own";
    joined += l;
  }
  EXPECT_EQ(U8(joined.erase(lines[0].size() - 1, 1)), U8(full)) << "the pieces are the whole line";
}

TEST_F(ScriptParser, LinesAreKeptBeyondSixteenBits) {
  std::u16string text(70000, u'\n');
  text += u".DOF\n";
  const auto dump = Dump(Compile(text));
  ASSERT_EQ(dump.size(), 3u);
  EXPECT_EQ(dump[1], "23:0:70002:0:");
}

}  // namespace
