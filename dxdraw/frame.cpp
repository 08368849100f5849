// The window frame: class records, message routing to the window object, and the main window.
#include "dxdraw/frame.h"

#include <mutex>
#include <set>

#include "dxdraw/dxdisplay.h"
#include "dxdraw/dxinput.h"
#include "dxdraw/view.h"

namespace {

std::mutex g_ClassLock;
std::set<std::u16string>& Classes() {
  static std::set<std::u16string> classes;
  return classes;
}

}  // namespace

void TWindowBase::FillWndClassDefault(const std::u16string& className) {
  m_WndClass = WindowClassInfo{};
  m_WndClass.style = 3;  // horizontal and vertical redraw
  m_WndClass.className = className;
}

bool TWindowBase::RegisterClass() {
  if (m_WndClass.className.empty()) return false;
  std::lock_guard<std::mutex> lock(g_ClassLock);
  Classes().insert(m_WndClass.className);
  return true;
}

bool TWindowBase::IsClassRegistered(const std::u16string& className) {
  std::lock_guard<std::mutex> lock(g_ClassLock);
  return Classes().count(className) != 0;
}

TWindow::~TWindow() {
  if (!m_bDestroyed && m_hWnd && m_hWnd->IsAlive()) Destroy();
}

bool TWindow::Create(platform::Window& window, const std::u16string& className, const std::u16string& title,
                     const platform::Rect& rect, platform::Menu* menu) {
  platform::WindowDesc desc;
  desc.caption = title;
  desc.clientWidth = rect.Width();
  desc.clientHeight = rect.Height();
  desc.withMenu = menu != nullptr;
  if (!window.Create(desc)) return false;
  window.SetMenu(menu);
  window.SetMenuShown(menu != nullptr);
  m_hWnd = &window;
  m_bDestroyed = false;
  m_ClientWidth = desc.clientWidth;
  m_ClientHeight = desc.clientHeight;
  CreateParams params{className, title, rect, menu};
  OnCreate(params);
  WindowProc(WMSG_CREATE, 0, reinterpret_cast<intptr_t>(&params));
  return true;
}

void TWindow::DeliverDestroy() {
  m_bDestroyed = true;
  WindowProc(WMSG_DESTROY, 0, 0);
  WindowProc(WMSG_NCDESTROY, 0, 0);
}

void TWindow::Destroy() {
  if (m_bDestroyed || !m_hWnd) return;
  DeliverDestroy();
  m_hWnd->Destroy();
}

void TWindow::SendSetCursor(platform::Point pos) {
  const bool inside = pos.x >= 0 && pos.y >= 0 && pos.x < m_ClientWidth && pos.y < m_ClientHeight;
  WindowProc(WMSG_SETCURSOR, inside ? kHitClient : 0, 0);
}

bool TWindow::DispatchEvent(const platform::Event& e) {
  if (m_bDestroyed || !m_hWnd) return false;
  if (!m_hWnd->IsAlive()) {
    // The window went away underneath us: tell the object once; its destructor then leaves
    // the window alone.
    DeliverDestroy();
    return false;
  }
  using platform::EventType;
  switch (e.type) {
    case EventType::Activate:
      WindowProc(WMSG_ACTIVATEAPP, 1, 0);
      WindowProc(WMSG_ACTIVATE, 1, 0);
      SendSetCursor(m_hWnd->CursorPos());
      break;
    case EventType::Deactivate:
      WindowProc(WMSG_ACTIVATE, 0, 0);
      WindowProc(WMSG_ACTIVATEAPP, 0, 0);
      SendSetCursor(m_hWnd->CursorPos());
      break;
    case EventType::CloseRequest:
      WindowProc(WMSG_CLOSE, 0, 0);
      break;
    case EventType::Expose:
      WindowProc(WMSG_PAINT, 0, reinterpret_cast<intptr_t>(&e.rect));
      break;
    case EventType::Char:
      WindowProc(WMSG_CHAR, e.ch, 0);
      break;
    case EventType::KeyDown:
      WindowProc(WMSG_KEYDOWN, e.key, static_cast<intptr_t>(e.modifiers));
      break;
    case EventType::KeyUp:
      WindowProc(WMSG_KEYUP, e.key, static_cast<intptr_t>(e.modifiers));
      break;
    case EventType::MouseMove:
      SendSetCursor(e.pos);
      WindowProc(WMSG_MOUSEMOVE, 0, PackPoint(e.pos.x, e.pos.y));
      break;
    case EventType::MouseDown:
      WindowProc(WMSG_MOUSEDOWN, static_cast<uintptr_t>(e.button), PackPoint(e.pos.x, e.pos.y));
      break;
    case EventType::MouseUp:
      WindowProc(WMSG_MOUSEUP, static_cast<uintptr_t>(e.button), PackPoint(e.pos.x, e.pos.y));
      break;
    case EventType::MouseWheel:
      WindowProc(WMSG_MOUSEWHEEL, static_cast<uintptr_t>(static_cast<intptr_t>(e.wheel)), 0);
      break;
    case EventType::Command:
      WindowProc(WMSG_COMMAND, e.command, 0);
      break;
    case EventType::None:
      break;
  }
  return !m_bDestroyed;
}

bool TWindow::TranslateAndDispatch(const platform::Event& event, const platform::AcceleratorTable* accelerators,
                                   const platform::Menu* menu) {
  if (accelerators) {
    if (std::optional<uint32_t> command = accelerators->Translate(event, menu)) {
      if (*command == 0) return !m_bDestroyed;  // a greyed item: the key is swallowed
      platform::Event c;
      c.type = platform::EventType::Command;
      c.command = *command;
      return DispatchEvent(c);
    }
  }
  return DispatchEvent(event);
}

intptr_t TWindow::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  (void)msg;
  (void)wParam;
  (void)lParam;
  return 0;
}

namespace DxDraw {

int g_SurfaceLost = 0;

int DxFrame::ToggleFullScreen() {
  if (!m_pDisplay || !m_hWnd) return 0;
  if (m_pDisplay->IsWindowed()) {
    m_hWnd->SetMenuShown(false);
    m_pDisplay->SetFullScreen(true);
    if (m_pDisplay->IsWindowed() && m_hMenu) m_hWnd->SetMenuShown(true);
  } else {
    if (m_hMenu) m_hWnd->SetMenuShown(true);
    m_pDisplay->SetFullScreen(false);
  }
  return 1;
}

intptr_t DxFrame::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
    case WMSG_PAINT:
      if (m_pDisplay && m_pDisplay->IsPrimaryLost()) m_pDisplay->RestorePrimary();
      if (m_pDisplay && m_pScreen) {
        // The screen surface repaints the rectangle through the display's presenter.
        m_pScreen->OnMessage(VM_PAINT, lParam, reinterpret_cast<intptr_t>(m_pDisplay->GetPresenter()));
        return 0;
      }
      break;
    case WMSG_ACTIVATE:
      if (wParam == 1 || wParam == 2) {
        Input::Acquire();
        return 0;
      }
      break;
    case WMSG_ACTIVATEAPP:
      if (wParam) {
        m_bActive = 1;
        if (m_pDisplay) m_pDisplay->OnActivate();
        if (g_SurfaceLost) {
          g_SurfaceLost = 0;
          Input::Acquire();
          if (m_pDisplay && m_pDisplay->IsPrimaryLost()) m_pDisplay->RestorePrimary();
        }
      } else {
        if (m_pDisplay) m_pDisplay->OnDeactivate();
        if (m_pDisplay && m_pDisplay->IsPrimaryLost()) g_SurfaceLost = 1;
        m_bActive = 0;
      }
      Input::Acquire();
      return 0;
    case WMSG_SETCURSOR:
      if (wParam == kHitClient && !g_UseSystemCursor && m_hWnd) {
        // While active the game draws its own cursor; otherwise the frame's arrow shows.
        m_hWnd->SetSystemCursorVisible(m_bActive ? false : m_bFrameCursor);
        return 0;
      }
      break;
    case WMSG_MOUSEMOVE:
      if (m_pDisplay && !m_pDisplay->IsWindowed() && m_hMenu && m_hWnd) {
        const int32_t y = MsgY(lParam);
        if (y < 2 && !m_hWnd->IsMenuShown())
          m_hWnd->SetMenuShown(true);
        else if (y >= 2 && m_hWnd->IsMenuShown())
          m_hWnd->SetMenuShown(false);
        return 0;
      }
      break;
    default:
      break;
  }
  return TWindow::WindowProc(msg, wParam, lParam);
}

}  // namespace DxDraw
