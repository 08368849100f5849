// The main window: the close question, activation, typed characters, the menu commands and
// accelerators on the platform's menu model, and the display-driver choice dialog.
#pragma once

#include <cstdint>
#include <vector>

#include "dxdraw/dxdisplay.h"
#include "dxdraw/frame.h"
#include "platform/dialog.h"
#include "platform/menu.h"
#include "script/services.h"

namespace DxDraw {
class DxScreenSurface;
}

// Command ids of the main menu and its accelerators.
enum : uint32_t {
  IDM_EXIT = 40000,
  IDM_FULLSCREEN = 40001,
  IDM_F10 = 40002,
  IDM_TITLE = 40003,
  IDM_SPEED_NORMAL = 40004,
  IDM_SPEED_AUTO = 40009,
  IDM_SAVE = 40010,
  IDM_LOAD = 40011,
  IDM_BACK = 40012,
  IDM_VARIABLES = 40013,
  IDM_FLAGS = 40014,
  IDM_TEXT_FIRST = 40017,
  IDM_TEXT_LAST = 40020,
  IDM_AUTO_FIRST = 40021,
  IDM_AUTO_LAST = 40025,
  IDM_SOUND_SETTINGS = 40027,
  IDM_SYSTEM_SETTINGS = 40028,
  IDM_NAME = 40029,
  IDM_MANUAL = 40030,
};

// Menu 110: "システム", "シナリオ" and "デバッグ" with their items, the radio groups unchecked.
platform::Menu BuildMainMenu();
// Accelerators 128: F10, Alt+Enter, Ctrl+Z.
platform::AcceleratorTable BuildAccelerators();

// The dialogs and screens the menu opens (the save store, settings, debug window, manual).
class IMenuCommands {
 public:
  virtual ~IMenuCommands() = default;
  // True when a slot was saved.
  virtual bool RunSaveDialog() = 0;
  // The chosen slot, or -1.
  virtual int32_t RunLoadDialog() = 0;
  virtual void ShowVariables() = 0;
  virtual void ShowFlags() = 0;
  virtual void RunSoundSettings() = 0;
  virtual void RunSystemSettings() = 0;
  virtual void RunNameDialog() = 0;
  virtual void ShowManual() = 0;
};

// The commands' greying on the menu model: the model keeps every item's state in both modes.
class MenuModelItems : public IMenuItems {
 public:
  explicit MenuModelItems(platform::Menu& menu) : m_Menu(menu) {}
  void EnableMenuItem(uint32_t id, bool enabled) override { m_Menu.Enable(id, enabled); }
  std::u16string MenuItemText(uint32_t id) override;
  void SetMenuItemText(uint32_t id, std::u16string_view text) override;

 private:
  platform::Menu& m_Menu;
};

class WinApp : public DxDraw::DxFrame {
 public:
  WinApp(platform::Menu& menu, IMenuCommands& commands) : m_Menu(menu), m_Commands(commands) {}

  // The screen surface whose frame-skip fields the drawing-speed items set (null before it exists).
  void SetScreenSurface(DxDraw::DxScreenSurface* screen) { m_pScreenSurface = screen; }
  platform::Menu& MenuModel() { return m_Menu; }

 protected:
  intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

 private:
  void OnCommand(uint32_t id);

  platform::Menu& m_Menu;
  IMenuCommands& m_Commands;
  DxDraw::DxScreenSurface* m_pScreenSurface = nullptr;
};

// The close question; true for "はい".
bool AskClose();

// Dialog 102 on the host: the drivers' descriptions in combo box 1000, the first selected. The
// chosen index on OK, -1 on Cancel (which the display takes as the first device).
int ChooseDisplayDriver(platform::DialogHost& host, const std::vector<DxDraw::DisplayDevice>& drivers);
// The dialog's template.
platform::DialogTemplate DisplayDriverDialog();
