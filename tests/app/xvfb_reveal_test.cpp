// Real-window test: a message revealed through the frame step in the SDL window under a private
// Xvfb, read back from the screen, and its click wait ended by a click sent with xdotool.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/frame/framestep.h"
#include "backends/wiring.h"
#include "dxdraw/matrix.h"
#include "platform/sdl/sdl_backend.h"
#include "stack.h"
#include "tests/desktop/xvfb.h"
#include "textscript/messwindow.h"

namespace {

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};

// Ends a wait that nothing else ends, so the test fails instead of hanging.
int32_t WatchdogProc(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
  if (message == ACTMSG_RUN && platform::TimeMs() - uint32_t(act->m_User) > 20000) g_TransferRequest = 1;
  return 0;
}

bool Bright(xvfbtest::Rgb c) {
  return c.r > 0xC0 && c.g > 0xC0 && c.b > 0xC0;
}
bool Red(xvfbtest::Rgb c) {
  return c.r > 0xC0 && c.g < 0x40 && c.b < 0x40;
}

// The leak check is off from before the backend starts until after it has gone.
struct XvfbReveal : xvfbtest::Desktop {
  void TearDown() override { b.reset(); }
  xvfbtest::LeakCheckOff leakCheckOff;
};

TEST_F(XvfbReveal, MessageShowsInTheRealWindowAndAClickEndsItsWait) {
  platform::Backend* backend = b.get();
  auto glyphs = platform::CreateBoxGlyphSource();

  varntest::TestMainWindow main;
  ASSERT_TRUE(main.Create(*backend->window, u"VARN", u"varn-xvfb-reveal", platform::Rect{0, 0, 800, 600}, nullptr));
  backend->window->Show();
  backends::WiringOptions options;
  options.glyphs = glyphs.get();
  varntest::FrameStack frames(*backend, main, options);
  ASSERT_TRUE(frames.Wired());
  DxDraw::DxScreenSurface32* screen = frames.screen;
  AddACT(15, MakeACT(WatchdogProc, platform::TimeMs()));

  std::unique_ptr<DxDraw::DxSurface, SurfaceRelease> system(DxDraw::CreateSurface(32));
  system->Create(128, 32);
  system->Fill(nullptr, 0xFF0000, 255);
  TextScript::MessageServices services;
  services.systemImage = system.get();
  TextScript::SetMessageServices(services);
  auto* window = new TextScript::DxMessWindow(800, 200, 8, 24, 44, 16);
  window->SetPosition(0, 400);
  screen->AddChild(window);
  TextScript::DxMessView2* view = window->m_pView;
  view->SetFont(16, 0, nullptr);

  const unsigned long id = x.FindWindow("varn-xvfb-reveal");
  ASSERT_NE(id, 0u) << "the window never appeared";
  x.Tool("windowfocus --sync " + std::to_string(id));
  x.Tool("mousemove --window " + std::to_string(id) + " 400 300");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!backend->window->IsActive() && std::chrono::steady_clock::now() < until) {
    platform::Event e;
    while (backend->window->PollEvent(e)) main.DispatchEvent(e);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(backend->window->IsActive()) << "the window never got the focus";

  view->PrintText(0xFFFFFF, 30, u"ABCDEFGH", nullptr, nullptr);

  // While the wait runs on this thread, another reads the screen back and then clicks.
  std::atomic<bool> textShown{false}, indicatorShown{false}, waitEnded{false};
  std::thread clicker([&] {
    for (int attempt = 0; attempt < 50 && !(textShown && indicatorShown); ++attempt) {
      const std::vector<uint8_t> shot = x.Capture(id, 800, 600);
      if (!shot.empty()) {
        textShown = Bright(xvfbtest::At(shot, 800, 10, 446));
        indicatorShown = Red(xvfbtest::At(shot, 800, 780, 590));
        xvfbtest::Dump("reveal", shot, 800, 600);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // Click until the wait has ended: a click may be lost while the server is busy (the
    // watchdog task still ends a wait that no click reaches).
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!waitEnded && std::chrono::steady_clock::now() < end) {
      x.Tool("mousemove --window " + std::to_string(id) + " 400 300");
      x.Tool("mousedown 1");
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      x.Tool("mouseup 1");
      for (int i = 0; i < 40 && !waitEnded; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  uint32_t result = 0;
  try {
    result = view->RunTextTask(0, -1);
  } catch (const ScriptException&) {
    ADD_FAILURE() << "no click ended the wait";
  }
  waitEnded = true;
  clicker.join();
  EXPECT_TRUE(textShown) << "the revealed text never reached the screen";
  EXPECT_TRUE(indicatorShown) << "the click-wait indicator never reached the screen";
  EXPECT_EQ(result & 0x1000u, 0x1000u) << "the wait ended with 0x" << std::hex << result;
}

}  // namespace
