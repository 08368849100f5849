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

// The message-frame slot (the null rule of every slot is in platform/service.h). It has no
// default: the display's waits are there for the player, and without frames they could only
// end at once, the text and the window's effects racing past unseen. GetMessageFrame raises
// platform::MissingServiceError while none is installed and never returns null. SetMessageFrame
// installs one (not owned; null empties the slot) and returns the previous one.
IMessageFrame* SetMessageFrame(IMessageFrame* frame);
IMessageFrame* GetMessageFrame();

}  // namespace TextScript
