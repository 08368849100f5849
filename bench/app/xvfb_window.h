// The real-window benchmarks' window: the SDL backend on a private Xvfb server, wired into the
// frame step with a screen surface, focused and with the pointer inside.
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "app/frame/framestep.h"
#include "dxdraw/sprite.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/utf.h"
#include "tests/app/stack.h"
#include "tests/desktop/xvfb.h"
#include "textscript/messwindow.h"

namespace xvfbbench {

using Clock = std::chrono::steady_clock;

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};

// The game's main window as the frame step sees it, noting when a mouse press reaches it.
class TimedMainWindow : public varntest::TestMainWindow {
 public:
  std::atomic<int64_t> lastPressNs{0};

 protected:
  intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    if (msg == WMSG_MOUSEDOWN) lastPressNs = Clock::now().time_since_epoch().count();
    return varntest::TestMainWindow::WindowProc(msg, wParam, lParam);
  }
};

// The SDL backend on the private X server, wired into the frame step with a screen surface.
struct RealWindow {
  xvfbtest::Server& x;
  std::unique_ptr<platform::Backend> backend;
  std::unique_ptr<platform::GlyphSource> glyphs = platform::CreateBoxGlyphSource();
  TimedMainWindow main;
  std::unique_ptr<varntest::FrameStack> frames;  // goes before the main window and the backend
  DxDraw::DxScreenSurface32* screen = nullptr;
  std::unique_ptr<DxDraw::DxSurface, SurfaceRelease> system{DxDraw::CreateSurface(32)};
  unsigned long id = 0;
  bool ok = false;

  explicit RealWindow(xvfbtest::Server& server, const char16_t* windowName = u"varn-xvfb-bench") : x(server) {
    platform::sdl::Options options;
    options.audioSampleRate = 0;
    backend = platform::sdl::CreateBackend(options);
    if (!backend) return;
    if (!main.Create(*backend->window, u"VARN", windowName, platform::Rect{0, 0, 800, 600}, nullptr)) return;
    backend->window->Show();
    backends::WiringOptions wiring;
    wiring.glyphs = glyphs.get();
    frames = std::make_unique<varntest::FrameStack>(*backend, main, wiring);
    if (!frames->Wired()) return;
    screen = frames->screen;

    system->Create(128, 32);
    system->Fill(nullptr, 0xFF0000, 255);
    TextScript::MessageServices services;
    services.systemImage = system.get();
    TextScript::SetMessageServices(services);

    id = x.FindWindow(platform::WideToUtf8(windowName));
    if (id == 0) return;
    x.Tool("windowfocus --sync " + std::to_string(id));
    x.Tool("mousemove --window " + std::to_string(id) + " 400 300");
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (!backend->window->IsActive() && Clock::now() < until) {
      platform::Event e;
      while (backend->window->PollEvent(e)) main.DispatchEvent(e);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ok = backend->window->IsActive();
  }

  // Lets the window settle: the first frames present the whole screen.
  void Settle() {
    for (int i = 0; i < 30; ++i) WaitFrame();
  }
};

// The benchmark program's main: the registered benchmarks run with the window on a private X
// server; body(window) runs them. Without the server or the window it says why and returns 0.
template <typename Body>
int RunWithWindow(int argc, char** argv, const char16_t* windowName, Body body) {
  benchmark::Initialize(&argc, argv);
  xvfbtest::Server server;
  if (!server.Ok()) {
    std::fprintf(stderr, "real-window benchmark skipped: %s\n", server.Error().c_str());
    return 0;
  }
  {
    RealWindow window(server, windowName);
    if (!window.ok) {
      std::fprintf(stderr, "real-window benchmark skipped: the SDL window did not open or get the focus\n");
      return 0;
    }
    body(window);
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace xvfbbench
