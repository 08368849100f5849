// The backends by name ("sdl" for a player, "headless" for tests), the one place a backend is
// chosen; the VARN_BACKEND environment variable overrides the caller's default.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace backends {

// What a backend is started with; a backend ignores what it has no use for.
struct BackendOptions {
  uint32_t audioSampleRate = 44100;  // 0: no audio device
};

struct BackendEntry {
  std::string_view name;
  std::string_view purpose;  // one line for lists and error messages
  std::unique_ptr<platform::Backend> (*create)(const BackendOptions& options);
  // What the backend sets up in the process itself (its environment), before any thread starts;
  // null when there is nothing.
  void (*prepareProcess)();
};

// Every backend, the player's first.
std::span<const BackendEntry> BackendTable();
// The entry called name (ASCII letter case ignored); null when there is none.
const BackendEntry* FindBackend(std::string_view name);
// VARN_BACKEND when it is set and not empty, else fallback.
std::string ChosenBackendName(std::string_view fallback);
// Sets up the process for the chosen backend: called first in main, while the program has one
// thread. Does nothing for a name that is not in the table (starting it reports that).
void PrepareChosenBackend(std::string_view fallback);
// Starts the chosen backend. Null, with the reason in the log, when the name is not in the table
// or the backend cannot start (the SDL one without a display).
std::unique_ptr<platform::Backend> CreateChosenBackend(std::string_view fallback, const BackendOptions& options = {});

}  // namespace backends
