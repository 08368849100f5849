// Tests of the process-wide objects: start and stop order, failure on start, pool records, reset.
#include "lib/globals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/act.h"
#include "lib/error.h"

namespace {

std::vector<std::string> g_Events;

class GlobalsTest : public ::testing::Test {
 protected:
  // Every pool gets a record of its own, as its users would register at start-up.
  void SetUp() override {
    StopGlobals();
    ClearPoolRecords();
    RegisterAll(16);
  }
  static void RegisterAll(size_t size) {
    for (GlobalPool pool : {GlobalPool::Expr, GlobalPool::Arg, GlobalPool::Var, GlobalPool::State})
      RegisterPoolRecord(pool, size, 8);
  }
  void TearDown() override {
    StopGlobals();
    ClearPoolRecords();
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

// The message of the error object a call raises, or "no error".
template <typename F>
std::u16string ErrorOf(F&& call) {
  try {
    call();
  } catch (const ExceptionHandle& e) {
    return e.m_Message;
  }
  return u"no error";
}

TEST_F(GlobalsTest, PoolBlocksTakeTheLargestRecordRegistered) {
  // Two users of one pool, in either order: the blocks serve the larger, aligned to the stricter.
  struct Case {
    size_t firstSize, firstAlign, secondSize, secondAlign;
  } cases[] = {{24, 4, 56, 8}, {56, 8, 24, 4}, {56, 4, 8, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.firstSize << "/" << c.firstAlign << " then " << c.secondSize << "/"
                                    << c.secondAlign);
    StopGlobals();
    ClearPoolRecords();
    RegisterAll(8);
    RegisterPoolRecord(GlobalPool::Expr, c.firstSize, c.firstAlign);
    RegisterPoolRecord(GlobalPool::Expr, c.secondSize, c.secondAlign);
    StartGlobals();
    const size_t size = std::max(c.firstSize, c.secondSize);
    const size_t align = std::max(c.firstAlign, c.secondAlign);
    EXPECT_EQ(g_ExprPool().Alloc(size + align), nullptr) << "no room for a record larger than any registered";
    std::vector<void*> blocks;
    for (size_t i = 0; i < kGlobalPoolBlocks; ++i) {
      void* p = g_ExprPool().Alloc(size);
      ASSERT_NE(p, nullptr);
      ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % align, 0u);
      blocks.push_back(p);
    }
    // Records of that size never overlap: each block starts at least `size` after the one before.
    std::sort(blocks.begin(), blocks.end());
    for (size_t i = 1; i < blocks.size(); ++i)
      ASSERT_GE(static_cast<uint8_t*>(blocks[i]) - static_cast<uint8_t*>(blocks[i - 1]), static_cast<ptrdiff_t>(size));
    EXPECT_EQ(g_ExprPool().ChunkCount(), 1u) << "a chunk holds 4096 records";
    ASSERT_NE(g_ExprPool().Alloc(size), nullptr);
    EXPECT_EQ(g_ExprPool().ChunkCount(), 2u);
  }
}

TEST_F(GlobalsTest, APoolNoUserRegisteredCannotBeBuilt) {
  ClearPoolRecords();
  RegisterPoolRecord(GlobalPool::Expr, 8, 8);
  RegisterPoolRecord(GlobalPool::Arg, 8, 8);
  RegisterPoolRecord(GlobalPool::Var, 8, 8);
  const std::u16string message = ErrorOf([] { StartGlobals(); });
  EXPECT_NE(message.find(u"game-statement pool"), std::u16string::npos) << WString(message).ToUtf8();
  EXPECT_FALSE(GlobalsStarted());
  EXPECT_NE(ErrorOf([] { g_StatePool(); }), u"no error") << "nor made on the spot";
  RegisterPoolRecord(GlobalPool::State, 8, 8);
  StartGlobals();
  EXPECT_TRUE(GlobalsStarted());
}

TEST_F(GlobalsTest, ARecordRegisteredLateRebuildsAnIdlePool) {
  StartGlobals();
  void* p = g_StatePool().Alloc(8);
  ASSERT_NE(p, nullptr);
  ASSERT_TRUE(g_StatePool().Free(p));
  ASSERT_EQ(g_StatePool().Alloc(96), nullptr);
  RegisterPoolRecord(GlobalPool::State, 96, 16);
  p = g_StatePool().Alloc(96);
  ASSERT_NE(p, nullptr) << "the pool was rebuilt for the larger record";
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
}

TEST_F(GlobalsTest, ARecordRegisteredLateIsRefusedWhileBlocksAreInUse) {
  StartGlobals();
  void* live = g_StatePool().Alloc(8);
  ASSERT_NE(live, nullptr);
  const std::u16string message = ErrorOf([] { RegisterPoolRecord(GlobalPool::State, 96, 8); });
  EXPECT_NE(message.find(u"game-statement pool"), std::u16string::npos) << WString(message).ToUtf8();
  EXPECT_NE(message.find(u"in use"), std::u16string::npos) << WString(message).ToUtf8();
  EXPECT_EQ(g_StatePool().ChunkIndexOf(live), 0) << "the live block still belongs to its pool";
  EXPECT_EQ(g_StatePool().Alloc(96), nullptr) << "the refused record changed nothing";
  // A record that fits the blocks already there needs no rebuild and is taken.
  EXPECT_EQ(ErrorOf([] { RegisterPoolRecord(GlobalPool::State, 8, 8); }), u"no error");
  ASSERT_TRUE(g_StatePool().Free(live));
  RegisterPoolRecord(GlobalPool::State, 96, 8);
  EXPECT_NE(g_StatePool().Alloc(96), nullptr);
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
