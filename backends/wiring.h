// A backend's services connected to the engine's modules: message boxes, clock and glyphs made
// the process-wide ones, the sound layer on its audio device, the input module on its keyboard,
// mouse and window, and its window as the frame step's; undone in reverse when the wiring goes.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/backend.h"
#include "sound/sound.h"

namespace platform {
class GlyphSource;
}

namespace backends {

struct WiringOptions {
  platform::GlyphSource* glyphs = nullptr;  // in place of the backend's own (not owned); null: the backend's
  const SoundConfig* sound = nullptr;       // null: the sound layer is not started
  float repeatInterval = 1.0f / 60.0f;      // seconds between the input module's repeat ticks
};

class EngineWiring {
 public:
  ~EngineWiring();
  EngineWiring(const EngineWiring&) = delete;
  EngineWiring& operator=(const EngineWiring&) = delete;

  platform::Backend& Backend() const { return m_Backend; }

 private:
  friend std::unique_ptr<EngineWiring> WireBackend(platform::Backend& backend, const WiringOptions& options);
  explicit EngineWiring(platform::Backend& backend) : m_Backend(backend) {}

  platform::Backend& m_Backend;
  bool m_Installed = false;  // the wiring installed the backend (it was not installed before)
  bool m_GlyphsReplaced = false;
  platform::GlyphSource* m_PrevGlyphs = nullptr;
  bool m_SoundStarted = false;
  bool m_InputStarted = false;
};

// Connects the backend, in start-up's order: message boxes, clock and glyphs; sound (when asked
// for); input. Call it after the game's window is created on the backend's window and after the
// frame step is reset (the reset clears the frame step's window). A backend installed before
// stays installed afterwards. Null when the sound or the input start fails (each has shown its
// own box); what was connected by then is disconnected again.
std::unique_ptr<EngineWiring> WireBackend(platform::Backend& backend, const WiringOptions& options = {});

}  // namespace backends
