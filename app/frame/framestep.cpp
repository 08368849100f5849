// The frame step: everything that waits runs frames through here, one at a time, in a fixed order.
#include "app/frame/framestep.h"

#include "app/frame/misc.h"
#include "dxdraw/dxdisplay.h"
#include "dxdraw/dxinput.h"
#include "dxdraw/frame.h"
#include "dxdraw/view.h"
#include "lib/act.h"
#include "lib/error.h"
#include "platform/clock.h"
#include "platform/menu.h"
#include "platform/window.h"

INPUTSTATE g_Input;

const KeyMapEntry g_KeyMap[kKeyMapEntries] = {
    {Input::kMouseLeft, INPUT_LBUTTON},    {Input::kMouseRight, INPUT_RBUTTON},
    {Input::kMouseMiddle, INPUT_MBUTTON},  {platform::DIK_UP, INPUT_UP},
    {platform::DIK_DOWN, INPUT_DOWN},      {platform::DIK_LEFT, INPUT_LEFT},
    {platform::DIK_RIGHT, INPUT_RIGHT},    {platform::DIK_NUMPAD8, INPUT_UP},
    {platform::DIK_NUMPAD2, INPUT_DOWN},   {platform::DIK_NUMPAD4, INPUT_LEFT},
    {platform::DIK_NUMPAD6, INPUT_RIGHT},  {platform::DIK_NUMPADENTER, INPUT_ENTER},
    {platform::DIK_RETURN, INPUT_ENTER},   {platform::DIK_ESCAPE, INPUT_ESC},
    {platform::DIK_NUMPAD0, INPUT_ESC},    {platform::DIK_NUMPAD1, INPUT_PAD1},
    {platform::DIK_NUMPAD3, INPUT_PAD3},   {platform::DIK_NUMPAD7, INPUT_LSHIFT},
    {platform::DIK_LSHIFT, INPUT_LSHIFT},  {platform::DIK_NUMPAD9, INPUT_RSHIFT},
    {platform::DIK_RSHIFT, INPUT_RSHIFT},  {platform::DIK_F12, INPUT_F12},
    {platform::DIK_LCONTROL, INPUT_LCTRL}, {platform::DIK_RCONTROL, INPUT_RCTRL},
};

const TEXANIM g_CursorShapes[3] = {
    {16, 16, 0, 0, {0, 0, 16, 16}, 0},
    {16, 16, 4, 0, {16, 0, 32, 16}, 0},
    {16, 16, 8, 8, {112, 0, 128, 16}, 0},
};

int32_t g_TransferRequest = 0;
int32_t g_PendingLoadSlot = 0;
int32_t g_QuitFlag = 0;
int32_t g_AppActive = 1;
int32_t g_QuitRaisedLine = 0;
bool g_TransfersCaught = true;
volatile std::sig_atomic_t g_TerminateRequested = 0;
FrameContext g_Frame;
ScriptThreadSlot g_ScriptThreads[kScriptThreadSlots];
int32_t g_CurrentScriptThread = 0;

namespace {

constexpr int32_t kScreenWidth = 800;
constexpr int32_t kScreenHeight = 600;

int32_t g_CharReceived = 0;

struct FrameCounter {
  uint64_t frequency = 0;
  uint64_t start = 0;
  uint64_t frames = 0;
} g_FrameCounter;

// The frame ticks: tick n of the current run lies n / 60 of a second after its base, in whole
// milliseconds (16, 17, 17, ...), so that a second holds exactly 60 of them.
struct FramePacing {
  bool running = false;
  uint32_t base = 0;
  uint32_t index = 0;  // the tick of the latest frame

  void Restart(uint32_t now) {
    running = true;
    base = now;
    index = 0;
  }
  uint32_t Advance() {
    if (++index == kFramesPerSecond) {
      base += 1000;
      index = 0;
    }
    return base + index * 1000 / kFramesPerSecond;
  }
} g_Pacing;

constexpr int32_t kTickMs = (1000 + kFramesPerSecond - 1) / kFramesPerSecond;

[[noreturn]] void RaiseQuit(int line) {
  g_QuitRaisedLine = line;
  ThrowException(u"main", line, 1, 0, u"Quit");
}

void DispatchOne(const platform::Event& e) {
  if (g_Frame.frame) g_Frame.frame->TranslateAndDispatch(e, g_Frame.accelerators, g_Frame.menu);
}

void CheckQuit() {
  if (g_TerminateRequested) {
    g_TerminateRequested = 0;
    g_QuitFlag = 1;
  }
  if (g_QuitFlag) {
    g_QuitFlag = 0;
    RaiseQuit(295);
  }
}

// Events that the frame must answer at once: a press, not the keyboard's repeat of a held key.
bool IsPress(const platform::Event& e) {
  return e.type == platform::EventType::MouseDown || (e.type == platform::EventType::KeyDown && !e.repeat);
}

}  // namespace

void ReceiveChar(uint16_t ch, uint32_t data) {
  g_Input.lastChar = ch;
  g_Input.lastCharData = data;
  g_CharReceived = 1;
}

void PumpMessages() {
  platform::Window* window = g_Frame.window;
  for (;;) {
    if (window) {
      platform::Event e;
      while (window->PollEvent(e)) {
        DispatchOne(e);
        CheckQuit();
      }
    }
    CheckQuit();
    // While another application is active the game stands still; paint, activation and menu
    // commands are still handled. A window that is gone cannot become active again.
    if (g_AppActive || !window || !window->IsAlive()) return;
    platform::Event e;
    if (window->WaitEvent(e, 100)) {
      DispatchOne(e);
      CheckQuit();
    }
  }
}

void PollInput(INPUTSTATE* record) {
  Input::Update();
  record->held = record->pressed = record->released = record->repeat = 0;
  for (const KeyMapEntry& entry : g_KeyMap) {
    if (Input::IsDown(entry.key)) record->held |= entry.bit;
    if (Input::IsPressed(entry.key)) record->pressed |= entry.bit;
    if (Input::IsReleased(entry.key)) record->released |= entry.bit;
    if (Input::IsRepeat(entry.key)) record->repeat |= entry.bit;
  }
  bool inside = false;
  if (g_Frame.window) {
    const platform::Point p = g_Frame.window->CursorPos();
    inside = p.x >= 0 && p.x < kScreenWidth && p.y >= 0 && p.y < kScreenHeight;
    if (inside) {
      record->x = p.x;
      record->y = p.y;
    }
  }
  int32_t dx = 0, dy = 0, dz = 0;
  Input::GetMouseDelta(&dx, &dy, &dz);
  record->wheel = dz;
  // Buttons pressed outside the client area belong to another window (the title bar, the
  // desktop); releases still count so that nothing stays held.
  if (!inside) {
    record->held &= ~INPUT_MASK_MOUSE;
    record->pressed &= ~INPUT_MASK_MOUSE;
    record->repeat &= ~INPUT_MASK_MOUSE;
  }
  if (g_CharReceived) {
    record->held |= INPUT_CHAR;
    g_CharReceived = 0;
  }
}

void RunFrame() {
  DxDraw::DrawTarget target;
  target.display = g_Frame.display;
  if (g_Frame.display && g_Frame.display->GetPresenter())
    target.window = g_Frame.display->GetPresenter();
  else if (g_Frame.window)
    target.window = &g_Frame.window->GetPresenter();

  PumpMessages();

  if (g_TransferRequest >= 1 && g_TransferRequest <= 3) {
    const int32_t code = g_TransferRequest - 1;
    g_TransferRequest = 0;
    if (g_TransfersCaught) throw ScriptException{code};
  }

  PollInput(&g_Input);
  if (g_Input.held & INPUT_F12) RaiseQuit(329);

  RunACTLevels(0, 0);
  RunACTLevels(1, 1);
  if (g_Frame.root) g_Frame.root->Update();
  RunACTLevels(2, 2);

  const uint32_t start = platform::TimeMs();
  if (g_Frame.root) g_Frame.root->Draw(&target);
  DxDraw::DxScreenSurface* screen = g_Frame.screen;
  const int32_t skipSetting = g_Frame.skipFrame ? *g_Frame.skipFrame : 0;
  if (screen && skipSetting == 0 && screen->m_SkipFrames == screen->m_SkipCount) {
    // The render time in 60 Hz frames is skipped after it, but never so many that one stall
    // (a dialog, a debugger, a swapped-out process) stops the picture for seconds.
    uint32_t skip = (platform::TimeMs() - start) / 16;
    if (skip > kMaxAutoSkipFrames) skip = kMaxAutoSkipFrames;
    screen->m_SkipFrames = screen->m_SkipCount = skip;
  }
  RunACTLevels(3, 4);

  RunACTLevels(5, 14);
  RunACTLevels(15, 15);
}

void WaitFrameTick() {
  const uint32_t now = platform::TimeMs();
  if (!g_Pacing.running) {
    g_Pacing.Restart(now);
    return;
  }
  const uint32_t tick = g_Pacing.Advance();
  if (int32_t(now - tick) >= kTickMs) {
    g_Pacing.Restart(now);
    return;
  }
  for (;;) {
    const int32_t remaining = int32_t(tick - platform::TimeMs());
    if (remaining <= 0) return;
    platform::Window* window = g_Frame.window;
    if (!window || !window->IsAlive()) {
      platform::SleepMs(uint32_t(remaining));
      continue;
    }
    platform::Event e;
    if (!window->WaitEvent(e, uint32_t(remaining))) continue;
    DispatchOne(e);
    CheckQuit();
    if (IsPress(e) || g_TransferRequest != 0) {
      g_Pacing.Restart(platform::TimeMs());
      return;
    }
  }
}

void WaitFrame() {
  if (YieldScriptThread()) {
    WaitFrameTick();
    RunFrame();
  } else {
    platform::SleepMs(0);
  }
}

int YieldScriptThread() {
  if (g_CurrentScriptThread == 0) {
    // No thread can be registered, so there is never one to hand the frame to; a slot left
    // over from elsewhere is freed.
    for (ScriptThreadSlot& slot : g_ScriptThreads) {
      if (slot.thread) slot = ScriptThreadSlot{};
    }
    g_CurrentScriptThread = 0;
    return 1;
  }
  ScriptThreadSlot& slot = g_ScriptThreads[(g_CurrentScriptThread - 1) & (kScriptThreadSlots - 1)];
  if (slot.request == 3) {
    slot.request = 0;
    throw ScriptException{3};
  }
  slot.running = 0;
  return 0;
}

void ResetScriptThreads() {
  for (ScriptThreadSlot& slot : g_ScriptThreads) slot = ScriptThreadSlot{};
  g_CurrentScriptThread = 0;
}

int32_t FrameCounterProc(ACT* act, uint32_t message, uintptr_t a, uintptr_t b) {
  (void)act;
  (void)a;
  (void)b;
  if (message == ACTMSG_CREATE) {
    g_FrameCounter.frequency = platform::PerfFrequency();
    g_FrameCounter.start = platform::PerfCounter();
    g_FrameCounter.frames = 0;
  } else if (message == ACTMSG_RUN) {
    ++g_FrameCounter.frames;
  }
  return 0;
}

uint64_t GetFrameCount() {
  return g_FrameCounter.frames;
}
void ResetFrameCounter() {
  g_FrameCounter = FrameCounter{};
}

void AppFrameStep::WaitFrame() {
  ::WaitFrame();
}
uint32_t AppFrameStep::HeldInput() const {
  return g_Input.held;
}
uint32_t AppFrameStep::PressedInput() const {
  return g_Input.pressed;
}
uint32_t AppFrameStep::WaitTime(uint32_t ms, uint32_t flags) {
  return ::WaitTime(ms, flags);
}

void AppFrameStep::Install() {
  TextScript::SetFrameStep(this);
  TextScript::SetMessageFrame(this);
}

void AppFrameStep::Uninstall() {
  if (TextScript::IMessageFrame* previous = TextScript::SetMessageFrame(nullptr); previous != this)
    TextScript::SetMessageFrame(previous);
  if (TextScript::GetFrameStep() == this) TextScript::SetFrameStep(nullptr);
}

void ResetFrameStep() {
  g_Input = INPUTSTATE{};
  g_QuitRaisedLine = 0;
  g_CharReceived = 0;
  g_TransferRequest = 0;
  g_PendingLoadSlot = 0;
  g_QuitFlag = 0;
  g_AppActive = 1;
  g_TransfersCaught = true;
  g_Frame = FrameContext{};
  ResetScriptThreads();
  ResetFrameCounter();
  g_Pacing = FramePacing{};
}
