// A direct X connection for the real-window benchmarks: finds a top-level window by its name
// and reads single pixels of it in well under a millisecond, where xdotool and import start a
// process each time and would time themselves more than the game.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <string>

namespace xvfbbench {

class XProbe {
 public:
  explicit XProbe(const std::string& display) : m_Display(XOpenDisplay(display.c_str())) {
    // A window that goes or is not viewable yet is an answer of "not yet", not the end of the
    // benchmark (Xlib's own handler exits the process).
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  ~XProbe() {
    if (m_Display) XCloseDisplay(m_Display);
  }
  XProbe(const XProbe&) = delete;
  XProbe& operator=(const XProbe&) = delete;

  bool Ok() const { return m_Display != nullptr; }

  // A mapped child of the root whose name holds `name`; 0 when there is none yet.
  Window FindMapped(const char* name) const {
    if (!m_Display) return 0;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(m_Display, DefaultRootWindow(m_Display), &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
      XWindowAttributes a;
      if (!XGetWindowAttributes(m_Display, children[i], &a) || a.map_state != IsViewable) continue;
      char* title = nullptr;
      if (XFetchName(m_Display, children[i], &title) && title) {
        if (std::strstr(title, name)) found = children[i];
        XFree(title);
      }
    }
    if (children) XFree(children);
    return found;
  }

  // The window's size; false when it is gone.
  bool Size(Window w, int& width, int& height) const {
    XWindowAttributes a;
    if (!m_Display || !XGetWindowAttributes(m_Display, w, &a)) return false;
    width = a.width;
    height = a.height;
    return true;
  }

  // The pixel at (x, y) of the window as 0xRRGGBB; -1 when it cannot be read.
  long Pixel(Window w, int x, int y) const {
    if (!m_Display) return -1;
    XImage* image = XGetImage(m_Display, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return -1;
    const long pixel = long(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
  }

 private:
  Display* m_Display;
};

}  // namespace xvfbbench
