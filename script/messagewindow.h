// The game's message window: the text window with a bar of five image buttons at its right edge.
#pragma once

#include <cstdint>

#include "dxdraw/sprite.h"
#include "platform/geometry.h"
#include "textscript/messwindow.h"

// The window's size, its place in the scene and its margins, as the scene builds it.
constexpr int32_t kMessageWindowWidth = 800;
constexpr int32_t kMessageWindowHeight = 200;
constexpr int32_t kMessageWindowY = 400;
constexpr int32_t kMessageMarginLeft = 8, kMessageMarginRight = 24, kMessageMarginTop = 44, kMessageMarginBottom = 16;
// The message font's height and the spacing between its lines.
constexpr int32_t kMessageFontHeight = 32;
constexpr int32_t kMessageLineSpacing = 3;

// The buttons of the bar, top to bottom.
enum MessageButton : int32_t {
  MBUTTON_BACKLOG = 0,
  MBUTTON_SKIP = 1,
  MBUTTON_AUTO = 2,
  MBUTTON_QUICKSAVE = 3,
  MBUTTON_QUICKLOAD = 4,
};
constexpr int kMessageButtons = 5;

// A button's level while the cursor is over it or its mode is on, and otherwise.
constexpr uint32_t kButtonLit = 0xFF;
constexpr uint32_t kButtonDimmed = 0x80;

// The buttons' frames: one 48 x 24 row each of the column x 752..800, y 288..408 of "SYSTEM".
extern const DxDraw::FrameRecord g_MessageButtonFrames[kMessageButtons];

class MessageWindow : public TextScript::DxMessWindow {
 public:
  // The window parameters go unchanged to the text window. The buttons show parts of
  // systemImage (the "SYSTEM" picture, not owned: it outlives every scene).
  MessageWindow(DxDraw::DxSurface* systemImage, int32_t width, int32_t height, int32_t left, int32_t right, int32_t top,
                int32_t bottom);

  // The time each character waits at normal text speed, in milliseconds.
  uint32_t GetCharDelay() const { return m_GameWord0; }
  void SetCharDelay(uint32_t ms) { m_GameWord0 = ms; }

  // Children of the window (released with it), dimmed at first.
  DxDraw::DxSprite* m_pButtons[kMessageButtons] = {};
  // Where the buttons are on the screen while the window stands at y 400.
  platform::Rect m_ButtonRects[kMessageButtons];
};
