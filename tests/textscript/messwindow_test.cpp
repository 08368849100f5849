// The message window: its layout, the refused margins, the open and close tasks and what the
// screen shows of it.
#include "textscript/messwindow.h"

#include <gtest/gtest.h>

#include "dxdraw/matrix.h"
#include "dxdraw/screen.h"
#include "lib/act.h"
#include "lib/error.h"
#include "platform/headless/headless.h"
#include "textscript/framewait.h"

namespace {

using namespace TextScript;

struct ViewRelease {
  void operator()(ssView* v) const {
    if (v) v->Release();
  }
};

// Frames that pass at once with no input: enough for the close effect's wait.
class IdleFrame final : public IMessageFrame {
 public:
  void WaitFrame() override { ++frames; }
  uint32_t HeldInput() const override { return 0; }
  uint32_t PressedInput() const override { return 0; }
  uint32_t WaitTime(uint32_t, uint32_t) override { return 0; }
  int frames = 0;
};

class MessWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitACT();
    if (g_MatrixStack.Capacity() == 0) g_MatrixStack.Allocate(32);
    m_pPrevFrame = SetMessageFrame(&frame);
  }
  void TearDown() override {
    SetMessageFrame(m_pPrevFrame);
    KillAllACT();
  }
  IdleFrame frame;

 private:
  IMessageFrame* m_pPrevFrame = nullptr;
};

TEST_F(MessWindowTest, LayoutPutsTheViewInsideTheMargins) {
  std::unique_ptr<DxMessWindow, ViewRelease> w(new DxMessWindow(800, 200, 8, 24, 44, 16, 1));
  ASSERT_EQ(w->GetFirstChild(), static_cast<ssView*>(w->m_pBackground)) << "the backdrop is drawn below";
  ASSERT_EQ(w->GetLastChild(), static_cast<ssView*>(w->m_pView));
  EXPECT_EQ(w->m_pView->GetWidth(), 768);
  EXPECT_EQ(w->m_pView->GetHeight(), 140);
  EXPECT_EQ(w->m_pView->m_Position[0], 8.0f);
  EXPECT_EQ(w->m_pView->m_Position[1], 44.0f);
  EXPECT_EQ(w->m_pView->GetStyleFlags(), 0x8003u);
  EXPECT_EQ(w->m_pBackground->m_Params.mode, 2u);
  EXPECT_EQ(w->m_pBackground->m_Params.level, 128u);
  EXPECT_EQ(w->m_EffectStyle, 0u);
  EXPECT_EQ(w->m_GameWord1, 1u);
}

TEST_F(MessWindowTest, MarginsThatLeaveNoRoomAreRefused) {
  const int32_t bad[][6] = {
      {100, 50, 60, 40, 0, 0}, {100, 50, 0, 0, 30, 20}, {100, 50, -1, 0, 0, 0}, {0, 50, 0, 0, 0, 0}};
  for (const auto& b : bad) {
    EXPECT_THROW(DxMessWindow(b[0], b[1], b[2], b[3], b[4], b[5]), ExceptionHandle)
        << b[0] << "x" << b[1] << " margins " << b[2] << "," << b[3] << "," << b[4] << "," << b[5];
  }
}

TEST_F(MessWindowTest, OpenAndCloseTakeEffectWhenTheirTaskStarts) {
  std::unique_ptr<DxMessWindow, ViewRelease> w(new DxMessWindow(200, 100, 4, 4, 4, 4));
  const int freeBefore = CountFreeACT();
  w->Hide();
  w->m_pView->Hide();
  ACT* open = StartMessageWindowOpen(w.get());
  EXPECT_EQ(open->m_Result, ACT_RESULT_DONE);
  EXPECT_TRUE(w->IsShown());
  EXPECT_TRUE(w->m_pView->IsShown());
  FreeACT(open);
  // Opening a shown window changes nothing, not even a hidden view.
  w->m_pView->Hide();
  FreeACT(StartMessageWindowOpen(w.get()));
  EXPECT_FALSE(w->m_pView->IsShown());

  CloseMessageWindowAndWait(w.get());
  EXPECT_FALSE(w->IsShown());
  ACT* close = StartMessageWindowClose(w.get());
  EXPECT_EQ(close->m_Result, ACT_RESULT_DONE);
  EXPECT_FALSE(w->IsShown());
  FreeACT(close);
  EXPECT_EQ(CountFreeACT(), freeBefore) << "no task is left behind";
}

TEST_F(MessWindowTest, BackdropHalvesTheScreenAndClosingRepaintsIt) {
  platform::headless::HeadlessPresenter presenter(800, 600);
  std::unique_ptr<DxDraw::DxScreenSurface32, ViewRelease> screen(new DxDraw::DxScreenSurface32());
  screen->SetSize(800, 600);
  auto* white = new DxDraw::DxSurfaceSprite32(800, 600);
  white->DxDraw::DxSurface32::Fill(nullptr, 0xFFFFFF, 255);
  screen->AddChild(white);
  auto* w = new DxMessWindow(800, 200, 8, 24, 44, 16);
  w->SetPosition(0, 400);
  screen->AddChild(w);
  DxDraw::DrawTarget target;
  target.window = &presenter;
  screen->Draw(&target);
  const uint32_t grey = presenter.PixelAt(400, 500);
  for (int shift : {0, 8, 16}) {
    const uint32_t c = (grey >> shift) & 0xFF;
    EXPECT_TRUE(c >= 0x7E && c <= 0x81) << std::hex << "backdrop pixel " << grey;
  }
  EXPECT_EQ(presenter.PixelAt(400, 300), 0xFFFFFFu);

  presenter.ClearLog();
  CloseMessageWindowAndWait(w);
  screen->Draw(&target);
  ASSERT_EQ(presenter.Presented().size(), 1u);
  EXPECT_EQ(presenter.Presented()[0], (platform::Rect{0, 400, 800, 600}));
  EXPECT_EQ(presenter.PixelAt(400, 500), 0xFFFFFFu);
}

}  // namespace
