// The frame services the message display waits through: the run loop's frame step plus the
// newly pressed input word and the timed wait, supplied by the game.
#pragma once

#include <cstdint>

#include "textscript/framestep.h"

namespace TextScript {

// Input bits the message display tests (the game's input word).
constexpr uint32_t kInputClick = 0x3030;       // left or right button, Enter, Esc
constexpr uint32_t kInputClickEnter = 0x1030;  // left button, Enter, Esc
constexpr uint32_t kInputSkipHeld = 0x32000;   // right button or either Shift
constexpr uint32_t kInputCtrlHeld = 0xC0000;   // either Ctrl: reveal without pauses

class IMessageFrame : public IFrameStep {
 public:
  // The bits that went down in the current frame.
  virtual uint32_t PressedInput() const = 0;
  // Lets at least one frame pass and up to `ms` milliseconds; flag 1 ends it on a click or
  // confirm, flag 2 while skip is held. The input word that ended it, or 0 when the time ran out.
  virtual uint32_t WaitTime(uint32_t ms, uint32_t flags) = 0;
};

// Installs the frame the message display waits through (not owned; null = none, so waits end
// at once and no input is seen). Returns the previous one.
IMessageFrame* SetMessageFrame(IMessageFrame* frame);
IMessageFrame* GetMessageFrame();

}  // namespace TextScript
