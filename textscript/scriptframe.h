// The frame step the run loop waits through, supplied by the game, and the transfer exception.
#pragma once

#include <cstdint>

// Raised by a frame when the player asked to leave the running script: 0 return to the title,
// 1 load the pending slot, 2 go back a little, 3 the message font or colour changed.
struct ScriptException {
  int32_t m_Code = 0;
};

namespace TextScript {

class IFrameStep {
 public:
  virtual ~IFrameStep() = default;
  // Lets one frame pass (pumps messages, polls input); may raise ScriptException.
  virtual void WaitFrame() = 0;
  // The held input bits of the current frame.
  virtual uint32_t HeldInput() const = 0;
};

// The frame-step slot (the null rule of every slot is in platform/service.h): until the game
// installs its frame step, and again after null is installed, it holds one that lets frames
// pass without waiting and holds no input, so a script runs to its end unattended. Returns the
// previous frame step, never null. The caller keeps ownership.
IFrameStep* SetFrameStep(IFrameStep* step);
IFrameStep* GetFrameStep();

}  // namespace TextScript
