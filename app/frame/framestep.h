// The frame step: one frame of window messages, control transfers, input, ACT levels, update and
// render; the game's input record; the cooperative script-thread table; the frame counter task.
#pragma once

#include <csignal>
#include <cstdint>

#include "dxdraw/screen.h"
#include "textscript/framewait.h"
#include "textscript/inputbits.h"
#include "textscript/scriptframe.h"

struct ACT;
class ssView;
class TWindow;

namespace platform {
class Window;
class Menu;
class AcceleratorTable;
}  // namespace platform

namespace DxDraw {
class DxScreen;
}

// The game input record, rewritten by every frame's poll.
struct INPUTSTATE {
  uint32_t held = 0;
  uint32_t pressed = 0;
  uint32_t released = 0;
  uint32_t repeat = 0;
  uint16_t lastChar = 0;
  uint32_t lastCharData = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t wheel = 0;
};

extern INPUTSTATE g_Input;

// One entry of the key map: a key index of the input module (DirectInput code, or 0x100 + mouse
// button) and the bit it sets.
struct KeyMapEntry {
  uint16_t key;
  uint32_t bit;
};
constexpr int kKeyMapEntries = 24;
extern const KeyMapEntry g_KeyMap[kKeyMapEntries];

// Control transfers: 0 none, 1 return to the title, 2 load the pending slot, 3 go back a little.
extern int32_t g_TransferRequest;
extern int32_t g_PendingLoadSlot;
// Set when the player confirmed closing the window; the next pump raises the quit error.
extern int32_t g_QuitFlag;
// The line of the latest quit error a frame raised (0: none since it was last cleared), so that
// a caller whose callee absorbs the quit can raise it again.
extern int32_t g_QuitRaisedLine;
// 1 while the application is active; the pump holds the game still otherwise.
extern int32_t g_AppActive;
// Set by the termination signal (a desktop's log-out): the next pump quits as after a confirmed
// close, active or not.
extern volatile std::sig_atomic_t g_TerminateRequested;
// Whether something up the stack catches a transfer (a scenario run, its title and screens). Where
// nothing does (the brand logo, between runs) the frame drops a request instead of raising it.
extern bool g_TransfersCaught;

// A typed character from the window (its WM_CHAR): stored in the input record and flagged for
// the next poll.
void ReceiveChar(uint16_t ch, uint32_t data);

// What a frame works on; filled by start-up, none of it owned.
struct FrameContext {
  TWindow* frame = nullptr;            // receives the dispatched window events
  platform::Window* window = nullptr;  // the event queue and the cursor
  const platform::AcceleratorTable* accelerators = nullptr;
  const platform::Menu* menu = nullptr;
  ssView* root = nullptr;                     // the root group: update and render passes
  DxDraw::DxScreenSurface* screen = nullptr;  // its frame-skip fields
  DxDraw::DxScreen* display = nullptr;
  const int32_t* skipFrame = nullptr;  // the "SkipFrame" setting; null counts as 0 (automatic)
};
extern FrameContext g_Frame;

// The longest run of renders the automatic frame skip leaves out after one slow frame.
constexpr uint32_t kMaxAutoSkipFrames = 4;

// Frames run at the display's usual rate, paced on the platform clock.
constexpr uint32_t kFramesPerSecond = 60;

// Lets one frame pass (on the main thread: the wait for the frame's tick, then RunFrame).
void WaitFrame();
// Waits until the next frame tick, pumping the window's events meanwhile. A button or key press
// (not the keyboard's auto-repeat), a control transfer or a quit request ends the wait at once
// and the ticks start again from there, so an answer to a press is not held back to the tick; a
// frame a whole tick late starts them again too, so no burst of frames follows a stall. The first
// wait after ResetFrameStep does not wait.
void WaitFrameTick();
// One frame: pump, transfer request, input, ACT levels, update, render, frame skip.
void RunFrame();
// Dispatches every queued window event; raises the quit error when the quit flag is set; waits
// for events while the application is inactive.
void PumpMessages();
void PollInput(INPUTSTATE* record);

// The software cursor shapes (arrow, pointing hand, wait) in the "SYSTEM" picture: width, height,
// hot spot and source rectangle, as a frame record.
using TEXANIM = DxDraw::FrameRecord;
extern const TEXANIM g_CursorShapes[3];

// The cooperative thread table. Nothing in the game creates a script thread, so the main thread
// always runs the frame.
struct ScriptThreadSlot {
  void* thread = nullptr;
  int32_t request = 0;  // 2 end the thread, 3 raise ScriptException 3 in it
  int32_t running = 0;
};
constexpr int kScriptThreadSlots = 16;
extern ScriptThreadSlot g_ScriptThreads[kScriptThreadSlots];
extern int32_t g_CurrentScriptThread;  // 0 = the main thread
int YieldScriptThread();
void ResetScriptThreads();

// The level-15 task that counts frames.
int32_t FrameCounterProc(ACT* act, uint32_t message, uintptr_t a, uintptr_t b);
uint64_t GetFrameCount();
void ResetFrameCounter();

// The frame step as the script runtime and the message display see it; Install makes it theirs.
class AppFrameStep : public TextScript::IMessageFrame {
 public:
  void WaitFrame() override;
  uint32_t HeldInput() const override;
  uint32_t PressedInput() const override;
  uint32_t WaitTime(uint32_t ms, uint32_t flags) override;

  void Install();
  void Uninstall();
};

// Back to the state before start-up: input record, flags, thread table, frame context (tests).
void ResetFrameStep();
