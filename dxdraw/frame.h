// The window frame: window classes, one object bound to one window with a virtual window
// procedure, and the graphics engine's main window (repaint, activation, cursor, full-screen
// menu bar, full-screen switch).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "platform/menu.h"
#include "platform/window.h"

class ssView;

// The messages a window procedure receives, made from the platform's events.
enum : uint32_t {
  WMSG_CREATE = 1,   // lParam = the CreateParams record
  WMSG_DESTROY,      // the window is going away
  WMSG_NCDESTROY,    // last message of a window
  WMSG_PAINT,        // lParam = the platform::Rect to repaint
  WMSG_ACTIVATE,     // wParam = 1 active, 0 inactive
  WMSG_ACTIVATEAPP,  // wParam = 1 the application becomes active, 0 it goes to the background
  WMSG_SETCURSOR,    // wParam = hit test (kHitClient over the client area)
  WMSG_MOUSEMOVE,    // lParam = PackPoint(x, y) in client coordinates
  WMSG_MOUSEDOWN,    // wParam = button (0 left, 1 right, 2 middle), lParam = PackPoint
  WMSG_MOUSEUP,
  WMSG_MOUSEWHEEL,  // wParam = wheel movement
  WMSG_KEYDOWN,     // wParam = DirectInput key code, lParam = KeyMod bits
  WMSG_KEYUP,
  WMSG_CHAR,     // wParam = UTF-16 unit
  WMSG_CLOSE,    // the user asked to close
  WMSG_COMMAND,  // wParam = command id
};

constexpr uintptr_t kHitClient = 1;

// (x, y) packed as the low and high 16-bit words; MsgX and MsgY sign-extend them back.
inline intptr_t PackPoint(int32_t x, int32_t y) {
  return static_cast<intptr_t>((uint32_t(uint16_t(y)) << 16) | uint16_t(x));
}
inline int32_t MsgX(intptr_t lParam) {
  return int16_t(uint16_t(uintptr_t(lParam) & 0xFFFF));
}
inline int32_t MsgY(intptr_t lParam) {
  return int16_t(uint16_t((uintptr_t(lParam) >> 16) & 0xFFFF));
}

// The class record of a window: the classic fields that still mean something here.
struct WindowClassInfo {
  uint32_t style = 0;  // redraw bits etc., kept for the caller
  std::u16string className;
  uint32_t background = 0xFFFFFF;  // 0x00RRGGBB brush
  uint32_t icon = 0;               // resource id, 0 = the standard application icon
  bool arrowCursor = true;
};

class TWindowBase {
 public:
  // Fills the record with the defaults: horizontal and vertical redraw, white background,
  // standard icon and arrow cursor, the class name.
  void FillWndClassDefault(const std::u16string& className);
  // Registers the class for this process; false when the name is empty.
  bool RegisterClass();
  static bool IsClassRegistered(const std::u16string& className);

  WindowClassInfo m_WndClass;
};

struct CreateParams {
  std::u16string className;
  std::u16string title;
  platform::Rect rect;  // the client rectangle asked for (its size is used)
  platform::Menu* menu = nullptr;
};

class TWindow : public TWindowBase {
 public:
  TWindow() = default;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;
  // Destroys the window unless it was already destroyed.
  virtual ~TWindow();

  // Creates the window on the platform window and delivers WMSG_CREATE (after OnCreate).
  // False when the window cannot be made.
  bool Create(platform::Window& window, const std::u16string& className, const std::u16string& title,
              const platform::Rect& rect, platform::Menu* menu);
  // Destroys the window: WMSG_DESTROY, WMSG_NCDESTROY, then the platform window goes.
  void Destroy();

  // Turns one platform event into messages to WindowProc. Returns false once the window is gone.
  bool DispatchEvent(const platform::Event& event);
  // The pump's step: a key the accelerator table knows becomes its command (or nothing when
  // the menu has it greyed); every other event is dispatched as it is.
  bool TranslateAndDispatch(const platform::Event& event, const platform::AcceleratorTable* accelerators,
                            const platform::Menu* menu);
  // Sends a message to the window procedure at once.
  intptr_t SendMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) { return WindowProc(msg, wParam, lParam); }

  platform::Window* GetHandle() const { return m_hWnd; }
  bool IsDestroyed() const { return m_bDestroyed; }

 protected:
  virtual void OnCreate(const CreateParams& params) { (void)params; }
  virtual intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);

  platform::Window* m_hWnd = nullptr;  // not owned
  bool m_bDestroyed = false;
  int32_t m_ClientWidth = 0;
  int32_t m_ClientHeight = 0;

 private:
  void DeliverDestroy();
  void SendSetCursor(platform::Point pos);
};

namespace DxDraw {

class DxScreen;

// Set when the picture was lost while the application was in the background.
extern int g_SurfaceLost;

class DxFrame : public TWindow {
 public:
  DxFrame() = default;

  // 1 after switching, 0 without a display.
  int ToggleFullScreen();

  void SetDisplay(DxScreen* display) { m_pDisplay = display; }
  void SetScreen(ssView* screen) { m_pScreen = screen; }
  void SetFrameMenu(platform::Menu* menu) { m_hMenu = menu; }
  DxScreen* GetDisplay() const { return m_pDisplay; }
  ssView* GetScreen() const { return m_pScreen; }
  platform::Menu* GetFrameMenu() const { return m_hMenu; }
  bool IsActive() const { return m_bActive != 0; }

 protected:
  intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

  DxScreen* m_pDisplay = nullptr;  // not owned
  ssView* m_pScreen = nullptr;     // the screen surface (not owned)
  int m_bActive = 1;
  bool m_bFrameCursor = true;         // the frame's cursor: the system arrow
  platform::Menu* m_hMenu = nullptr;  // not owned
};

}  // namespace DxDraw
