// The game's group and node: dispatch over the language's commands, the statement's line on
// script errors, the group's messages, and the run around the scene.
#include <gtest/gtest.h>

#include "gamefixture.h"

namespace {

using scripttest::GameTest;

class ExecutorTest : public GameTest {};

int g_GrpRuns = 0;
TextScript::ScriptStateNode* FailingPicture(ScriptStateNode_App& node) {
  ++g_GrpRuns;
  if (node.Arg(0) == u"MISSING") throw TextScript::ScriptError2(0, u"絵がありません");
  return node.Next();
}

TEST_F(ExecutorTest, GameNodesKeepTheLanguageCommands) {
  ScriptStateGroup_App& g = Compile(u".PST A = 4\n.JMP L\n.PST A = 9\n\n.LAB L\n.PST B = 2\n");
  for (TextScript::ScriptStateNode* n = g.First(); n; n = n->Next())
    EXPECT_NE(dynamic_cast<ScriptStateNode_App*>(n), nullptr) << "every node is the game's";
  EXPECT_EQ(g.Run(-1), 0);
  EXPECT_EQ(Var(u"A"), 4) << "the jump went past the second PST";
  EXPECT_EQ(Var(u"B"), 2);
  EXPECT_EQ(scene.builds, 1);
  EXPECT_EQ(scene.tearDowns, 1);
}

TEST_F(ExecutorTest, ScriptErrorsInGameCommandsCarryTheStatementLine) {
  // A table of its own, with a picture command that fails on its second statement.
  table = AppCommandTable();
  RegisterMessageCommands(table);
  table.Register(TextScript::STMT_GRP, FailingPicture);
  g_GrpRuns = 0;
  ScriptStateGroup_App& g = Compile(u".PST A = 1\n.GRP OK\n\n.GRP MISSING\n");
  int32_t line = 0;
  for (TextScript::ScriptStateNode* n = g.First(); n; n = n->Next())
    if (n->m_Type == TextScript::STMT_GRP && n->Arg(0) == u"MISSING") line = n->m_Line;
  ASSERT_GT(line, 0);
  try {
    g.Run(-1);
    ADD_FAILURE() << "the error did not leave the run";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.m_Line, line) << "the GRP's own line, not the error's 0";
    EXPECT_EQ(std::u16string(e.m_Message), u"絵がありません");
  }
  EXPECT_EQ(g_GrpRuns, 2);
  EXPECT_EQ(scene.releases, 1) << "the scene goes when an error ends the run";
  EXPECT_EQ(scene.tearDowns, 0) << "without a frame passing";
}

TEST_F(ExecutorTest, RunResultsFollowTheTransfers) {
  // A return to the title raised by the frame; then a load of slot 7.
  reader = [](uint64_t f) {
    if (f == 3) g_TransferRequest = 1;
  };
  EXPECT_EQ(Run(u"あ\n\n"), 1);
  EXPECT_EQ(scene.tearDowns, 1);
  frames = 0;
  reader = [](uint64_t f) {
    if (f == 3) {
      g_PendingLoadSlot = 7;
      g_TransferRequest = 2;
    }
  };
  EXPECT_EQ(Run(u"あ\n\n"), 9) << "the pending slot + 2";
  EXPECT_EQ(scene.tearDowns, 2);
}

TEST_F(ExecutorTest, GroupMessages) {
  ScriptStateGroup_App& g = Compile(u"");
  window->Show();
  window->m_EffectStyle = 5;
  EXPECT_EQ(g.OnMessage(0x5000, 0, 0), 1);
  EXPECT_FALSE(window->IsShown()) << "the reset closes the window";
  EXPECT_EQ(window->m_EffectStyle, 5u);
  EXPECT_EQ(sounds.stops, 1);

  files.files[u"a.txt"] = "text";
  std::string loaded;
  EXPECT_EQ(g.OnMessage(0x5001, reinterpret_cast<uintptr_t>(u"a.txt"), reinterpret_cast<uintptr_t>(&loaded)), 1);
  EXPECT_EQ(loaded, "text");
  EXPECT_THROW(g.OnMessage(0x5001, reinterpret_cast<uintptr_t>(u"none.txt"), reinterpret_cast<uintptr_t>(&loaded)),
               ExceptionHandle);
  EXPECT_EQ(g.OnMessage(0x5002, 0, 0), 0);
}

TEST_F(ExecutorTest, MissingServiceIsNamed) {
  SetGameServices(GameServices{});
  try {
    Run(u"");
    ADD_FAILURE() << "ran without a scene";
  } catch (const platform::MissingServiceError& e) {
    EXPECT_NE(std::string(e.what()).find("scene"), std::string::npos) << e.what();
  }
}

}  // namespace
