// SDL scancodes to DirectInput key codes, and the letterbox geometry of full screen.
#include <SDL.h>

#include <array>
#include <cmath>

#include "platform/input.h"
#include "platform/sdl/sdl_backend.h"

namespace platform::sdl {

namespace {

struct KeyPair {
  SDL_Scancode scancode;
  uint8_t dik;
};

constexpr KeyPair kKeys[] = {
    {SDL_SCANCODE_A, DIK_A},
    {SDL_SCANCODE_B, DIK_B},
    {SDL_SCANCODE_C, DIK_C},
    {SDL_SCANCODE_D, DIK_D},
    {SDL_SCANCODE_E, DIK_E},
    {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G},
    {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_J, DIK_J},
    {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L},
    {SDL_SCANCODE_M, DIK_M},
    {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_O, DIK_O},
    {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_Q, DIK_Q},
    {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_S, DIK_S},
    {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_U, DIK_U},
    {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_W, DIK_W},
    {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_Y, DIK_Y},
    {SDL_SCANCODE_Z, DIK_Z},
    {SDL_SCANCODE_1, DIK_1},
    {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3},
    {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5},
    {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7},
    {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9},
    {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_SPACE, DIK_SPACE},
    {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH},
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1},
    {SDL_SCANCODE_F2, DIK_F2},
    {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5},
    {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7},
    {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10},
    {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE},
    {SDL_SCANCODE_INSERT, DIK_INSERT},
    {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_DELETE, DIK_DELETE},
    {SDL_SCANCODE_END, DIK_END},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
    {SDL_SCANCODE_APPLICATION, DIK_APPS},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
    {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_INTERNATIONAL1, 0x73},
    {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN},
    {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT},
    {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
};

std::array<uint8_t, SDL_NUM_SCANCODES> BuildTable() {
  std::array<uint8_t, SDL_NUM_SCANCODES> t{};
  for (const KeyPair& k : kKeys) t[size_t(k.scancode)] = k.dik;
  return t;
}

}  // namespace

uint8_t DikFromScancode(int scancode) {
  static const std::array<uint8_t, SDL_NUM_SCANCODES> table = BuildTable();
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  return table[size_t(scancode)];
}

Rect LetterboxRect(int32_t dw, int32_t dh, int32_t cw, int32_t ch) {
  if (dw <= 0 || dh <= 0 || cw <= 0 || ch <= 0) return Rect{};
  // Wider than the client's ratio: bars left and right; otherwise above and below.
  int32_t w, h;
  if (int64_t(dw) * ch > int64_t(dh) * cw) {
    h = dh;
    w = int32_t(int64_t(dh) * cw / ch);
  } else {
    w = dw;
    h = int32_t(int64_t(dw) * ch / cw);
  }
  const int32_t x = (dw - w) / 2, y = (dh - h) / 2;
  return Rect{x, y, x + w, y + h};
}

Point DrawableToClient(Point p, const Rect& box, int32_t cw, int32_t ch) {
  if (box.IsEmpty()) return Point{-1, -1};
  const auto map = [](int32_t v, int32_t origin, int32_t extent, int32_t client) {
    return int32_t(std::floor(double(v - origin) * client / extent));
  };
  return Point{map(p.x, box.left, box.Width(), cw), map(p.y, box.top, box.Height(), ch)};
}

}  // namespace platform::sdl
