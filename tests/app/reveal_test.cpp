// A message revealed through real frames: the frames each character waits, what reaches the
// window, the click-wait indicator, and a transfer that abandons the reveal.
#include <gtest/gtest.h>

#include <vector>

#include "stack.h"
#include "textscript/messwindow.h"

namespace {

using varntest::HeadlessStack;

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};

std::vector<uint32_t>* g_Samples = nullptr;
platform::headless::HeadlessPresenter* g_SampledFront = nullptr;

// Samples the window's picture at the indicator's place after every render.
int32_t SampleProc(ACT*, uint32_t message, uintptr_t, uintptr_t) {
  if (message == ACTMSG_RUN && g_Samples) g_Samples->push_back(g_SampledFront->PixelAt(780, 590));
  return 0;
}

class RevealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_System.reset(DxDraw::CreateSurface(32));
    m_System->Create(128, 32);
    m_System->Fill(nullptr, 0xFF0000, 255);
    TextScript::MessageServices services;
    services.systemImage = m_System.get();
    TextScript::SetMessageServices(services);
    window = new TextScript::DxMessWindow(800, 200, 8, 24, 44, 16);
    window->SetPosition(0, 400);
    stack.screen->AddChild(window);
    view = window->m_pView;
    view->SetFont(16, 0, nullptr);
    RunFrame();
    stack.Front().ClearLog();
  }
  uint64_t FramesOf(void (*body)(TextScript::DxMessView2*)) {
    const uint64_t start = GetFrameCount();
    body(view);
    return GetFrameCount() - start;
  }
  // The cell of the n-th half-width character of the first line on the screen (bold and shadow
  // widen it by two and deepen it by one).
  static platform::Rect Cell(int n) { return platform::Rect{8 + 8 * n, 444, 18 + 8 * n, 461}; }

  HeadlessStack stack;
  std::unique_ptr<DxDraw::DxSurface, SurfaceRelease> m_System;
  TextScript::DxMessWindow* window = nullptr;  // child of the screen
  TextScript::DxMessView2* view = nullptr;
};

TEST_F(RevealTest, OneCharacterPerDelayEachPresentedAlone) {
  // 48 ms at 16 ms a frame: three frames a character; each character's cell goes out once.
  EXPECT_EQ(FramesOf([](TextScript::DxMessView2* v) { v->PrintText(0xFFFFFF, 48, u"ABC", nullptr, nullptr); }), 9u);
  EXPECT_EQ(stack.Front().Presented(), (std::vector<platform::Rect>{Cell(0), Cell(1), Cell(2)}));
  const uint32_t ink = stack.Front().PixelAt(10, 446);
  EXPECT_GT(ink & 0xFF, 0xC0u) << std::hex << "text pixel " << ink;
}

TEST_F(RevealTest, AtOnceWithPauseZeroOrCtrlHeld) {
  EXPECT_EQ(FramesOf([](TextScript::DxMessView2* v) { v->PrintText(0xFF0000, 0, u"DEF", nullptr, nullptr); }), 0u);
  RunFrame();
  ASSERT_EQ(stack.Front().Presented().size(), 1u) << "the whole message in one present";
  EXPECT_EQ(stack.Front().Presented()[0], (platform::Rect{8, 444, 34, 461}));
  const uint32_t ink = stack.Front().PixelAt(10, 446);
  EXPECT_TRUE((ink >> 16) > 0xC0 && (ink & 0xFFFF) == 0) << std::hex << "0xRRGGBB red reaches the screen red: " << ink;

  stack.input->SetKey(platform::DIK_LCONTROL, true);
  RunFrame();
  EXPECT_EQ(FramesOf([](TextScript::DxMessView2* v) { v->PrintText(0xFFFFFF, 48, u"GHI", nullptr, nullptr); }), 0u);
}

TEST_F(RevealTest, AClickEndsOnlyTheCurrentPause) {
  stack.input->Script({{}, {{}, 1}, {}});
  EXPECT_EQ(FramesOf([](TextScript::DxMessView2* v) { v->PrintText(0xFFFFFF, 48, u"ABC", nullptr, nullptr); }), 8u);
}

TEST_F(RevealTest, IndicatorShowsUntilTheClick) {
  std::vector<uint32_t> samples;
  g_Samples = &samples;
  g_SampledFront = &stack.Front();
  AddACT(14, MakeACT(SampleProc, 0));
  const int freeBefore = CountFreeACT();
  std::vector<platform::headless::InputFrame> script(10);
  script.push_back({{}, 1});
  script.push_back({});
  stack.input->Script(script);
  EXPECT_EQ(view->RunTextTask(0, -1), 0x1000u);
  g_Samples = nullptr;
  ASSERT_GE(samples.size(), 11u);
  EXPECT_EQ(samples.front(), 0xFF0000u) << "the indicator at the view's lower right corner";
  EXPECT_EQ(samples.back(), 0u) << "hidden when the wait ended";
  EXPECT_EQ(CountFreeACT(), freeBefore);
  RunFrame();
  EXPECT_EQ(stack.Front().PixelAt(780, 590), 0u);
}

TEST_F(RevealTest, AWaitingPagePresentsOnlyTheIndicatorWhenItChanges) {
  view->PrintText(0xFFFFFF, 0, u"ABC", nullptr, nullptr);
  for (int i = 0; i < 3; ++i) WaitFrame();
  stack.Front().ClearLog();
  WaitFrame();
  EXPECT_TRUE(stack.Front().Presented().empty()) << "an idle frame presents nothing";
  EXPECT_EQ(stack.Front().Flushes(), 0u);

  ACT* task = view->CreateTextTask(0, -1);
  RunACT(task);
  WaitFrame();
  ASSERT_EQ(stack.Front().Presented().size(), 1u) << "the indicator appears";
  const platform::Rect indicator = stack.Front().Presented()[0];
  EXPECT_EQ(indicator, (platform::Rect{776, 584, 792, 600})) << "at the view's lower right corner";
  stack.Front().ClearLog();
  // One virtual second of 60 frames: the indicator moves on every 100 ms, and nothing else is
  // presented in between.
  std::vector<uint64_t> presentFrames;
  for (int frame = 0; frame < 60; ++frame) {
    const size_t before = stack.Front().Presented().size();
    RunACT(task);
    WaitFrame();
    if (stack.Front().Presented().size() != before) presentFrames.push_back(uint64_t(frame));
  }
  for (const platform::Rect& r : stack.Front().Presented()) EXPECT_EQ(r, indicator);
  EXPECT_EQ(stack.Front().Flushes(), presentFrames.size()) << "one flush for each change";
  ASSERT_EQ(presentFrames.size(), 10u);
  for (size_t i = 1; i < presentFrames.size(); ++i) EXPECT_EQ(presentFrames[i] - presentFrames[i - 1], 6u);
  FreeACT(task);
}

TEST_F(RevealTest, TransferAbandonsTheRevealAndTheWait) {
  platform::Event title;
  title.type = platform::EventType::Command;
  title.command = varntest::TestMainWindow::kTitleCommand;
  stack.window->PostAt(2, title);
  try {
    view->PrintText(0xFFFFFF, 48, u"ABCDEF", nullptr, nullptr);
    ADD_FAILURE() << "the reveal went on";
  } catch (const ScriptException& e) {
    EXPECT_EQ(e.m_Code, 0);
  }
  EXPECT_EQ(view->GetFont()->GetBeginCount(), 0u);
  EXPECT_EQ(view->GetTextContext().m_BeginCount, 0u);

  const int freeBefore = CountFreeACT();
  stack.window->PostAt(3, title);
  EXPECT_THROW(view->RunTextTask(1, -1), ScriptException);
  EXPECT_EQ(CountFreeACT(), freeBefore) << "the wait task is freed";
  EXPECT_EQ(window->GetLastChild(), static_cast<ssView*>(view)) << "and its indicator released";
  EXPECT_EQ(stack.screen->GetLastChild(), static_cast<ssView*>(window));
  ASSERT_EQ(stack.Front().PixelAt(780, 590), 0xFF0000u) << "the indicator was on the screen";
  RunFrame();
  EXPECT_EQ(stack.Front().PixelAt(780, 590), 0u) << "the abandoned indicator's place is repainted";
}

}  // namespace
