// The executor's seam: a derived node with its own command table over the language's, and
// nodes that live in the game-statement pool whatever their class.
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/globals.h"
#include "platform/log.h"
#include "script_fixture.h"
#include "textscript/commandtable.h"

namespace {

using scripttest::ScriptTest;
using scripttest::Sj;
using scripttest::U8;
using TextScript::CommandTable;
using TextScript::ScriptStateGroup;
using TextScript::ScriptStateNode;

std::vector<std::string> g_Shown;
int g_Destroyed = 0;

// A game-like node: an area of its own answers MESSAGE and GRP, the language the rest. Its
// extra members are larger than the base and own heap memory, so a node freed as the wrong
// class or to the wrong place shows under the sanitizer.
class AreaNode : public ScriptStateNode {
 public:
  using ScriptStateNode::ScriptStateNode;
  ~AreaNode() override { ++g_Destroyed; }
  ScriptStateNode* Execute() override;

  std::string m_Note = std::string(100, 'n');
  double m_Extra[8] = {};
};

using AreaTable = CommandTable<AreaNode>;

ScriptStateNode* ShowMessage(AreaNode& n) {
  g_Shown.push_back("text " + U8(n.Arg(0)));
  return n.Next();
}

ScriptStateNode* ShowPicture(AreaNode& n) {
  if (n.Arg(0) == u"MISSING") throw TextScript::ScriptError2(0, u"絵がありません");
  g_Shown.push_back("picture " + U8(n.Arg(0)));
  return n.Next();
}

// The area's registration call, as each of the game's command areas has one.
void RegisterPictureArea(AreaTable& table) {
  table.Register(TextScript::STMT_MESSAGE, ShowMessage);
  table.Register(TextScript::STMT_GRP, ShowPicture);
}

const AreaTable& AreaCommands() {
  static const AreaTable table = [] {
    AreaTable t;
    RegisterPictureArea(t);
    return t;
  }();
  return table;
}

ScriptStateNode* AreaNode::Execute() {
  return Dispatch(AreaCommands());
}

class AreaGroup : public ScriptStateGroup {
 public:
  std::unique_ptr<ScriptStateNode> CreateNode() override { return std::make_unique<AreaNode>(this, m_Reader.m_Line); }
};

class ExecutorSeam : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    RegisterPoolRecordOf<AreaNode>(GlobalPool::State);
    g_Shown.clear();
    g_Destroyed = 0;
  }
  template <typename Group>
  std::unique_ptr<Group> Make(std::u16string_view text) {
    m_Source = Sj(text);
    auto g = std::make_unique<Group>();
    g->Compile(m_Source.data(), m_Source.size(), u"seam.txt");
    return g;
  }
};

TEST_F(ExecutorSeam, AreaHandlersFirstThenTheLanguage) {
  const std::u16string script =
      u".GRP bg01 ev01\nこんにちは\n.PST a = 3\n.JMP next\n.PST a = 9\n\n.LAB next\n.PST b + 1\n";
  auto g = Make<AreaGroup>(script);
  EXPECT_EQ(g->Run(-1), 0);
  EXPECT_EQ(g_Shown, (std::vector<std::string>{"picture BG01", "text こんにちは"}));
  EXPECT_EQ(Var(u"A"), 3) << "PST and JMP fell back to the language's commands";
  EXPECT_EQ(Var(u"B"), 1);

  // The base node alone leaves the game's codes to nobody: they run nothing.
  Reset();
  g_Shown.clear();
  auto plain = Make<ScriptStateGroup>(script);
  EXPECT_EQ(plain->Run(-1), 0);
  EXPECT_TRUE(g_Shown.empty());
  EXPECT_EQ(Var(u"A"), 3);
}

TEST_F(ExecutorSeam, AnAreaErrorLeavesWithTheStatementsLine) {
  auto g = Make<AreaGroup>(u"こんにちは\n\n.GRP missing\n");
  platform::LogCapture log;
  try {
    g->Run(-1);
    FAIL() << "expected a runtime error";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.m_Line, 4);
    EXPECT_EQ(U8(e.m_Message), "絵がありません");
  }
}

TEST_F(ExecutorSeam, ACodeClaimedTwiceIsRefused) {
  AreaTable table;
  RegisterPictureArea(table);
  EXPECT_THROW(table.Register(TextScript::STMT_GRP, ShowPicture), std::logic_error);
  EXPECT_EQ(table.Find(TextScript::STMT_GRP), &ShowPicture) << "the first claim stays";
}

TEST_F(ExecutorSeam, TheGroupsTearDownGivesDerivedNodesBackToThePool) {
  static_assert(sizeof(AreaNode) > sizeof(ScriptStateNode));
  const size_t liveBefore = g_StatePool().LiveBlocks();
  auto g = Make<AreaGroup>(u".GRP a\nはい\n.PST x = 1\n\n.LAB l\n");
  const int count = g->Count();
  ASSERT_GT(count, 4);
  EXPECT_EQ(g_StatePool().LiveBlocks(), liveBefore + static_cast<size_t>(count));
  for (const ScriptStateNode* n = g->First(); n; n = n->Next())
    EXPECT_GE(g_StatePool().ChunkIndexOf(n), 0) << "every node lives in the game-statement pool";
  g.reset();
  EXPECT_EQ(g_Destroyed, count) << "each node was destroyed as its own class";
  EXPECT_EQ(g_StatePool().LiveBlocks(), liveBefore) << "and its block given back";
}

TEST_F(ExecutorSeam, ANodeLargerThanThePoolsBlocksIsRefused) {
  struct Unregistered : ScriptStateNode {
    using ScriptStateNode::ScriptStateNode;
    char m_Big[4096] = {};
  };
  const size_t liveBefore = g_StatePool().LiveBlocks();
  try {
    auto node = std::make_unique<Unregistered>(nullptr, 1);
    FAIL() << "expected the error object";
  } catch (const ExceptionHandle& e) {
    EXPECT_NE(U8(e.m_Message).find("game-statement pool"), std::string::npos) << U8(e.m_Message);
  }
  EXPECT_EQ(g_StatePool().LiveBlocks(), liveBefore);
}

}  // namespace
