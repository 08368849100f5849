// The SDL backend's wait on the X connection: the window's X display and a poll of its socket.
// Apart from the rest of the backend, as Xlib's macros (None, Bool, Status) clash with its names.
#include "platform/sdl/sdl_internal.h"
// After the backend's own header: Xlib's macros would rename the enumerators in it.
#include <SDL_syswm.h>
#include <poll.h>

namespace platform::sdl {

_XDisplay* XDisplayOf(SDL_Window* window) {
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!window || !SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11) return nullptr;
  return wm.info.x11.display;
}

bool WaitForX(_XDisplay* display, int32_t timeoutMs, unsigned long& checked) {
  if (!display || timeoutMs <= 0) return true;
  // What the frame sent goes out first; events read already (brought in with replies while the
  // frame was drawn, or held in the connection's buffer) are in no socket the poll could see.
  // The connection is read only where something was sent since its last read: without a request
  // nothing waited on a reply, so nothing came in but what SDL's own read took to its end, and
  // a quiet frame's wait costs no read of an empty socket.
  const unsigned long next = XNextRequest(display);
  if (next != checked) {
    if (XEventsQueued(display, QueuedAfterFlush) > 0) return true;
    checked = next;
  } else if (XQLength(display) > 0) {
    return true;
  }
  pollfd fd{ConnectionNumber(display), POLLIN, 0};
  return poll(&fd, 1, timeoutMs) != 0;
}

}  // namespace platform::sdl
