// The frame step: the order of a frame, transfers and quitting, the input record, inactivity,
// the automatic frame skip, the waits, the timers and the assertion box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/frame/misc.h"
#include "dxdraw/dxdisplay.h"
#include "lib/error.h"
#include "stack.h"

namespace {

using varntest::HeadlessStack;
using varntest::TestMainWindow;

std::vector<std::string>* g_Order = nullptr;

int32_t RecordLevel(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
  if (message == ACTMSG_RUN && g_Order) g_Order->push_back("L" + std::to_string(act->m_User));
  return 0;
}

// A view that records its passes and can make its render slow.
class ProbeView : public DrawView {
 public:
  void Update() override {
    if (g_Order) g_Order->push_back("update");
  }
  void Draw(DxDraw::DrawTarget*) override {
    if (g_Order) g_Order->push_back("draw");
    if (clock) clock->Advance(renderMs);
  }
  platform::VirtualClock* clock = nullptr;
  uint32_t renderMs = 0;
};

class FrameStepTest : public ::testing::Test {
 protected:
  void SetUp() override { g_Order = &order; }
  void TearDown() override { g_Order = nullptr; }
  HeadlessStack stack;
  std::vector<std::string> order;
};

TEST_F(FrameStepTest, FrameRunsItsStepsInOrder) {
  for (int level = 15; level >= 0; --level) AddACT(level, MakeACT(RecordLevel, uintptr_t(level)));
  auto* probe = new ProbeView();
  stack.root->AddChild(probe);
  RunFrame();
  std::vector<std::string> expected = {"L0", "L1", "update", "L2", "draw"};
  for (int level = 3; level <= 15; ++level) expected.push_back("L" + std::to_string(level));
  EXPECT_EQ(order, expected);
  EXPECT_EQ(GetFrameCount(), 1u);
  EXPECT_EQ(YieldScriptThread(), 1) << "the main thread always runs the frame";
  WaitFrame();
  EXPECT_EQ(GetFrameCount(), 2u);
}

// Where nothing catches a transfer (the brand logo, between scenario runs) the frame drops the
// request and the frame goes on.
TEST_F(FrameStepTest, ATransferNothingCatchesIsDropped) {
  AddACT(0, MakeACT(RecordLevel, 0));
  g_TransfersCaught = false;
  g_TransferRequest = 1;
  EXPECT_NO_THROW(RunFrame());
  EXPECT_EQ(g_TransferRequest, 0);
  EXPECT_EQ(order, std::vector<std::string>{"L0"}) << "the frame ran on";
  g_TransfersCaught = true;
  g_TransferRequest = 1;
  EXPECT_THROW(RunFrame(), ScriptException);
}

// A termination signal quits at the next pump, as a confirmed close does.
TEST_F(FrameStepTest, ATerminationRequestQuitsAtThePump) {
  g_TerminateRequested = 1;
  try {
    PumpMessages();
    ADD_FAILURE() << "no quit";
  } catch (const ExceptionHandle& e) {
    EXPECT_TRUE(e.IsQuit());
  }
  EXPECT_EQ(g_TerminateRequested, 0);
  EXPECT_NO_THROW(PumpMessages()) << "once";
}

TEST_F(FrameStepTest, TransferRequestIsRaisedAfterThePumpBeforeInput) {
  AddACT(0, MakeACT(RecordLevel, 0));
  for (int request = 1; request <= 3; ++request) {
    platform::Event e;
    e.type = platform::EventType::Command;
    e.command = TestMainWindow::kRequestBase + request;
    stack.window->PostEvent(e);
    const uint32_t reads = stack.input->KeyboardReads();
    try {
      RunFrame();
      ADD_FAILURE() << "request " << request << " raised nothing";
    } catch (const ScriptException& x) {
      EXPECT_EQ(x.m_Code, request - 1);
    }
    EXPECT_EQ(stack.input->KeyboardReads(), reads) << "input was polled before the transfer";
    EXPECT_EQ(g_TransferRequest, 0);
  }
  EXPECT_TRUE(order.empty()) << "no task ran in a transferred frame";

  // An accelerator becomes its command, unless the menu has the item greyed.
  platform::Event key;
  key.type = platform::EventType::KeyDown;
  key.key = platform::DIK_Z;
  key.modifiers = platform::kModCtrl;
  stack.window->PostEvent(key);
  EXPECT_THROW(RunFrame(), ScriptException);
  stack.menu.Enable(TestMainWindow::kBackCommand, false);
  stack.window->PostEvent(key);
  EXPECT_NO_THROW(RunFrame());
  EXPECT_EQ(stack.main.commands.back(), TestMainWindow::kBackCommand);
  EXPECT_EQ(stack.main.commands.size(), 4u);
}

TEST_F(FrameStepTest, CloseAndF12RaiseQuit) {
  platform::Event close;
  close.type = platform::EventType::CloseRequest;
  platform::Event command;
  command.type = platform::EventType::Command;
  command.command = TestMainWindow::kBackCommand + 1;
  stack.window->PostEvent(close);
  stack.window->PostEvent(command);
  try {
    RunFrame();
    ADD_FAILURE() << "no quit";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.m_Type, 1);
    EXPECT_EQ(e.m_Line, 295);
    EXPECT_EQ(std::u16string(e.m_Message), u"Quit");
  }
  EXPECT_TRUE(stack.main.commands.empty()) << "a message after the close was dispatched before the quit";
  EXPECT_NO_THROW(RunFrame()) << "the quit flag is consumed";
  EXPECT_EQ(stack.main.commands, std::vector<uint32_t>{TestMainWindow::kBackCommand + 1});
  stack.input->SetKey(platform::DIK_F12, true);
  try {
    RunFrame();
    ADD_FAILURE() << "no quit";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.m_Type, 1);
    EXPECT_EQ(e.m_Line, 329);
    EXPECT_EQ(std::u16string(e.m_Source), u"main");
  }
}

TEST_F(FrameStepTest, KeyMapSetsHeldPressedAndReleasedBits) {
  const struct {
    uint8_t key;
    uint32_t bit;
  } keys[] = {
      {platform::DIK_UP, 0x1},           {platform::DIK_NUMPAD8, 0x1},      {platform::DIK_DOWN, 0x2},
      {platform::DIK_NUMPAD2, 0x2},      {platform::DIK_LEFT, 0x4},         {platform::DIK_NUMPAD4, 0x4},
      {platform::DIK_RIGHT, 0x8},        {platform::DIK_NUMPAD6, 0x8},      {platform::DIK_RETURN, 0x10},
      {platform::DIK_NUMPADENTER, 0x10}, {platform::DIK_ESCAPE, 0x20},      {platform::DIK_NUMPAD0, 0x20},
      {platform::DIK_NUMPAD1, 0x40},     {platform::DIK_NUMPAD3, 0x80},     {platform::DIK_NUMPAD7, 0x10000},
      {platform::DIK_LSHIFT, 0x10000},   {platform::DIK_NUMPAD9, 0x20000},  {platform::DIK_RSHIFT, 0x20000},
      {platform::DIK_LCONTROL, 0x40000}, {platform::DIK_RCONTROL, 0x80000}, {platform::DIK_A, 0},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(testing::Message() << "key 0x" << std::hex << int(k.key));
    stack.input->SetKey(k.key, true);
    RunFrame();
    EXPECT_EQ(g_Input.held, k.bit);
    EXPECT_EQ(g_Input.pressed, k.bit);
    RunFrame();
    EXPECT_EQ(g_Input.pressed, 0u);
    stack.input->SetKey(k.key, false);
    RunFrame();
    EXPECT_EQ(g_Input.held, 0u);
    EXPECT_EQ(g_Input.released, k.bit);
  }
  const uint32_t buttons[] = {0x1000, 0x2000, 0x4000};
  for (int b = 0; b < 3; ++b) {
    stack.input->SetButton(b, true);
    RunFrame();
    EXPECT_EQ(g_Input.pressed, buttons[b]);
    stack.input->SetButton(b, false);
    RunFrame();
  }
}

TEST_F(FrameStepTest, MouseOutsideTheWindowCountsNeitherHeldNorPressed) {
  stack.input->SetButton(0, true);
  RunFrame();
  EXPECT_EQ(g_Input.held, 0x1000u);
  EXPECT_EQ(g_Input.x, 400);
  stack.window->SetCursor(platform::Point{800, 10});
  RunFrame();
  EXPECT_EQ(g_Input.held, 0u);
  EXPECT_EQ(g_Input.x, 400) << "the position is kept from inside";
  stack.input->SetButton(0, false);
  RunFrame();
  EXPECT_EQ(g_Input.released, 0x1000u) << "releases still count outside";
  stack.window->SetCursor(platform::Point{-1, 599});
  stack.input->SetButton(1, true);
  RunFrame();
  EXPECT_EQ(g_Input.pressed, 0u);
}

TEST_F(FrameStepTest, CharacterAndWheelLastOneFrame) {
  platform::Event c;
  c.type = platform::EventType::Char;
  c.ch = u'あ';
  stack.window->PostEvent(c);
  stack.input->AddMotion(0, 0, 120);
  RunFrame();
  EXPECT_EQ(g_Input.held, 0x40000000u);
  EXPECT_EQ(g_Input.lastChar, u'あ');
  EXPECT_EQ(g_Input.wheel, 120);
  RunFrame();
  EXPECT_EQ(g_Input.held, 0u);
  EXPECT_EQ(g_Input.wheel, 0);
}

TEST_F(FrameStepTest, InactiveApplicationHoldsTheFrameButRepaints) {
  DxDraw::DxScreen display(*stack.backend->display);
  ASSERT_EQ(display.Initialize(stack.window, {}, 800, 600, 32, false, 0), 0);
  stack.main.SetDisplay(&display);
  g_Frame.display = &display;
  RunFrame();
  stack.Front().ClearLog();

  AddACT(5, MakeACT(RecordLevel, 5));
  stack.window->SetActive(false);
  int idles = 0;
  bool repainted = false;
  stack.window->SetOnIdle([&] {
    ++idles;
    if (idles == 1) {
      platform::Event expose;
      expose.type = platform::EventType::Expose;
      expose.rect = platform::Rect{0, 0, 50, 40};
      stack.window->PostEvent(expose);
    }
    if (idles == 2) repainted = stack.Front().Presented() == std::vector<platform::Rect>{{0, 0, 50, 40}};
    if (idles == 3) stack.window->SetActive(true);
  });
  RunFrame();
  EXPECT_EQ(idles, 3);
  EXPECT_TRUE(repainted) << "an expose while inactive is repainted at once";
  EXPECT_EQ(g_AppActive, 1);
  EXPECT_EQ(order, std::vector<std::string>{"L5"}) << "the frame ran once, after activation";
  stack.main.SetDisplay(nullptr);
  g_Frame.display = nullptr;
}

TEST_F(FrameStepTest, AutomaticFrameSkipFollowsTheRenderTimeWithACap) {
  auto* probe = new ProbeView();
  probe->clock = stack.clock;
  stack.root->AddChild(probe);
  const struct {
    int32_t setting;
    uint32_t renderMs;
    uint32_t expected;
  } cases[] = {{0, 40, 2}, {0, 5, 0}, {0, 10000, kMaxAutoSkipFrames}, {2, 100, 0}};
  for (const auto& c : cases) {
    stack.SkipFrame() = c.setting;
    probe->renderMs = c.renderMs;
    stack.screen->m_SkipFrames = stack.screen->m_SkipCount = 0;
    RunFrame();
    EXPECT_EQ(stack.screen->m_SkipFrames, c.expected) << "render " << c.renderMs << " ms";
    EXPECT_EQ(stack.screen->m_SkipCount, c.expected);
  }
}

TEST_F(FrameStepTest, WaitsEndOnTheirConditions) {
  auto frames = [&] { return GetFrameCount(); };
  // WaitTime (3000, 0): three seconds whatever is pressed (180 ticks after the first frame, which
  // runs at once); the presses are kept.
  stack.input->Script({{}, {{}, 1}, {}});
  uint64_t start = frames();
  EXPECT_EQ(WaitTime(3000, 0), 0u);
  EXPECT_EQ(frames() - start, 181u);
  EXPECT_EQ(g_Input.pressed, 0x1000u);

  // WaitTime (0, 1): a click and its release.
  stack.input->Script({{}, {}, {{}, 1}, {{}, 1}, {{}, 1}, {}});
  start = frames();
  EXPECT_EQ(WaitTime(0, 1), 0x1000u);
  EXPECT_EQ(frames() - start, 6u);

  // A timed wait ends early on a click, at least one frame passes.
  stack.input->Script({{}, {{platform::DIK_RETURN}}, {}});
  start = frames();
  EXPECT_EQ(WaitTime(1000, 1), 0x10u);
  EXPECT_EQ(frames() - start, 2u);
  start = frames();
  EXPECT_EQ(WaitTime(1, 0), 0u);
  EXPECT_EQ(frames() - start, 1u);

  // WaitInput counts frames; with a count a click ends it without waiting for the release;
  // flag 2 ends on the held skip word.
  start = frames();
  EXPECT_EQ(WaitInput(5, 0), 0u);
  EXPECT_EQ(frames() - start, 5u);
  stack.input->Script({{}, {{}, 1}, {{}, 1}, {{}, 1}, {}});
  start = frames();
  EXPECT_EQ(WaitInput(10, 1), 0x1000u);
  EXPECT_EQ(frames() - start, 2u);
  while (g_Input.held) RunFrame();
  stack.input->Script({{}, {}, {{platform::DIK_LSHIFT}}});
  start = frames();
  EXPECT_EQ(WaitInput(10, 2), 0x10000u);
  EXPECT_EQ(frames() - start, 3u);

  // WaitClick: after the click is let go, until nothing at all is held.
  stack.input->Script({{{platform::DIK_UP}, 1}, {{platform::DIK_UP}}, {{platform::DIK_UP}}, {}, {}});
  start = frames();
  EXPECT_EQ(WaitClick(), 0x1001u);
  EXPECT_EQ(frames() - start, 4u);
  EXPECT_EQ(g_Input.held, 0u);
}

TEST(MiscTest, TimersAcrossTheCounterWrap) {
  platform::VirtualClock clock;
  platform::Clock* previous = platform::SetClock(&clock);
  clock.SetMilliseconds(0xFFFFFFF0ull);
  uint32_t timer = 0;
  EXPECT_EQ(StartTimer(&timer), 0xFFFFFFF0u);
  clock.Advance(0x20);
  EXPECT_EQ(platform::TimeMs(), 0x10u);
  EXPECT_EQ(TimeElapsed(&timer, 0x20), 1);
  EXPECT_EQ(TimeElapsed(&timer, 0x21), 0);
  platform::SetClock(previous);

  platform::Rect r{10, 20, 110, 70};
  MoveRect(&r, -5, 300);
  EXPECT_EQ(r, (platform::Rect{-5, 300, 95, 350}));
}

TEST(MiscTest, AssertBoxAbortRaisesRetryAndIgnoreGoOn) {
  auto backend = platform::headless::CreateBackend();
  backend->Install();
  backend->hboxes->Answer(platform::MsgResult::Retry);
  backend->hboxes->Answer(platform::MsgResult::Ignore);
  backend->hboxes->Answer(platform::MsgResult::Abort);
  EXPECT_NO_THROW(AssertBox("x > 0", "a.cpp", 7, "extra"));
  EXPECT_NO_THROW(AssertBox("y", "b.cpp", 8, nullptr));
  try {
    AssertBox("z", "c.cpp", 9, nullptr);
    ADD_FAILURE() << "Abort went on";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Source), u"misc");
    EXPECT_EQ(e.m_Line, 55);
    EXPECT_EQ(e.m_Type, 0);
    EXPECT_EQ(std::u16string(e.m_Message), u"Assert(z);\nFile c.cpp, line 9.");
  }
  const auto& shown = backend->hboxes->Shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].text, u"Assert(x > 0);\nFile a.cpp, line 7.  extra");
  EXPECT_EQ(shown[0].caption, u"VARN");
  EXPECT_EQ(shown[0].buttons, platform::MsgButtons::AbortRetryIgnore);
  EXPECT_EQ(shown[0].icon, platform::MsgIcon::Error);
  EXPECT_EQ(shown[1].text, u"Assert(y);\nFile b.cpp, line 8.");
}

}  // namespace
