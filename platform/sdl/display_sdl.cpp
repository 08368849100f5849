// The SDL backend's displays: devices and their modes.
#include <algorithm>

#include "platform/sdl/sdl_internal.h"
#include "platform/utf.h"

namespace platform::sdl {

// ---- displays ----

namespace {

DisplayMode ModeOf(const SDL_DisplayMode& m) {
  DisplayMode d;
  d.width = m.w;
  d.height = m.h;
  d.refreshRate = m.refresh_rate;
  const int bytes = SDL_BYTESPERPIXEL(m.format);
  d.bitsPerPixel = bytes >= 4 ? 32 : bytes == 3 ? 24 : bytes == 2 ? 16 : int32_t(SDL_BITSPERPIXEL(m.format));
  int bpp = 0;
  Uint32 r = 0, g = 0, b = 0, a = 0;
  if (SDL_PixelFormatEnumToMasks(m.format, &bpp, &r, &g, &b, &a)) d.redMask = r;
  return d;
}

}  // namespace

std::vector<DisplayDeviceInfo> SdlDisplay::Devices() {
  std::vector<DisplayDeviceInfo> out;
  const int n = SDL_GetNumVideoDisplays();
  const char* driver = SDL_GetCurrentVideoDriver();
  for (int i = 0; i < n; ++i) {
    const char* name = SDL_GetDisplayName(i);
    out.push_back(DisplayDeviceInfo{Utf8ToWide(name ? name : "display"), Utf8ToWide(driver ? driver : "")});
  }
  return out;
}

std::vector<DisplayMode> SdlDisplay::Modes(size_t device) {
  std::vector<DisplayMode> out;
  const int index = int(device);
  if (index >= SDL_GetNumVideoDisplays()) return out;
  const int n = SDL_GetNumDisplayModes(index);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(index, i, &m) == 0) out.push_back(ModeOf(m));
  }
  // Full screen scales the picture onto the desktop, so the game's own sizes are always
  // available at the desktop's depth, whatever sizes the monitor lists.
  const DisplayMode desktop = DesktopMode(device);
  for (const std::pair<int, int>& size : {std::pair{640, 480}, std::pair{800, 600}}) {
    const int w = size.first, h = size.second;
    const bool listed = std::any_of(out.begin(), out.end(), [&](const DisplayMode& m) {
      return m.width == w && m.height == h && m.bitsPerPixel == desktop.bitsPerPixel;
    });
    if (!listed && desktop.width >= w && desktop.height >= h)
      out.push_back(DisplayMode{w, h, desktop.bitsPerPixel, desktop.refreshRate, desktop.redMask});
  }
  return out;
}

DisplayMode SdlDisplay::DesktopMode(size_t device) {
  SDL_DisplayMode m;
  if (SDL_GetDesktopDisplayMode(int(device), &m) != 0) return DisplayMode{};
  return ModeOf(m);
}

bool SdlDisplay::SelectDevice(size_t device) {
  if (int(device) >= SDL_GetNumVideoDisplays()) return false;
  m_Selected = device;
  return true;
}

}  // namespace platform::sdl
