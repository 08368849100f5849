// Frame pacing on the virtual clock: sixty frames a second, no burst after a stall, and which
// window events end the wait for the tick at once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/error.h"
#include "stack.h"

namespace {

using varntest::HeadlessStack;
using varntest::TestMainWindow;

std::vector<uint32_t>* g_Starts = nullptr;

// Notes the time at which each frame runs its first level.
int32_t NoteStart(ACT*, uint32_t message, uintptr_t, uintptr_t) {
  if (message == ACTMSG_RUN && g_Starts) g_Starts->push_back(platform::TimeMs());
  return 0;
}

// A stack whose frames take no time of their own, so that every millisecond is the pacing's.
class PacingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_Starts = &starts;
    AddACT(0, MakeACT(NoteStart, 0));
    stack.clock->SetMilliseconds(5000);
  }
  void TearDown() override { g_Starts = nullptr; }

  std::vector<int32_t> Gaps() const {
    std::vector<int32_t> gaps;
    for (size_t i = 1; i < starts.size(); ++i) gaps.push_back(int32_t(starts[i] - starts[i - 1]));
    return gaps;
  }

  HeadlessStack stack{0};
  std::vector<uint32_t> starts;
};

TEST_F(PacingTest, SixtyFramesEachVirtualSecond) {
  for (int i = 0; i <= 120; ++i) WaitFrame();
  ASSERT_EQ(starts.size(), 121u);
  EXPECT_EQ(starts.front(), 5000u) << "the first frame runs at once";
  EXPECT_EQ(starts[60], 6000u);
  EXPECT_EQ(starts[120], 7000u);
  for (int32_t gap : Gaps()) EXPECT_TRUE(gap == 16 || gap == 17) << gap;
}

TEST_F(PacingTest, AFrameCostingTimeKeepsTheTicksAndAStallStartsThemAgain) {
  ACT* cost = MakeACT(varntest::TickProc, reinterpret_cast<uintptr_t>(stack.clock));
  cost->m_Reserved = 10;
  AddACT(15, cost);
  for (int i = 0; i <= 60; ++i) WaitFrame();
  EXPECT_EQ(starts.back() - starts.front(), 1000u) << "10 ms frames still run 60 a second";

  // A stall of half a second: the next frame runs at once, and the ones after it one tick apart
  // instead of catching up.
  starts.clear();
  stack.clock->Advance(500);
  const uint32_t resumed = platform::TimeMs();
  for (int i = 0; i < 4; ++i) WaitFrame();
  ASSERT_EQ(starts.size(), 4u);
  EXPECT_EQ(starts[0], resumed);
  EXPECT_EQ(starts[1], resumed + 16);
  EXPECT_EQ(starts[2], resumed + 33);
  EXPECT_EQ(starts[3], resumed + 50);
}

TEST_F(PacingTest, PressesEndTheWaitAtOnceAndTheTicksStartFromThem) {
  const auto make = [](platform::EventType type, bool repeat = false) {
    platform::Event e;
    e.type = type;
    e.key = platform::DIK_A;
    e.repeat = repeat;
    e.pos = platform::Point{400, 300};
    return e;
  };
  const struct {
    const char* name;
    platform::Event event;
    bool endsWait;
  } cases[] = {
      {"mouse button down", make(platform::EventType::MouseDown), true},
      {"key down", make(platform::EventType::KeyDown), true},
      {"key auto-repeat", make(platform::EventType::KeyDown, true), false},
      {"mouse motion", make(platform::EventType::MouseMove), false},
      {"mouse button up", make(platform::EventType::MouseUp), false},
      {"key up", make(platform::EventType::KeyUp), false},
      {"wheel", make(platform::EventType::MouseWheel), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WaitFrame();
    starts.clear();
    const uint32_t last = platform::TimeMs();
    stack.window->PostAtTime(last + 5, c.event);
    WaitFrame();
    WaitFrame();
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(stack.window->Pending(), 0u) << "the event was taken during the wait";
    if (c.endsWait) {
      EXPECT_EQ(starts[0], last + 5) << "the frame runs as the press arrives";
      EXPECT_EQ(starts[1], last + 5 + 16) << "and the next one a tick after it";
    } else {
      EXPECT_GE(starts[0] - last, 16u) << "the frame waits for its tick";
      EXPECT_LE(starts[0] - last, 17u);
    }
  }
}

TEST_F(PacingTest, TransferAndQuitDuringTheWaitTakeEffectAtOnce) {
  WaitFrame();
  uint32_t last = platform::TimeMs();
  platform::Event title;
  title.type = platform::EventType::Command;
  title.command = TestMainWindow::kTitleCommand;
  stack.window->PostAtTime(last + 3, title);
  try {
    WaitFrame();
    ADD_FAILURE() << "no transfer";
  } catch (const ScriptException& e) {
    EXPECT_EQ(e.m_Code, 0);
  }
  EXPECT_EQ(platform::TimeMs(), last + 3);

  last = platform::TimeMs();
  platform::Event close;
  close.type = platform::EventType::CloseRequest;
  stack.window->PostAtTime(last + 7, close);
  try {
    WaitFrame();
    ADD_FAILURE() << "no quit";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.m_Line, 295);
  }
  EXPECT_EQ(platform::TimeMs(), last + 7);
}

}  // namespace
