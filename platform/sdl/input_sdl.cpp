// The SDL backend's keyboard and mouse devices.
#include <cstring>

#include "platform/sdl/sdl_internal.h"

namespace platform::sdl {

// ---- input ----

bool SdlInput::ReadKeyboard(uint8_t state[256]) {
  if (!m_Window.Focused()) return false;
  std::memset(state, 0, 256);
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  for (int sc = 0; sc < count; ++sc) {
    if (!keys[sc]) continue;
    if (const uint8_t dik = DikFromScancode(sc)) state[dik] = 0x80;
  }
  m_Window.MaskUiKeys(state);
  return true;
}

bool SdlInput::ReadMouse(MouseState& state) {
  if (!m_Window.Focused()) {
    m_HaveLast = false;
    return false;
  }
  int gx = 0, gy = 0;
  SDL_GetGlobalMouseState(&gx, &gy);
  const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
  state.dx = m_HaveLast ? gx - m_LastX : 0;
  state.dy = m_HaveLast ? gy - m_LastY : 0;
  state.dz = m_Window.TakeWheel();
  m_LastX = gx;
  m_LastY = gy;
  m_HaveLast = true;
  // A press on the menu bar or in an open menu (which lies over the picture) chooses the menu
  // item; the game must not take it for a click of its own as well.
  if (m_Window.UiHasMouse()) {
    std::memset(state.buttons, 0, sizeof state.buttons);
    return true;
  }
  state.buttons[0] = (buttons & SDL_BUTTON_LMASK) ? 0x80 : 0;
  state.buttons[1] = (buttons & SDL_BUTTON_RMASK) ? 0x80 : 0;
  state.buttons[2] = (buttons & SDL_BUTTON_MMASK) ? 0x80 : 0;
  state.buttons[3] = (buttons & SDL_BUTTON_X1MASK) ? 0x80 : 0;
  m_Window.MaskUiButtons(state.buttons);
  return true;
}

bool SdlInput::TakePresses(Presses& out) {
  out = m_Window.TakePresses();
  if (m_Window.Focused()) return true;
  out = Presses{};
  return false;
}

}  // namespace platform::sdl
