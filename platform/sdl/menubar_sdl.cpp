// The SDL backend's menu bar: the game's menu model drawn with ImGui in a strip above the
// picture, its chosen items queued as command events.
#include <imgui.h>

#include <string>

#include "platform/sdl/sdl_internal.h"
#include "platform/utf.h"

namespace platform::sdl {

// ---- menu bar ----

void SdlWindow::SetMenu(Menu* menu) {
  m_Menu = menu;
  LayoutWindowed();
}

void SdlWindow::SetMenuShown(bool shown) {
  if (m_MenuShown == shown) return;
  m_MenuShown = shown;
  LayoutWindowed();
  ApplyCursor();
}

void SdlWindow::DrawMenuItems(std::vector<MenuItem>& items, bool enabled) {
  for (MenuItem& item : items) {
    if (item.separator) {
      ImGui::Separator();
      continue;
    }
    const std::string label = WideToUtf8(StripMnemonic(item.label)) + "##" + std::to_string(uintptr_t(&item));
    if (item.IsPopup()) {
      if (ImGui::BeginMenu(label.c_str(), enabled && item.enabled)) {
        DrawMenuItems(item.children, enabled);
        ImGui::EndMenu();
      }
    } else if (ImGui::MenuItem(label.c_str(), nullptr, item.checked, enabled && item.enabled)) {
      Event e;
      e.type = EventType::Command;
      e.command = item.id;
      m_Queue.push_back(e);
    }
  }
}

void SdlWindow::DrawMenuBar(bool enabled) {
  if (!m_Menu || !m_MenuShown) return;
  if (ImGui::BeginMainMenuBar()) {
    DrawMenuItems(m_Menu->Top(), enabled);
    ImGui::EndMainMenuBar();
  }
}

}  // namespace platform::sdl
