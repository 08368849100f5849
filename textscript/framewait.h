// The frame services the message display waits through: the run loop's frame step plus the
// newly pressed input word and the timed wait, supplied by the game.
#pragma once

#include <cstdint>

#include "textscript/inputbits.h"
#include "textscript/scriptframe.h"

namespace TextScript {

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
