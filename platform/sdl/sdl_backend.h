// The SDL backend: window, events, presentation, keyboard and mouse, displays, message boxes,
// the Dear ImGui menu bar and dialogs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/backend.h"

namespace platform::sdl {

struct Options {
  uint32_t audioSampleRate = 44100;  // 0 = no audio device
  std::string uiFontPath;            // empty: IPA Gothic where installed, else ImGui's own font
  float uiFontSize = 16.0f;
};

// Sets the process's environment for the X display before any thread starts (the environment
// may only change while nothing else reads it). Without a compose file of the player's own
// (XCOMPOSEFILE or ~/.XCompose), Xlib's input method is given an empty one: the game's text
// fields take Japanese text, which comes through the input method, and the locale's table
// builds accented letters and symbols they do not hold, at the price of parsing half a megabyte
// at every start (30 to 40 ms here, more than the rest of SDL's video start).
void PrepareProcess();

// Null when SDL's video cannot start (no display); the reason goes to the log.
std::unique_ptr<Backend> CreateBackend(const Options& options = Options());

// Whether the font of the SDL window's menus and dialogs has a glyph for the character
// (false for other windows and before the window exists).
bool UiFontHasGlyph(Window& window, char16_t ch);

// The DirectInput key code of an SDL scancode; 0 for keys without one.
uint8_t DikFromScancode(int scancode);

// Where the client picture lands in a drawable of the given size: the largest centred
// rectangle with the client's aspect ratio (letterboxing), in whole pixels.
Rect LetterboxRect(int32_t drawableWidth, int32_t drawableHeight, int32_t clientWidth, int32_t clientHeight);
// A drawable position mapped back to client coordinates through that rectangle.
Point DrawableToClient(Point p, const Rect& box, int32_t clientWidth, int32_t clientHeight);

}  // namespace platform::sdl
