// Tests of the window frame: message routing, destruction, activation, cursor, full-screen
// menu bar, the full-screen toggle, repainting and accelerators.
#include "dxdraw/frame.h"

#include <gtest/gtest.h>

#include "dxdraw/dxdisplay.h"
#include "dxdraw/dxinput.h"
#include "dxdraw/screen.h"
#include "dxdraw/view.h"
#include "platform/headless/headless.h"
#include "surface_util.h"

using namespace platform;

namespace {

struct Log {
  std::vector<uint32_t> messages;
  int destroys = 0;
};

class RecordingFrame : public DxDraw::DxFrame {
 public:
  explicit RecordingFrame(Log& log) : m_Log(log) {}

 protected:
  intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    m_Log.messages.push_back(msg);
    if (msg == WMSG_DESTROY) ++m_Log.destroys;
    if (msg == WMSG_COMMAND) commands.push_back(uint32_t(wParam));
    return DxFrame::WindowProc(msg, wParam, lParam);
  }

 public:
  std::vector<uint32_t> commands;

 private:
  Log& m_Log;
};

class PaintView : public ssView {
 public:
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override {
    if (msg == VM_PAINT) {
      rect = *reinterpret_cast<const Rect*>(a);
      presenter = reinterpret_cast<Presenter*>(b);
      ++paints;
    }
    return 1;
  }
  Rect rect;
  Presenter* presenter = nullptr;
  int paints = 0;
};

struct FrameFixture : ::testing::Test {
  std::unique_ptr<headless::HeadlessBackend> b = headless::CreateBackend();
  Menu menu{{MenuItem::Popup(u"シナリオ", {MenuItem::Command(40012, u"少し戻る")})}};
  Log log;
  std::unique_ptr<RecordingFrame> frame = std::make_unique<RecordingFrame>(log);
  DxDraw::DxScreen screen{*b->display};

  void SetUp() override {
    DxDraw::g_UseSystemCursor = 0;
    b->Install();
    ASSERT_TRUE(frame->Create(*b->window, u"VARN", u"Lanternfall　体験版", Rect{0, 0, 800, 600}, &menu));
    ASSERT_EQ(screen.Initialize(b->window.get(), nullptr, 800, 600, 32, false, 0), 0);
    frame->SetDisplay(&screen);
    frame->SetFrameMenu(&menu);
    InputConfig config;
    config.device = b->input.get();
    Input::Initialize(config);
  }
  void TearDown() override {
    Input::Finalize();
    DxDraw::g_UseSystemCursor = 0;
    DxDraw::g_SurfaceLost = 0;
  }
  void Send(EventType type, Point pos = {}) {
    Event e;
    e.type = type;
    e.pos = pos;
    frame->DispatchEvent(e);
  }
};

}  // namespace

TEST_F(FrameFixture, CreateRoutesAndAWindowGoneIsNotDestroyedTwice) {
  ASSERT_FALSE(log.messages.empty());
  EXPECT_EQ(log.messages.front(), uint32_t(WMSG_CREATE));
  EXPECT_EQ(b->hwindow->Caption(), u"Lanternfall　体験版");

  b->window->Destroy();  // the system takes the window away
  Send(EventType::Char);
  EXPECT_TRUE(frame->IsDestroyed());
  EXPECT_EQ(log.destroys, 1);
  EXPECT_FALSE(frame->DispatchEvent(Event{})) << "no messages after destruction";
  frame.reset();
  EXPECT_EQ(log.destroys, 1) << "the destructor leaves an already destroyed window alone";
}

TEST_F(FrameFixture, DestructorDestroysALiveWindow) {
  frame.reset();
  EXPECT_FALSE(b->window->IsAlive());
}

TEST_F(FrameFixture, SystemCursorHiddenOverTheClientOnlyWhileActive) {
  Send(EventType::MouseMove, {400, 300});
  EXPECT_FALSE(b->hwindow->IsSystemCursorVisible()) << "active: the game draws its own cursor";
  b->hwindow->SetCursor({400, 300});
  Send(EventType::Deactivate);
  EXPECT_FALSE(frame->IsActive());
  EXPECT_TRUE(b->hwindow->IsSystemCursorVisible()) << "inactive: the frame's arrow";
  Send(EventType::Activate);
  EXPECT_TRUE(frame->IsActive());
  EXPECT_FALSE(b->hwindow->IsSystemCursorVisible());

  b->hwindow->SetSystemCursorVisible(true);
  Send(EventType::MouseMove, {900, 300});  // outside the client area: not the frame's business
  EXPECT_TRUE(b->hwindow->IsSystemCursorVisible());

  DxDraw::g_UseSystemCursor = 1;
  Send(EventType::MouseMove, {10, 10});
  EXPECT_TRUE(b->hwindow->IsSystemCursorVisible()) << "the system-cursor option keeps it";
}

TEST_F(FrameFixture, TheScreenSurfacesCursorChoiceDecidesTheSystemCursor) {
  // A screen made without a cursor image leaves the system cursor to show over the client area;
  // one that draws its own cursor has it hidden while the game is active.
  struct Release {
    void operator()(ssView* v) const { v->Release(); }
  };
  const testutil::SurfaceRef cursor = testutil::MakeSurface(32, 8, 8, 0x00FFFFFF);
  for (bool withImage : {false, true, false}) {
    SCOPED_TRACE(withImage ? "cursor image" : "no cursor image");
    std::unique_ptr<DxDraw::DxScreenSurface32, Release> surface(
        new DxDraw::DxScreenSurface32(withImage ? cursor.Get() : nullptr, nullptr));
    EXPECT_EQ(surface->GetCursorSprite() != nullptr, withImage);
    b->hwindow->SetSystemCursorVisible(true);
    Send(EventType::MouseMove, {400, 300});
    ASSERT_TRUE(frame->IsActive());
    EXPECT_EQ(b->hwindow->IsSystemCursorVisible(), !withImage);
    b->hwindow->SetCursor({400, 300});
    Send(EventType::Deactivate);
    EXPECT_TRUE(b->hwindow->IsSystemCursorVisible()) << "inactive: the arrow in either case";
    Send(EventType::Activate);
    EXPECT_EQ(b->hwindow->IsSystemCursorVisible(), !withImage);
  }
}

TEST_F(FrameFixture, FullScreenMenuBarFollowsTheTopEdge) {
  EXPECT_TRUE(b->hwindow->IsMenuShown());
  Send(EventType::MouseMove, {100, 50});
  EXPECT_TRUE(b->hwindow->IsMenuShown()) << "windowed, the menu stays";

  ASSERT_EQ(frame->ToggleFullScreen(), 1);
  EXPECT_FALSE(screen.IsWindowed());
  EXPECT_FALSE(b->hwindow->IsMenuShown()) << "no menu bar in full screen";
  const std::pair<int32_t, bool> moves[] = {{1, true}, {0, true}, {2, false}, {300, false}, {1, true}, {-5, true}};
  for (auto [y, shown] : moves) {
    Send(EventType::MouseMove, {100, y});
    EXPECT_EQ(b->hwindow->IsMenuShown(), shown) << "y = " << y;
  }

  ASSERT_EQ(frame->ToggleFullScreen(), 1);
  EXPECT_TRUE(screen.IsWindowed());
  EXPECT_TRUE(b->hwindow->IsMenuShown()) << "back in a window the menu is back";

  b->hwindow->FailNextFullScreen(3);
  ASSERT_EQ(frame->ToggleFullScreen(), 1);
  EXPECT_TRUE(screen.IsWindowed());
  EXPECT_TRUE(b->hwindow->IsMenuShown()) << "a failed switch puts the menu back";

  DxDraw::DxFrame bare;
  EXPECT_EQ(bare.ToggleFullScreen(), 0) << "no display";
}

TEST_F(FrameFixture, LeavingFullScreenLosesThePictureAndReturningRestoresIt) {
  frame->ToggleFullScreen();
  Send(EventType::Deactivate);
  EXPECT_EQ(DxDraw::g_SurfaceLost, 1);
  EXPECT_TRUE(screen.IsPrimaryLost());
  Send(EventType::Activate);
  EXPECT_EQ(DxDraw::g_SurfaceLost, 0);
  EXPECT_FALSE(screen.IsPrimaryLost());

  frame->ToggleFullScreen();
  Send(EventType::Deactivate);
  EXPECT_EQ(DxDraw::g_SurfaceLost, 0) << "a window keeps its picture";
}

TEST_F(FrameFixture, PaintGoesToTheScreenSurfaceWithThePresenter) {
  PaintView view;
  Event e;
  e.type = EventType::Expose;
  e.rect = Rect{10, 20, 30, 40};
  frame->DispatchEvent(e);
  EXPECT_EQ(view.paints, 0) << "no screen surface yet";
  frame->SetScreen(&view);
  frame->DispatchEvent(e);
  EXPECT_EQ(view.paints, 1);
  EXPECT_EQ(view.rect, e.rect);
  EXPECT_EQ(view.presenter, &b->window->GetPresenter());
}

TEST_F(FrameFixture, AcceleratorsAreGatedByTheMenu) {
  const AcceleratorTable table(std::vector<Accelerator>{{DIK_Z, kModCtrl, 40012}, {DIK_F10, 0, 40002}});
  Event key;
  key.type = EventType::KeyDown;
  key.key = DIK_Z;
  key.modifiers = kModCtrl;
  frame->TranslateAndDispatch(key, &table, &menu);
  menu.Enable(40012, false);
  frame->TranslateAndDispatch(key, &table, &menu);
  key.key = DIK_F10;
  key.modifiers = 0;
  frame->TranslateAndDispatch(key, &table, &menu);
  EXPECT_EQ(frame->commands, (std::vector<uint32_t>{40012, 40002}));
  const size_t keydowns = size_t(std::count(log.messages.begin(), log.messages.end(), uint32_t(WMSG_KEYDOWN)));
  EXPECT_EQ(keydowns, 0u) << "translated keys are not dispatched as keys as well";
}

TEST(WindowMessages, PointsPackAndSignExtend) {
  for (auto [x, y] : {std::pair{0, 0}, std::pair{799, 599}, std::pair{-1, -3}, std::pair{123, -200}}) {
    const intptr_t p = PackPoint(x, y);
    EXPECT_EQ(MsgX(p), x);
    EXPECT_EQ(MsgY(p), y);
  }
}
