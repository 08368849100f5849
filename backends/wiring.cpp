// The wiring of a backend to the engine's modules and its undoing.
#include "backends/wiring.h"

#include "app/frame/framestep.h"
#include "dxdraw/dxinput.h"
#include "platform/glyphs.h"

namespace backends {

std::unique_ptr<EngineWiring> WireBackend(platform::Backend& backend, const WiringOptions& options) {
  std::unique_ptr<EngineWiring> wiring(new EngineWiring(backend));
  wiring->m_Installed = !backend.Installed();
  backend.Install();
  if (options.glyphs) {
    wiring->m_PrevGlyphs = platform::SetGlyphSource(options.glyphs);
    wiring->m_GlyphsReplaced = true;
  }
  if (options.sound) {
    wiring->m_SoundStarted = true;  // Finalize undoes a failed start as well
    if (Sound::Initialize(backend.audio, options.sound) != 0) return nullptr;
  }
  InputConfig input;
  input.device = backend.input.get();
  input.window = backend.window.get();
  input.repeatInterval = options.repeatInterval;
  if (Input::Initialize(input) != 1) return nullptr;
  wiring->m_InputStarted = true;
  g_Frame.window = backend.window.get();
  return wiring;
}

EngineWiring::~EngineWiring() {
  if (g_Frame.window == m_Backend.window.get()) g_Frame.window = nullptr;
  if (m_InputStarted) Input::Finalize();
  if (m_SoundStarted) Sound::Finalize();
  if (m_GlyphsReplaced) platform::SetGlyphSource(m_PrevGlyphs);
  if (m_Installed) m_Backend.Uninstall();
}

}  // namespace backends
