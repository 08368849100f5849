// A headless game stack for the frame-step tests and benchmarks: backend wired to the engine,
// main window, ACT levels, root group and screen surface, wired into the frame step.
#pragma once

#include <memory>
#include <vector>

#include "app/frame/framestep.h"
#include "backends/wiring.h"
#include "dxdraw/drawview.h"
#include "dxdraw/frame.h"
#include "dxdraw/matrix.h"
#include "dxdraw/screen.h"
#include "lib/act.h"
#include "platform/headless/headless.h"
#include "platform/menu.h"
#include "textscript/messview.h"

namespace varntest {

// Stands in for the game's main window: activation, close, typed characters and the commands
// that raise transfers.
class TestMainWindow : public DxDraw::DxFrame {
 public:
  static constexpr uint32_t kTitleCommand = 40003;
  static constexpr uint32_t kBackCommand = 40012;
  static constexpr uint32_t kRequestBase = 40100;  // 40100 + n sets transfer request n

  std::vector<uint32_t> commands;

 protected:
  intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    switch (msg) {
      case WMSG_ACTIVATEAPP: {
        const intptr_t r = DxDraw::DxFrame::WindowProc(msg, wParam, lParam);
        g_AppActive = IsActive() ? 1 : 0;
        return r;
      }
      case WMSG_CLOSE:
        g_QuitFlag = 1;
        return 0;
      case WMSG_CHAR:
        ReceiveChar(static_cast<uint16_t>(wParam), static_cast<uint32_t>(lParam));
        return 0;
      case WMSG_COMMAND:
        commands.push_back(static_cast<uint32_t>(wParam));
        if (wParam == kTitleCommand) g_TransferRequest = 1;
        if (wParam == kBackCommand) g_TransferRequest = 3;
        if (wParam > kRequestBase && wParam <= kRequestBase + 3) g_TransferRequest = int32_t(wParam - kRequestBase);
        return 0;
      default:
        return DxDraw::DxFrame::WindowProc(msg, wParam, lParam);
    }
  }
};

struct ViewRelease {
  void operator()(ssView* v) const {
    if (v) v->Release();
  }
};

// Advances the virtual clock by a frame's time at the end of every frame (level 15).
inline int32_t TickProc(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
  if (message == ACTMSG_RUN) {
    auto* clock = reinterpret_cast<platform::VirtualClock*>(act->m_User);
    clock->Advance(act->m_Reserved);
  }
  return 0;
}

// The engine's frame set-up over any backend: ACT levels and the matrix stack, the backend
// wired to the engine, a root group with an 800x600 screen surface shown in the main window,
// and the frame step installed. Torn down in reverse: the main window is detached before the
// wiring goes.
class FrameStack {
 public:
  FrameStack(platform::Backend& backend, DxDraw::DxFrame& main, const backends::WiringOptions& options = {})
      : m_Main(main) {
    InitACT();
    if (g_MatrixStack.Capacity() == 0) g_MatrixStack.Allocate(32);
    ResetFrameStep();  // before the wiring, which sets the frame step's window
    wiring = backends::WireBackend(backend, options);
    AddACT(15, MakeACT(FrameCounterProc, 0));
    root.reset(new DrawGroup());
    screen = new DxDraw::DxScreenSurface32();
    screen->SetSize(800, 600);
    root->AddChild(screen);
    main.SetScreen(screen);
    g_Frame.frame = &main;
    g_Frame.root = root.get();
    g_Frame.screen = screen;
    g_Frame.skipFrame = &skipFrame;
    step.Install();
  }
  FrameStack(const FrameStack&) = delete;
  FrameStack& operator=(const FrameStack&) = delete;

  ~FrameStack() {
    step.Uninstall();
    TextScript::SetMessageServices(TextScript::MessageServices{});
    KillAllACT();
    root.reset();
    ResetFrameStep();
    m_Main.Destroy();
    wiring.reset();
  }

  // False when the sound or input start failed (each has shown its box).
  bool Wired() const { return wiring != nullptr; }

  std::unique_ptr<backends::EngineWiring> wiring;
  std::unique_ptr<DrawGroup, ViewRelease> root;
  DxDraw::DxScreenSurface32* screen = nullptr;  // child of root
  int32_t skipFrame = 1;                        // fixed skip unless a test asks for the automatic one
  AppFrameStep step;

 private:
  DxDraw::DxFrame& m_Main;
};

// The frame stack on the headless backend, with a main window that has the game's menu and an
// accelerator, and a level-15 task that moves the virtual clock by a frame's time.
class HeadlessStack {
 public:
  explicit HeadlessStack(uint32_t frameMs = 16) {
    backend = platform::headless::CreateBackend();
    window = backend->hwindow;
    input = backend->hinput;
    clock = backend->vclock;

    menu = platform::Menu({platform::MenuItem::Popup(
        u"シナリオ", {platform::MenuItem::Command(TestMainWindow::kTitleCommand, u"タイトルに戻る(&X)"),
                      platform::MenuItem::Command(TestMainWindow::kBackCommand, u"少し戻る")})});
    accelerators.Add(platform::Accelerator{platform::DIK_Z, platform::kModCtrl, TestMainWindow::kBackCommand});
    main.Create(*window, u"VARN", u"Lanternfall　体験版", platform::Rect{0, 0, 800, 600}, &menu);
    window->SetCursor(platform::Point{400, 300});

    frames = std::make_unique<FrameStack>(*backend, main);
    root = frames->root.get();
    screen = frames->screen;
    ACT* tick = MakeACT(TickProc, reinterpret_cast<uintptr_t>(clock));
    tick->m_Reserved = frameMs;
    AddACT(15, tick);
    g_Frame.accelerators = &accelerators;
    g_Frame.menu = &menu;
  }

  platform::headless::HeadlessPresenter& Front() { return window->Front(); }
  int32_t& SkipFrame() { return frames->skipFrame; }

  std::unique_ptr<platform::headless::HeadlessBackend> backend;
  platform::headless::HeadlessWindow* window = nullptr;
  platform::headless::HeadlessInput* input = nullptr;
  platform::VirtualClock* clock = nullptr;
  platform::Menu menu;
  platform::AcceleratorTable accelerators;
  TestMainWindow main;
  std::unique_ptr<FrameStack> frames;           // goes before the main window and the backend
  DrawGroup* root = nullptr;                    // owned by frames
  DxDraw::DxScreenSurface32* screen = nullptr;  // child of root
};

}  // namespace varntest
