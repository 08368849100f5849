// The SDL backend object: the SDL session and the services gathered on it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/audio.h"
#include "platform/folders.h"
#include "platform/glyphs.h"
#include "platform/memory.h"
#include "platform/sdl/sdl_internal.h"

namespace platform::sdl {

// ---- session ----

namespace {

void* SdlMalloc(size_t size) {
  return AllocateBlock(size, false);
}

void* SdlCalloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return AllocateBlock(count * size, true);
}

void* SdlRealloc(void* block, size_t size) {
  void* grown = AllocateBlock(size, false);
  if (grown && block) std::memcpy(grown, block, std::min(size, BlockSize(block)));
  if (grown || size == 0) FreeBlock(block);
  return grown;
}

// SDL's own buffers (its textures, the window's picture) come from the platform's blocks, which
// fault in large pages; only before SDL's first allocation, since each block is freed by the
// allocator that made it.
void UseBlocksForSdl() {
  static const bool done =
      SDL_GetNumAllocations() == 0 && SDL_SetMemoryFunctions(SdlMalloc, SdlCalloc, SdlRealloc, FreeBlock) == 0;
  (void)done;
}

}  // namespace

void PrepareProcess() {
  if (std::getenv("XCOMPOSEFILE")) return;
  if (const char* home = std::getenv("HOME"); home && *home) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(home) / ".XCompose", error)) return;
  }
  setenv("XCOMPOSEFILE", "/dev/null", 0);
}

std::shared_ptr<Session> Session::Start() {
  UseBlocksForSdl();
  // The close box already arrives as the window's close event; SDL's extra quit event for the
  // last window would ask the player the same question twice. A quit event now comes only
  // from outside (a signal), and still counts as a close request.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    LogLine(std::string("SDL video start failed: ") + SDL_GetError() + "\n");
    return nullptr;
  }
  return std::shared_ptr<Session>(new Session());
}

Session::~Session() {
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

// ---- the backend ----

std::unique_ptr<Backend> CreateBackend(const Options& options) {
  std::shared_ptr<Session> session = Session::Start();
  if (!session) return nullptr;
  auto b = std::make_unique<Backend>();
  auto window = std::make_unique<SdlWindow>(session, options);
  SdlWindow* w = window.get();
  b->input = std::make_unique<SdlInput>(*w);
  b->display = std::make_unique<SdlDisplay>(session);
  b->messageBoxes = std::make_unique<SdlMessageBoxes>(w);
  b->dialogs = std::make_unique<SdlDialogHost>(*w);
  b->window = std::move(window);
  b->glyphs = CreateFreeTypeGlyphSource();
  b->folders = CreateHostFolderService();
  if (options.audioSampleRate) b->audio = std::shared_ptr<AudioDevice>(CreateAudioDevice(options.audioSampleRate));
  return b;
}

}  // namespace platform::sdl
