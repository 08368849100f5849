// The bits of the game's input words (held, pressed, released, repeat), written once for every
// reader: the run loop, the message display, the frame step and the game's commands and screens.
#pragma once

#include <cstdint>

enum : uint32_t {
  INPUT_UP = 0x1,
  INPUT_DOWN = 0x2,
  INPUT_LEFT = 0x4,
  INPUT_RIGHT = 0x8,
  INPUT_ENTER = 0x10,
  INPUT_ESC = 0x20,  // also keypad 0
  INPUT_PAD1 = 0x40,
  INPUT_PAD3 = 0x80,
  INPUT_LBUTTON = 0x1000,
  INPUT_RBUTTON = 0x2000,
  INPUT_MBUTTON = 0x4000,
  INPUT_LSHIFT = 0x10000,  // also keypad 7
  INPUT_RSHIFT = 0x20000,  // also keypad 9
  INPUT_LCTRL = 0x40000,
  INPUT_RCTRL = 0x80000,
  INPUT_F12 = 0x10000000,
  INPUT_CHAR = 0x40000000,  // a character was typed (held word only)

  INPUT_MASK_CLICK = 0x3030,        // a click or confirm: left or right button, Enter, Esc
  INPUT_MASK_CLICK_ENTER = 0x1030,  // left button, Enter, Esc: what advances a finished message
  INPUT_MASK_CTRL = 0xC0000,        // either Ctrl: the message view reveals without pauses
  INPUT_MASK_MOUSE = 0x7000,        // the three buttons
  INPUT_MASK_QUIT = 0x10000000,     // F12

  // The two skip masks differ on purpose. The message view skips while the right button or
  // either Shift is held; the run loop cuts a page-end wait short only for left Shift or left
  // Ctrl, so a right click that dismisses a page is not also taken as a skip of the next one.
  INPUT_MASK_SKIP = 0x32000,      // the message view's skip
  INPUT_MASK_RUN_SKIP = 0x50000,  // the run loop's skip
};
