// Tests of the ACT scheduler: capacity, messages, run order, levels, and kills during a run.
#include "lib/act.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "lib/error.h"
#include "lib/wstring.h"

namespace {

std::vector<std::string> g_Log;

struct Probe {
  Probe() = default;
  explicit Probe(std::string n) : name(std::move(n)) {}
  std::string name;
  std::function<void(ACT*, uint32_t)> onMessage;
};

int32_t ProbeProc(ACT* act, uint32_t message, uintptr_t a, uintptr_t) {
  auto* probe = reinterpret_cast<Probe*>(act->m_User);
  std::string line = probe->name + ":" + std::to_string(message);
  if (message == ACTMSG_CHILD_REMOVED)
    line += "(" + reinterpret_cast<Probe*>(reinterpret_cast<ACT*>(a)->m_User)->name + ")";
  g_Log.push_back(line);
  if (probe->onMessage) probe->onMessage(act, message);
  return 7;
}

class ActTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitACT();
    g_Log.clear();
  }
  // The probes die with the test body, so the records are dropped without messages.
  void TearDown() override { ResetACTRecords(); }

  ACT* Task(Probe& probe, int level = 0) {
    ACT* act = MakeACT(ProbeProc, reinterpret_cast<uintptr_t>(&probe));
    if (level >= 0) AddACT(level, act);
    return act;
  }
  std::vector<std::string> TakeLog() { return std::exchange(g_Log, {}); }
  using Log = std::vector<std::string>;
};

TEST_F(ActTest, HundredTwelveTasksThenEmptyMemory) {
  EXPECT_EQ(CountFreeACT(), 112);
  for (int i = 0; i < 112; ++i) ASSERT_NE(MakeACT(nullptr, 0), nullptr) << "task " << i;
  try {
    MakeACT(nullptr, 0);
    FAIL() << "the 113th MakeACT should throw";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Source), u"act.cpp");
    EXPECT_EQ(e.m_Line, 224);
    EXPECT_EQ(e.m_Type, 0);
    EXPECT_EQ(e.m_Ptr, 0u);
    EXPECT_EQ(std::u16string(e.m_Message), u"MakeACT: Empty Memory!!");
  }
}

TEST_F(ActTest, MakeAddRunSendMessages) {
  Probe a{"A"}, b{"B"}, c{"C"};
  ACT* ta = Task(a);
  EXPECT_EQ(ta->m_Flags, ACTFLAG_RUN);
  EXPECT_EQ(ta->m_Result, 0);
  EXPECT_EQ(ta->m_pParent, GetACTLevel(0));
  ACT* tb = Task(b);
  Task(c);
  EXPECT_EQ(TakeLog(), (Log{"A:1", "A:4", "B:1", "B:4", "C:1", "C:4"}));

  tb->m_Flags &= ~ACTFLAG_RUN;  // skipped; the others still run in attachment order
  RunACTLevels(0, 0);
  EXPECT_EQ(TakeLog(), (Log{"A:5", "A:6", "C:5", "C:6"}));

  EXPECT_EQ(SendACT(tb, 0x8000, 0, 0), 7);
  EXPECT_EQ(TakeLog(), (Log{"B:32768"}));
  EXPECT_EQ(SendACT(MakeACT(nullptr, 0), 0x8000, 0, 0), 0) << "no callback answers 0";
}

TEST_F(ActTest, LevelsRunInRangeAndOrder) {
  std::vector<Probe> probes(16);
  for (int level = 15; level >= 0; --level) {
    probes[level].name = std::to_string(level);
    Task(probes[level], level);
  }
  TakeLog();
  RunACTLevels(3, 4);
  EXPECT_EQ(TakeLog(), (Log{"3:5", "3:6", "4:5", "4:6"}));
  RunACTLevels(5, -1);
  Log expected;
  for (int level = 5; level <= 15; ++level) {
    expected.push_back(std::to_string(level) + ":5");
    expected.push_back(std::to_string(level) + ":6");
  }
  EXPECT_EQ(TakeLog(), expected);
}

TEST_F(ActTest, FreeTellsTheParentAndRecyclesTheRecord) {
  Probe root{"L0"}, a{"A"};
  GetACTLevel(0)->m_pProc = ProbeProc;
  GetACTLevel(0)->m_User = reinterpret_cast<uintptr_t>(&root);
  ACT* ta = Task(a);
  TakeLog();
  const int freeBefore = CountFreeACT();
  EXPECT_EQ(FreeACT(ta), 0);
  EXPECT_EQ(TakeLog(), (Log{"L0:3(A)", "A:2"}));
  EXPECT_EQ(GetACTLevel(0)->m_pLastChild, nullptr);
  EXPECT_EQ(CountFreeACT(), freeBefore + 1);

  // Freeing it again changes nothing: no messages, no second place on the free list.
  FreeACT(ta);
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_EQ(CountFreeACT(), freeBefore + 1);
  ACT* again = MakeACT(nullptr, 0);
  EXPECT_EQ(again, ta) << "the freed record is reused at once";
  EXPECT_NE(MakeACT(nullptr, 0), ta);
  ACT outside{};
  FreeACT(&outside);  // not a task record
  KillACT(&outside);
}

TEST_F(ActTest, KillingALevelKillsItsTasksLastFirst) {
  Probe a{"A"}, b{"B"}, c{"C"};
  Task(a);
  Task(b);
  Task(c);
  TakeLog();
  const int freeBefore = CountFreeACT();
  KillAllACT();
  EXPECT_EQ(TakeLog(), (Log{"C:2", "B:2", "A:2"}));
  EXPECT_EQ(CountFreeACT(), freeBefore + 3 + 16);
  EXPECT_EQ(GetACTLevel(0), nullptr);
  RunACTLevels(0, -1);  // no levels: nothing runs
  EXPECT_TRUE(TakeLog().empty());
}

// A callback that frees tasks of its own level while the level runs: the walk goes on over
// the tasks still attached and never runs a freed one.
TEST_F(ActTest, CallbacksMayFreeTasksDuringTheWalk) {
  struct Case {
    const char* what;
    std::function<void(ACT* a, ACT* b, ACT* c, ACT* d)> inA;  // done when A runs
    Log expected;
  };
  std::vector<Case> cases = {
      {"next sibling", [](ACT*, ACT* b, ACT*, ACT*) { FreeACT(b); }, {"A:5", "B:2", "A:6", "C:5", "C:6", "D:5", "D:6"}},
      {"noted last", [](ACT*, ACT*, ACT*, ACT* d) { FreeACT(d); }, {"A:5", "D:2", "A:6", "B:5", "B:6", "C:5", "C:6"}},
      {"two ahead and the next",
       [](ACT*, ACT* b, ACT* c, ACT*) {
         FreeACT(c);
         FreeACT(b);
       },
       {"A:5", "C:2", "B:2", "A:6", "D:5", "D:6"}},
      {"itself",
       [](ACT* a, ACT*, ACT*, ACT*) { FreeACT(a); },
       {"A:5", "A:2", "B:5", "B:6", "C:5", "C:6", "D:5", "D:6"}},
      {"all the rest",
       [](ACT*, ACT* b, ACT* c, ACT* d) {
         FreeACT(d);
         FreeACT(b);
         FreeACT(c);
       },
       {"A:5", "D:2", "B:2", "C:2", "A:6"}},
      {"freed and reused at once",
       [](ACT*, ACT* b, ACT*, ACT*) {
         FreeACT(b);
         static Probe e{"E"};
         AddACT(0, MakeACT(ProbeProc, reinterpret_cast<uintptr_t>(&e)));  // takes B's record
       },
       {"A:5", "B:2", "E:1", "E:4", "A:6", "C:5", "C:6", "D:5", "D:6"}},
      {"itself, its record reused at once",
       [](ACT* a, ACT*, ACT*, ACT*) {
         FreeACT(a);
         static Probe e{"E"};
         AddACT(0, MakeACT(ProbeProc, reinterpret_cast<uintptr_t>(&e)));  // takes A's record
       },
       {"A:5", "A:2", "E:1", "E:4", "B:5", "B:6", "C:5", "C:6", "D:5", "D:6"}},
      {"the whole level", [](ACT*, ACT*, ACT*, ACT*) { KillAllACT(); }, {"A:5", "D:2", "C:2", "B:2", "A:2"}},
  };
  for (Case& c : cases) {
    InitACT();
    g_Log.clear();
    Probe pa{"A"}, pb{"B"}, pc{"C"}, pd{"D"};
    ACT* ta = Task(pa);
    ACT* tb = Task(pb);
    ACT* tc = Task(pc);
    ACT* td = Task(pd);
    bool once = false;
    pa.onMessage = [&](ACT*, uint32_t m) {
      if (m == ACTMSG_RUN && !once) {
        once = true;
        c.inA(ta, tb, tc, td);
      }
    };
    TakeLog();
    RunACTLevels(0, 0);
    EXPECT_EQ(TakeLog(), c.expected) << c.what;
  }
}

TEST_F(ActTest, AddingMovesATaskInsteadOfLinkingItTwice) {
  Probe a{"A"}, b{"B"};
  ACT* ta = Task(a, 0);
  Task(b, 0);
  AddACT(2, ta);
  EXPECT_EQ(ta->m_pParent, GetACTLevel(2));
  TakeLog();
  RunACTLevels(0, 2);
  EXPECT_EQ(TakeLog(), (Log{"B:5", "B:6", "A:5", "A:6"}));
}

}  // namespace
