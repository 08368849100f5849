// The SDL backend's menu bar: the game's menu model drawn with ImGui in a strip above the
// picture, its chosen items queued as command events.
#include <imgui.h>

#include <cmath>
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

void SdlWindow::DrawMenuItems(std::vector<MenuItem>& items, bool enabled, bool inPopup) {
  for (MenuItem& item : items) {
    if (item.separator) {
      ImGui::Separator();
      continue;
    }
    // "label\tCtrl+Z": the text after the tab is the item's shortcut, drawn in its column.
    const std::u16string text = StripMnemonic(item.label);
    const size_t tab = text.find(u'\t');
    const std::string label = WideToUtf8(text.substr(0, tab)) + "##" + std::to_string(uintptr_t(&item));
    const std::string shortcut = tab == std::u16string::npos ? std::string() : WideToUtf8(text.substr(tab + 1));
    const bool on = enabled && item.enabled;
    if (item.IsPopup()) {
      if (ImGui::BeginMenu(label.c_str(), on)) {
        DrawMenuItems(item.children, enabled, true);
        ImGui::EndMenu();
      }
      continue;
    }
    // A radio item's mark is a dot where a check item has its check mark (the column at the
    // popup's right edge, the font's height wide and a fifth more).
    const bool dot = inPopup && item.radio && item.checked;
    const ImVec2 at = ImGui::GetCursorScreenPos();
    const float right = at.x + ImGui::GetContentRegionAvail().x;
    if (ImGui::MenuItem(label.c_str(), shortcut.empty() ? nullptr : shortcut.c_str(), item.checked && !dot, on)) {
      Event e;
      e.type = EventType::Command;
      e.command = item.id;
      m_Queue.push_back(e);
    }
    if (dot) {
      const float f = ImGui::GetFontSize();
      const ImVec2 centre(right - std::floor(f * 1.2f) + f * 0.83f, at.y + f * 0.5f);
      ImGui::GetWindowDrawList()->AddCircleFilled(centre, f * 0.22f,
                                                  ImGui::GetColorU32(on ? ImGuiCol_Text : ImGuiCol_TextDisabled));
    }
  }
}

void SdlWindow::DrawMenuBar(bool enabled) {
  if (!m_Menu || !m_MenuShown) return;
  // The bar has no outline of ImGui's: ImGui draws thin lines through a strip of its font
  // texture that wants bilinear filtering, and SDL's software renderer samples the nearest
  // texel, so the outline would come out two rows thick and up to two rows above its place,
  // with a row of the bar's face left under its bottom line. The one line the bar keeps,
  // between it and the picture, is a filled rectangle on the strip's last row, which every
  // renderer draws exactly where it is.
  ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
  const bool open = ImGui::BeginMainMenuBar();
  ImGui::PopStyleVar();
  if (!open) return;
  DrawMenuItems(m_Menu->Top(), enabled, false);
  const ImVec2 at = ImGui::GetWindowPos();
  const float width = ImGui::GetWindowWidth(), bottom = at.y + float(m_Strip);
  ImGui::GetWindowDrawList()->AddRectFilled(ImVec2(at.x, bottom - 1.0f), ImVec2(at.x + width, bottom),
                                            ImGui::GetColorU32(ImGuiCol_Border));
  ImGui::EndMainMenuBar();
}

}  // namespace platform::sdl
