// Tests of the game's message window: its five buttons, their frames and hit rectangles.
#include "script/messagewindow.h"

#include <gtest/gtest.h>

#include <memory>

#include "dxdraw/surface.h"
#include "lib/utility.h"
#include "sampledata.h"
#include "tests/app/stack.h"

namespace {

using varntest::HeadlessStack;

// A stand-in "SYSTEM" picture whose button rows are red, green, blue, red and green.
class MessageWindowTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kRowColours[kMessageButtons] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF0000, 0x00FF00};

  void SetUp() override {
    system.reset(DxDraw::CreateSurface(32));
    ASSERT_TRUE(system->Create(800, 432));
    system->Fill(nullptr, 0xFFFFFF, 255);
    for (int i = 0; i < kMessageButtons; ++i) {
      const platform::Rect row{752, 288 + 24 * i, 800, 312 + 24 * i};
      system->Fill(&row, kRowColours[i], 255);
    }
    TextScript::MessageServices services;
    services.systemImage = system.get();
    TextScript::SetMessageServices(services);
    window = new MessageWindow(system.get(), 800, 200, 8, 24, 44, 16);
    window->SetPosition(0, 400);
    stack.screen->AddChild(window);
  }

  HeadlessStack stack;
  scripttest::SampleSurface system;
  MessageWindow* window = nullptr;  // child of the screen
};

TEST_F(MessageWindowTest, FiveDimmedButtonsAtTheRightEdgeAboveBackdropAndText) {
  ssView* child = window->GetFirstChild();
  EXPECT_EQ(child, static_cast<ssView*>(window->GetBackground()));
  child = window->GetNextSibling(child);
  EXPECT_EQ(child, static_cast<ssView*>(window->GetView()));
  for (int i = 0; i < kMessageButtons; ++i) {
    child = window->GetNextSibling(child);
    DxDraw::DxSprite* b = window->m_pButtons[i];
    ASSERT_EQ(child, static_cast<ssView*>(b)) << "button " << i;
    EXPECT_EQ(b->GetImage(), system.get());
    EXPECT_EQ(b->m_Frame.width, 48);
    EXPECT_EQ(b->m_Frame.height, 24);
    EXPECT_EQ(b->m_Frame.source, (platform::Rect{752, 288 + 24 * i, 800, 312 + 24 * i}));
    EXPECT_EQ(b->m_Position[0], 752.0f);
    EXPECT_EQ(b->m_Position[1], 40.0f + 24 * i);
    EXPECT_EQ(b->m_Params.mode, 0x10002u);
    EXPECT_EQ(b->m_Params.level, kButtonDimmed);
    EXPECT_TRUE(b->IsShown());
  }
  EXPECT_EQ(window->GetNextSibling(child), nullptr);

  // Drawn at half strength over the black backdrop, each in its row's colour.
  WaitFrame();
  for (int i = 0; i < kMessageButtons; ++i) {
    const uint32_t p = stack.Front().PixelAt(776, 452 + 24 * i);
    for (int shift : {0, 8, 16}) {
      const uint32_t want = (kRowColours[i] >> shift & 0xFF) ? 0x80 : 0;
      EXPECT_NEAR(int(p >> shift & 0xFF), int(want), 2) << std::hex << "button " << i << ": " << p;
    }
  }
}

TEST_F(MessageWindowTest, HitRectanglesTileTheBarOnTheScreen) {
  for (int i = 0; i < kMessageButtons; ++i)
    EXPECT_EQ(window->m_ButtonRects[i], (platform::Rect{752, 440 + 24 * i, 800, 464 + 24 * i})) << i;
  struct Hit {
    int x, y, button;
  };
  const Hit hits[] = {{752, 440, 0}, {799, 463, 0},  {760, 464, 1},  {776, 487, 1},  {776, 488, 2}, {776, 535, 3},
                      {776, 559, 4}, {776, 560, -1}, {776, 439, -1}, {751, 450, -1}, {800, 450, -1}};
  for (const Hit& h : hits)
    EXPECT_EQ(FindRectAt(window->m_ButtonRects, kMessageButtons, h.x, h.y), h.button) << h.x << "," << h.y;
  // Every pixel of the bar belongs to exactly one button.
  for (int y = 440; y < 560; ++y) {
    int owners = 0;
    for (const platform::Rect& r : window->m_ButtonRects)
      owners += (752 >= r.left && 799 < r.right && y >= r.top && y < r.bottom);
    EXPECT_EQ(owners, 1) << "row " << y;
  }
}

}  // namespace
