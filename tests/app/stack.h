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

    InitACT();
    if (g_MatrixStack.Capacity() == 0) g_MatrixStack.Allocate(32);
    ResetFrameStep();
    wiring = backends::WireBackend(*backend);
    ACT* counter = MakeACT(FrameCounterProc, 0);
    AddACT(15, counter);
    ACT* tick = MakeACT(TickProc, reinterpret_cast<uintptr_t>(clock));
    tick->m_Reserved = frameMs;
    AddACT(15, tick);

    root.reset(new DrawGroup());
    screen = new DxDraw::DxScreenSurface32();
    screen->SetSize(800, 600);
    root->AddChild(screen);
    main.SetScreen(screen);

    g_Frame.frame = &main;
    g_Frame.accelerators = &accelerators;
    g_Frame.menu = &menu;
    g_Frame.root = root.get();
    g_Frame.screen = screen;
    g_Frame.skipFrame = &skipFrame;
    step.Install();
  }

  ~HeadlessStack() {
    step.Uninstall();
    TextScript::SetMessageServices(TextScript::MessageServices{});
    KillAllACT();
    root.reset();
    ResetFrameStep();
    main.Destroy();
    wiring.reset();
  }

  platform::headless::HeadlessPresenter& Front() { return window->Front(); }

  std::unique_ptr<platform::headless::HeadlessBackend> backend;
  std::unique_ptr<backends::EngineWiring> wiring;  // goes before the backend
  platform::headless::HeadlessWindow* window = nullptr;
  platform::headless::HeadlessInput* input = nullptr;
  platform::VirtualClock* clock = nullptr;
  platform::Menu menu;
  platform::AcceleratorTable accelerators;
  TestMainWindow main;
  std::unique_ptr<DrawGroup, ViewRelease> root;
  DxDraw::DxScreenSurface32* screen = nullptr;  // child of root
  int32_t skipFrame = 1;                        // fixed skip unless a test asks for the automatic one
  AppFrameStep step;
};

}  // namespace varntest
