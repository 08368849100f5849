// The game window and its events: create, caption, show, activation, close requests, expose,
// typed characters, full screen, the menu strip, the system cursor and the event pump.
#pragma once

#include <cstdint>
#include <string>

#include "platform/geometry.h"
#include "platform/present.h"

namespace platform {

class Menu;

enum class EventType : uint8_t {
  None,
  Activate,      // the application became active (focus came to the window)
  Deactivate,    // another application became active
  CloseRequest,  // the user asked to close the window (close box, window manager)
  Expose,        // part of the client area needs repainting (rect)
  Char,          // a typed UTF-16 unit (ch); a character outside the BMP arrives as two
  KeyDown,       // key = DirectInput key code, modifiers = KeyMod bits
  KeyUp,
  MouseMove,  // pos in client coordinates
  MouseDown,  // button 0 left, 1 right, 2 middle; pos
  MouseUp,
  MouseWheel,  // wheel: positive away from the user
  Command,     // command = a menu or accelerator command id
};

// Modifier bits of key events.
enum KeyMod : uint32_t { kModShift = 1, kModCtrl = 2, kModAlt = 4 };

struct Event {
  EventType type = EventType::None;
  uint32_t key = 0;        // KeyDown / KeyUp
  uint32_t modifiers = 0;  // KeyDown / KeyUp
  bool repeat = false;     // KeyDown from the keyboard's own auto-repeat
  char16_t ch = 0;         // Char
  uint32_t command = 0;    // Command
  int32_t button = 0;      // MouseDown / MouseUp
  int32_t wheel = 0;       // MouseWheel
  Point pos;               // mouse events, client coordinates
  Rect rect;               // Expose
};

struct WindowDesc {
  std::u16string caption;
  int32_t clientWidth = 800;
  int32_t clientHeight = 600;
  bool withMenu = true;  // room for the menu strip above the client area while windowed
};

class Window {
 public:
  virtual ~Window() = default;

  // Creates the (hidden) window centred on the desktop. False when no window can be made.
  virtual bool Create(const WindowDesc& desc) = 0;
  virtual bool IsAlive() const = 0;
  // Destroys the window; events stop. Safe to call twice.
  virtual void Destroy() = 0;

  virtual void SetCaption(const std::u16string& caption) = 0;
  virtual void Show() = 0;
  virtual bool IsActive() const = 0;

  // Takes the next queued event without blocking. False when the queue is empty.
  virtual bool PollEvent(Event& out) = 0;
  // Blocks until an event arrives or timeoutMs passes (the pump waits like this while the
  // application is inactive, instead of spinning). False on time-out.
  virtual bool WaitEvent(Event& out, uint32_t timeoutMs) = 0;
  // Queues an event as if the system had sent it (a command the game sends to itself).
  virtual void PostEvent(const Event& event) = 0;

  // Desktop full screen: the client picture is scaled and letterboxed; cursor positions are
  // still reported in client coordinates. Leaving full screen restores the window's place and
  // size. False when the switch failed (the mode stays as it was).
  virtual bool SetFullScreen(bool on) = 0;
  virtual bool IsFullScreen() const = 0;

  // The menu model drawn as the menu bar (not owned; null for none), and whether the bar is
  // shown. Windowed, the bar is a strip above the client area; in full screen it overlays the
  // top of the picture while shown.
  virtual void SetMenu(Menu* menu) = 0;
  virtual void SetMenuShown(bool shown) = 0;
  virtual bool IsMenuShown() const = 0;

  // Whether the system's cursor is drawn over the client area (the game draws its own).
  virtual void SetSystemCursorVisible(bool visible) = 0;
  virtual bool IsSystemCursorVisible() const = 0;

  // The cursor in client coordinates; outside the client area the values are out of range.
  virtual Point CursorPos() const = 0;

  // Where frames go.
  virtual Presenter& GetPresenter() = 0;
};

}  // namespace platform
