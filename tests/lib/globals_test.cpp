// Tests of the process-wide objects: start and stop order, failure on start, pools, reset.
#include "lib/globals.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "lib/act.h"

namespace {

std::vector<std::string> g_Events;

class GlobalsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    StopGlobals();
    for (const char* name : {"test image history", "test script history", "test live variables",
                             "test snapshot variables", "test strings", "test matrices", "broken", "late"})
      RemoveGlobalStep(name);
  }
  static void Add(int order, const char* name) {
    AddGlobalStep(
        order, name, [name] { g_Events.push_back(std::string("+") + name); },
        [name] { g_Events.push_back(std::string("-") + name); });
  }
};

TEST_F(GlobalsTest, StartInOrderStopInReverse) {
  g_Events.clear();
  // Added out of order on purpose: the order number decides.
  Add(kGlobalMatrices, "test matrices");
  Add(kGlobalLiveVariables, "test live variables");
  Add(kGlobalSnapshotVariables, "test snapshot variables");
  Add(kGlobalImageHistory, "test image history");
  Add(kGlobalScriptHistory, "test script history");
  Add(kGlobalScreenStrings, "test strings");
  StartGlobals();
  EXPECT_TRUE(GlobalsStarted());
  const std::vector<std::string> order = {
      "test image history",  "test script history",     "expression-node pool", "argument-cell pool",  "variable pool",
      "test live variables", "test snapshot variables", "test strings",         "game-statement pool", "ACT records",
      "test matrices"};
  EXPECT_EQ(StartedGlobals(), order);
  StartGlobals();  // already started: nothing again
  EXPECT_EQ(g_Events.size(), 6u);
  g_Events.clear();
  StopGlobals();
  EXPECT_EQ(g_Events,
            (std::vector<std::string>{"-test matrices", "-test strings", "-test snapshot variables",
                                      "-test live variables", "-test script history", "-test image history"}));
  EXPECT_TRUE(StartedGlobals().empty());
}

TEST_F(GlobalsTest, AFailedStartStopsWhatStarted) {
  g_Events.clear();
  Add(kGlobalImageHistory, "test image history");
  AddGlobalStep(
      kGlobalLiveVariables, "broken", [] { throw std::runtime_error("no memory"); },
      [] { g_Events.push_back("-broken"); });
  EXPECT_THROW(StartGlobals(), std::runtime_error);
  EXPECT_FALSE(GlobalsStarted());
  EXPECT_EQ(g_Events, (std::vector<std::string>{"+test image history", "-test image history"}));
  RemoveGlobalStep("broken");
  StartGlobals();
  EXPECT_TRUE(GlobalsStarted());
}

TEST_F(GlobalsTest, LateStepStopsFirst) {
  StartGlobals();
  g_Events.clear();
  Add(kGlobalImageHistory, "late");
  EXPECT_EQ(g_Events, (std::vector<std::string>{"+late"}));
  StopGlobals();
  EXPECT_EQ(g_Events.back(), "-late");
  EXPECT_EQ(g_Events.size(), 2u);
}

TEST_F(GlobalsTest, PoolsAreSizedFromTheirRecords) {
  struct ExprNode {
    void* left;
    void* right;
    int32_t op;
    int64_t value;
  };
  SetPoolRecordOf<ExprNode>(GlobalPool::Expr);
  SetPoolRecord(GlobalPool::Arg, 12, 4);
  ResetGlobals();
  EXPECT_EQ(g_ExprPool().BlockSize(), sizeof(ExprNode));
  EXPECT_EQ(g_ExprPool().Alignment(), alignof(ExprNode));
  EXPECT_EQ(g_ArgPool().BlockStride(), 12u);
  EXPECT_EQ(g_ExprPool().BlocksPerChunk(), kGlobalPoolBlocks);
  void* p = g_ExprPool().Alloc(sizeof(ExprNode));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(ExprNode), 0u);
  // Every pool by default takes a record with pointer-sized fields in place of 4-byte ones.
  EXPECT_GE(g_VarPool().BlockSize(), 32u);
  EXPECT_GE(g_StatePool().BlockSize(), 64u);
  EXPECT_EQ(g_StatePool().Alignment(), 8u);
}

TEST_F(GlobalsTest, ResetGivesFreshObjects) {
  StartGlobals();
  for (int i = 0; i < 5000; ++i) ASSERT_NE(g_VarPool().Alloc(16), nullptr);
  EXPECT_EQ(g_VarPool().ChunkCount(), 2u);
  InitACT();
  MakeACT(nullptr, 0);
  ResetGlobals();
  EXPECT_EQ(g_VarPool().ChunkCount(), 1u);
  EXPECT_EQ(GetACTLevel(0), nullptr) << "the ACT records start cleared";
  EXPECT_EQ(CountFreeACT(), 0);
}

}  // namespace
