// The SDL backend's events: SDL events turned into the window's queued events, the pump and
// the waits.
#include <imgui.h>
#include <imgui_impl_sdl.h>

#include <algorithm>

#include "platform/sdl/sdl_internal.h"
#include "platform/utf.h"

namespace platform::sdl {

namespace {

// Quiet waits after which SDL's queue is read all the same (six frames: a tenth of a second).
constexpr int kQuietWaits = 6;

// The device's button slot (left, right, middle, fourth) of SDL's left, middle, right and X1.
constexpr int kButtonSlot[] = {0, 2, 1, 3};

}  // namespace

// ---- events ----

void SdlWindow::HandleSdlEvent(const SDL_Event& e, bool modal) {
  if (!m_Window.get()) return;
  {
    ImGuiScope scope(m_ImGui.get());
    ImGui_ImplSDL2_ProcessEvent(&e);
  }
  bool imguiMouse = false, imguiKeys = false;
  {
    ImGuiScope scope(m_ImGui.get());
    imguiMouse = ImGui::GetIO().WantCaptureMouse;
    imguiKeys = ImGui::GetIO().WantCaptureKeyboard;
  }
  m_UiMouse = imguiMouse;
  const uint32_t ourId = SDL_GetWindowID(m_Window.get());
  Event out;
  switch (e.type) {
    case SDL_QUIT:
      if (modal)
        m_CloseWhileModal = true;
      else
        out.type = EventType::CloseRequest;
      break;
    case SDL_WINDOWEVENT:
      if (e.window.windowID != ourId) break;
      m_Dirty = true;  // shown, moved, sized, entered, left: the frame is drawn again
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          out.type = EventType::Activate;
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          out.type = EventType::Deactivate;
          m_Presses = Presses{};  // the devices are lost with the focus, and their presses too
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          out.type = EventType::Expose;
          out.rect = Rect{0, 0, m_ClientW, m_ClientH};
          m_Dirty = true;
          break;
        case SDL_WINDOWEVENT_CLOSE:
          if (modal)
            m_CloseWhileModal = true;  // asked once the dialog is closed
          else
            out.type = EventType::CloseRequest;
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
          m_Dirty = true;
          break;
        case SDL_WINDOWEVENT_LEAVE: {
          out.type = EventType::MouseMove;
          out.pos = CursorPos();
          break;
        }
        default:
          break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (e.type == SDL_KEYUP)
        if (const uint8_t dik = DikFromScancode(e.key.keysym.scancode)) m_UiHeld.keys[dik] = 0;
      if (modal || imguiKeys) {
        m_Dirty = true;
        break;
      }
      if (const uint8_t dik = DikFromScancode(e.key.keysym.scancode)) {
        out.type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
        out.key = dik;
        out.repeat = e.key.repeat != 0;
        // A press shorter than a frame is gone from the keyboard state by the next read.
        if (e.type == SDL_KEYDOWN && !out.repeat) m_Presses.keys[dik] = 0x80;
        const uint16_t mod = e.key.keysym.mod;
        out.modifiers = ((mod & KMOD_SHIFT) ? uint32_t(kModShift) : 0u) |
                        ((mod & KMOD_CTRL) ? uint32_t(kModCtrl) : 0u) | ((mod & KMOD_ALT) ? uint32_t(kModAlt) : 0u);
      }
      break;
    case SDL_TEXTINPUT:
      NoteText(e.text.text);
      if (modal || imguiKeys) {
        m_Dirty = true;
        break;
      }
      for (char16_t u : Utf8ToWide(e.text.text)) {
        Event c;
        c.type = EventType::Char;
        c.ch = u;
        m_Queue.push_back(c);
      }
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.windowID != ourId) break;
      ApplyCursor();
      if (modal || imguiMouse || OverMenuStrip(e.motion.y)) {
        m_Dirty = true;
        break;
      }
      out.type = EventType::MouseMove;
      out.pos = WindowToClient(e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.windowID != ourId) break;
      if (e.type == SDL_MOUSEBUTTONUP && e.button.button >= SDL_BUTTON_LEFT && e.button.button <= SDL_BUTTON_X1)
        m_UiHeld.buttons[kButtonSlot[e.button.button - SDL_BUTTON_LEFT]] = 0;
      if (modal || imguiMouse || OverMenuStrip(e.button.y)) {
        m_Dirty = true;
        break;
      }
      // A click shorter than a frame is gone from the mouse state by the next read. Clicks on
      // a window in the background reach no device.
      if (e.type == SDL_MOUSEBUTTONDOWN && Focused() && e.button.button >= SDL_BUTTON_LEFT &&
          e.button.button <= SDL_BUTTON_X1) {
        m_Presses.buttons[kButtonSlot[e.button.button - SDL_BUTTON_LEFT]] = 0x80;
      }
      if (e.button.button == SDL_BUTTON_LEFT || e.button.button == SDL_BUTTON_RIGHT ||
          e.button.button == SDL_BUTTON_MIDDLE) {
        out.type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp;
        out.button = e.button.button == SDL_BUTTON_LEFT ? 0 : e.button.button == SDL_BUTTON_RIGHT ? 1 : 2;
        out.pos = WindowToClient(e.button.x, e.button.y);
      }
      break;
    case SDL_MOUSEWHEEL:
      if (modal || imguiMouse) {
        m_Dirty = true;
        break;
      }
      // One notch is 120, as the classic wheel reports it. The devices count movement only
      // while the window has the focus: turns made over it in the background are not handed
      // to the game when it comes back.
      if (Focused()) m_Wheel += e.wheel.y * 120;
      out.type = EventType::MouseWheel;
      out.wheel = e.wheel.y * 120;
      break;
    default:
      break;
  }
  if (out.type != EventType::None) m_Queue.push_back(out);
}

void SdlWindow::Drain() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) HandleSdlEvent(e, false);
}

bool SdlWindow::PollEvent(Event& out) {
  if (!m_Window.get()) return false;
  // A wait that has just timed out read the display's queue as its last step: the frame that
  // follows it does not read it again at once.
  const bool justRead = m_WaitedEmpty;
  m_WaitedEmpty = false;
  if (m_Queue.empty()) {
    if (!justRead) Drain();
    if (m_Dirty) Render();
  }
  if (m_Queue.empty()) return false;
  out = m_Queue.front();
  m_Queue.pop_front();
  return true;
}

bool SdlWindow::WaitEvent(Event& out, uint32_t timeoutMs) {
  if (!m_Window.get()) return false;
  if (m_Queue.empty()) {
    if (m_Dirty) Render();
    if (m_XDisplay) {
      // On X the connection itself is waited on, and SDL's queue read when something came: SDL's
      // own timed wait reads the display's queue three times around its wait, in every frame of
      // a paced game. A quiet connection is still read every few frames, for what SDL itself
      // has put off (a focus change it settles after a moment, a signal's quit event).
      const uint32_t until = SDL_GetTicks() + timeoutMs;
      for (;;) {
        const int32_t left = int32_t(until - SDL_GetTicks());
        const bool came =
            left <= 0 || SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) || WaitForX(m_XDisplay, left, m_XChecked);
        if (came || ++m_QuietWaits >= kQuietWaits) {
          m_QuietWaits = 0;
          Drain();
        }
        if (m_Dirty) Render();
        if (!m_Queue.empty()) break;
        if (int32_t(until - SDL_GetTicks()) <= 0) {
          m_WaitedEmpty = true;
          return false;
        }
      }
    } else {
      SDL_Event e;
      if (SDL_WaitEventTimeout(&e, int(std::min<uint32_t>(timeoutMs, 0x7FFFFFFF)))) {
        HandleSdlEvent(e, false);
        Drain();
        if (m_Dirty) Render();
      }
      if (m_Queue.empty()) {
        m_WaitedEmpty = true;
        return false;
      }
    }
  }
  m_WaitedEmpty = false;
  return PollEvent(out);
}

bool SdlWindow::EnterModal() {
  const bool was = m_Modal;
  m_Modal = true;
  return was;
}

void SdlWindow::LeaveModal(bool wasModal) {
  m_Modal = wasModal;
  if (wasModal) return;
  ApplyCursor();  // the dialog's cursor goes where the game hides its own
  // The key or button that closed the dialog is down still, and the game's next read would take
  // it for a press of its own (an Escape that hides the message window, an Enter that turns the
  // page). What is held now belongs to the dialog until it goes up.
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  for (int sc = 0; sc < count; ++sc)
    if (keys[sc])
      if (const uint8_t dik = DikFromScancode(sc)) m_UiHeld.keys[dik] = 0x80;
  const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
  for (int b = SDL_BUTTON_LEFT; b <= SDL_BUTTON_X1; ++b)
    if (buttons & SDL_BUTTON(b)) m_UiHeld.buttons[kButtonSlot[b - SDL_BUTTON_LEFT]] = 0x80;
  if (!m_CloseWhileModal) return;
  m_CloseWhileModal = false;
  Event e;
  e.type = EventType::CloseRequest;
  m_Queue.push_back(e);
}

namespace {

// Reports each held entry as up while it is still down, and forgets it once it is released.
void MaskHeld(uint8_t* state, uint8_t* held, int count) {
  for (int i = 0; i < count; ++i) {
    if (!held[i]) continue;
    if (state[i])
      state[i] = 0;
    else
      held[i] = 0;
  }
}

}  // namespace

void SdlWindow::MaskUiKeys(uint8_t state[256]) {
  MaskHeld(state, m_UiHeld.keys, 256);
}

void SdlWindow::MaskUiButtons(uint8_t buttons[4]) {
  MaskHeld(buttons, m_UiHeld.buttons, 4);
}

}  // namespace platform::sdl
