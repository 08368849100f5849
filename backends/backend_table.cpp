// The table of backends and the choice among them.
#include "backends/backend_table.h"

#include <algorithm>
#include <cstdlib>

#include "platform/headless/headless.h"
#include "platform/log.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/utf.h"

namespace backends {
namespace {

std::unique_ptr<platform::Backend> CreateSdl(const BackendOptions& options) {
  platform::sdl::Options sdl;
  sdl.audioSampleRate = options.audioSampleRate;
  return platform::sdl::CreateBackend(sdl);
}

std::unique_ptr<platform::Backend> CreateHeadless(const BackendOptions&) {
  return platform::headless::CreateBackend();
}

constexpr BackendEntry kBackends[] = {
    {"sdl", "a window, sound and fonts on the desktop", &CreateSdl, &platform::sdl::PrepareProcess},
    {"headless", "in memory, driven by a test: scripted input, virtual clock, null audio", &CreateHeadless, nullptr},
};

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

void Log(const std::string& text) {
  platform::DebugOutput(platform::Utf8ToWide(text + "\n"));
}

}  // namespace

std::span<const BackendEntry> BackendTable() {
  return kBackends;
}

const BackendEntry* FindBackend(std::string_view name) {
  for (const BackendEntry& entry : kBackends) {
    if (std::equal(name.begin(), name.end(), entry.name.begin(), entry.name.end(),
                   [](char a, char b) { return FoldAscii(a) == FoldAscii(b); }))
      return &entry;
  }
  return nullptr;
}

std::string ChosenBackendName(std::string_view fallback) {
  const char* chosen = std::getenv("VARN_BACKEND");
  return chosen && *chosen ? std::string(chosen) : std::string(fallback);
}

void PrepareChosenBackend(std::string_view fallback) {
  const BackendEntry* entry = FindBackend(ChosenBackendName(fallback));
  if (entry && entry->prepareProcess) entry->prepareProcess();
}

std::unique_ptr<platform::Backend> CreateChosenBackend(std::string_view fallback, const BackendOptions& options) {
  const std::string name = ChosenBackendName(fallback);
  const BackendEntry* entry = FindBackend(name);
  if (!entry) {
    std::string known;
    for (const BackendEntry& e : kBackends) known += (known.empty() ? "" : ", ") + std::string(e.name);
    Log("no backend called \"" + name + "\" (known: " + known + ")");
    return nullptr;
  }
  std::unique_ptr<platform::Backend> backend = entry->create(options);
  if (!backend) Log("the " + std::string(entry->name) + " backend could not start");
  return backend;
}

}  // namespace backends
