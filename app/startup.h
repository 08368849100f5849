// The program's spine: the single-instance test, the window, the devices, the game data and the
// scenario loop, as four nested operations that each release what they made on every way out.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/sound.h"

struct IArchive;
namespace platform {
struct Backend;
}
namespace DxDraw {
class DxSurface;
}

// What the program runs on, given by its entry point: the backend and its connection to the
// engine's sound and input.
class StartupHost {
 public:
  // A connection made by Wire; dropping it disconnects.
  class Wiring {
   public:
    virtual ~Wiring() = default;
  };

  virtual ~StartupHost() = default;
  // The name of the single-instance lock.
  virtual std::u16string InstanceName() { return u"VARN"; }
  // The backend of the run, kept by the host; null when none can start (no display).
  virtual platform::Backend* OpenBackend() = 0;
  // Starts sound (when sound is given) and input on the backend; null when either failed
  // after its own box.
  virtual std::unique_ptr<Wiring> Wire(platform::Backend& backend, const SoundConfig* sound, float repeatInterval) = 0;
};

// The process-wide objects of the game data, null outside it.
extern IArchive* g_SystemArchive;
extern DxDraw::DxSurface* g_SystemImage;
// The usable fonts' names, offered by the settings dialog.
extern std::vector<std::u16string> g_FontList;
// The save folder (no trailing separator) and the configuration file of the run.
extern std::u16string g_SaveFolder;
extern std::u16string g_ConfigPath;

// Makes SIGTERM (a desktop's log-out) end the game that way.
void InstallTerminateHandler();

// The whole program. commandLine is the program's path and its arguments as one line. The exit
// code: 0 after a normal run, a quit and for a second instance; 1 when the game data or a device
// is missing, the save folder cannot be made, or an error escaped.
int WinMain(StartupHost& host, const std::u16string& commandLine);

// The font list from the glyph source's families: names beginning with '@' are left out.
std::vector<std::u16string> UsableFonts(const std::vector<std::u16string>& families);
