// The window manager's part in the real-window tests: a close-box click sent with Xlib (kept
// apart, as Xlib's macros clash with the test framework's names).
#include <X11/Xlib.h>

#include <string>

bool SendCloseBox(const std::string& display, unsigned long window) {
  ::Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window;
  ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(d, window, False, NoEventMask, &ev) != 0;
  XSync(d, False);
  XCloseDisplay(d);
  return sent;
}
