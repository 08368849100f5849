// The SDL dialog host: any dialog template drawn with ImGui, centred and modal over the last
// frame of the game window, which stands still while the dialog is open; the outside end closes
// it as Cancel within one of its 16 ms turns.
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_internal.h>

#include <algorithm>
#include <map>
#include <string>

#include "platform/sdl/sdl_internal.h"

namespace platform::sdl {

namespace {

// The textures of picture controls, rebuilt when the procedure sets a new picture.
class PictureCache {
 public:
  explicit PictureCache(SDL_Renderer* renderer) : m_Renderer(renderer) {}
  PictureCache(const PictureCache&) = delete;
  PictureCache& operator=(const PictureCache&) = delete;

  SDL_Texture* Get(const ControlState& c) {
    Entry& e = m_Entries[c.tpl.id];
    if (e.revision == c.pictureRevision && (e.texture || c.picture.empty())) return e.texture.get();
    e.texture.reset();
    e.revision = c.pictureRevision;
    if (c.picture.empty() || !m_Renderer) return nullptr;
    e.texture.reset(SDL_CreateTexture(m_Renderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STATIC, c.pictureWidth,
                                      c.pictureHeight));
    if (e.texture) SDL_UpdateTexture(e.texture.get(), nullptr, c.picture.data(), c.pictureWidth * 3);
    return e.texture.get();
  }

 private:
  struct Entry {
    SdlPtr<SDL_Texture> texture;
    uint32_t revision = ~0u;
  };
  SDL_Renderer* m_Renderer;
  std::map<uint32_t, Entry> m_Entries;
};

std::string U8(const std::u16string& s) {
  return WideToUtf8(s);
}

std::string Label(const ControlState& c) {
  return U8(StripMnemonic(c.text)) + "##c" + std::to_string(c.tpl.id);
}

// Keeps an edit within its limit in UTF-16 units while the user types, so that a character
// past the limit never appears.
int LimitEdit(ImGuiInputTextCallbackData* data) {
  const int32_t limit = *static_cast<const int32_t*>(data->UserData);
  int32_t units = 0;
  int at = 0;
  while (at < data->BufTextLen) {
    const unsigned char lead = static_cast<unsigned char>(data->Buf[at]);
    const int len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const int32_t add = len == 4 ? 2 : 1;
    if (units + add > limit) break;
    units += add;
    at += len;
  }
  if (at < data->BufTextLen) data->DeleteChars(at, data->BufTextLen - at);
  return 0;
}

// What the user did during one drawn frame; performed after the frame so that the
// procedure never runs inside ImGui's drawing.
struct Action {
  enum Kind { Click, Text, Choose, DoubleClick, Scroll, Focus, Enter, Escape, Tab, TabBack } kind;
  uint32_t id = 0;
  std::u16string text;
  int32_t index = 0;
  ScrollCode code = ScrollCode::EndScroll;
  Action(Kind k, uint32_t i = 0, std::u16string t = {}, int32_t n = 0, ScrollCode s = ScrollCode::EndScroll)
      : kind(k), id(i), text(std::move(t)), index(n), code(s) {}
};

// The keys a control with the keyboard focus answers while no text is being typed: Space presses
// a button, check box or radio; the arrows move a list's selection; the arrows, Page Up/Down,
// Home and End move a trackbar.
void KeyboardActions(const DialogState& state, std::vector<Action>& actions) {
  const ControlState* c = state.Find(state.GetFocus());
  if (!c || !c->enabled || !c->shown || ImGui::GetIO().WantTextInput) return;
  const auto pressed = [](ImGuiKey_ key) { return ImGui::IsKeyPressed(ImGui::GetKeyIndex(key), true); };
  const uint32_t id = c->tpl.id;
  switch (c->tpl.type) {
    case ControlType::Button:
    case ControlType::DefaultButton:
    case ControlType::CheckBox:
    case ControlType::RadioButton:
      if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Space), false)) actions.push_back(Action{Action::Click, id});
      break;
    case ControlType::ListBox:
      if (pressed(ImGuiKey_UpArrow) && c->selection > 0)
        actions.push_back(Action{Action::Choose, id, {}, c->selection - 1});
      if (pressed(ImGuiKey_DownArrow) && c->selection + 1 < int32_t(c->lines.size()))
        actions.push_back(Action{Action::Choose, id, {}, c->selection + 1});
      break;
    case ControlType::TrackbarH:
    case ControlType::TrackbarV: {
      const std::pair<ImGuiKey_, ScrollCode> keys[] = {{ImGuiKey_LeftArrow, ScrollCode::LineUp},
                                                       {ImGuiKey_UpArrow, ScrollCode::LineUp},
                                                       {ImGuiKey_RightArrow, ScrollCode::LineDown},
                                                       {ImGuiKey_DownArrow, ScrollCode::LineDown},
                                                       {ImGuiKey_PageUp, ScrollCode::PageUp},
                                                       {ImGuiKey_PageDown, ScrollCode::PageDown},
                                                       {ImGuiKey_Home, ScrollCode::Top},
                                                       {ImGuiKey_End, ScrollCode::Bottom}};
      for (const auto& [key, code] : keys)
        if (pressed(key)) actions.push_back(Action{Action::Scroll, id, {}, 0, code});
      break;
    }
    default:
      break;
  }
}

// focusMoved: the focus changed since the last frame, so an edit that has it takes the typing
// and one that lost it gives the typing up.
void DrawControls(DialogState& state, PictureCache& pictures, std::vector<Action>& actions, ImVec2 origin,
                  bool focusMoved) {
  const uint32_t focus = state.GetFocus();
  const ControlState* focused = state.Find(focus);
  if (focusMoved && (!focused || focused->tpl.type != ControlType::Edit)) ImGui::ClearActiveID();
  // Tab is the dialog's own (template order), not ImGui's.
  ImGui::PushAllowKeyboardFocus(false);
  for (ControlState& c : state.Controls()) {
    if (!c.shown) continue;
    const Rect& r = c.tpl.rect;
    const ImVec2 pos(origin.x + float(r.left), origin.y + float(r.top));
    const ImVec2 size(float(std::max(1, r.Width())), float(std::max(1, r.Height())));
    ImGui::SetCursorScreenPos(pos);
    ImGui::PushID(int(c.tpl.id));
    ImGui::BeginDisabled(!c.enabled);
    if (c.tpl.id == focus && c.tpl.type != ControlType::Edit)
      ImGui::GetWindowDrawList()->AddRect(ImVec2(pos.x - 2, pos.y - 2), ImVec2(pos.x + size.x + 2, pos.y + size.y + 2),
                                          ImGui::GetColorU32(ImGuiCol_NavHighlight), 0.0f, 0, 1.0f);
    switch (c.tpl.type) {
      case ControlType::Static:
        ImGui::PushTextWrapPos(pos.x + size.x - ImGui::GetWindowPos().x);
        ImGui::TextUnformatted(U8(StripMnemonic(c.text)).c_str());
        ImGui::PopTextWrapPos();
        break;
      case ControlType::GroupBox: {
        ImDrawList* dl = ImGui::GetWindowDrawList();
        const float half = ImGui::GetFontSize() * 0.5f;
        dl->AddRect(ImVec2(pos.x, pos.y + half), ImVec2(pos.x + size.x, pos.y + size.y),
                    ImGui::GetColorU32(ImGuiCol_Border));
        ImGui::SetCursorScreenPos(ImVec2(pos.x + 8, pos.y));
        ImGui::TextUnformatted(U8(StripMnemonic(c.text)).c_str());
        break;
      }
      case ControlType::Button:
      case ControlType::DefaultButton:
        if (c.tpl.type == ControlType::DefaultButton) ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 2.0f);
        if (ImGui::Button(Label(c).c_str(), size)) actions.push_back(Action{Action::Click, c.tpl.id});
        if (c.tpl.type == ControlType::DefaultButton) ImGui::PopStyleVar();
        break;
      case ControlType::CheckBox: {
        bool v = c.checked;
        if (ImGui::Checkbox(Label(c).c_str(), &v)) actions.push_back(Action{Action::Click, c.tpl.id});
        break;
      }
      case ControlType::RadioButton:
        if (ImGui::RadioButton(Label(c).c_str(), c.checked)) actions.push_back(Action{Action::Click, c.tpl.id});
        break;
      case ControlType::Edit: {
        std::string buf = U8(c.text);
        buf.resize(std::max<size_t>(buf.size() + 256, 512), '\0');
        ImGui::SetNextItemWidth(size.x);
        if (focusMoved && c.tpl.id == focus) ImGui::SetKeyboardFocusHere();
        int32_t limit = c.maxLength;
        const bool entered =
            ImGui::InputText("##e", buf.data(), buf.size(),
                             ImGuiInputTextFlags_EnterReturnsTrue | (limit > 0 ? ImGuiInputTextFlags_CallbackEdit : 0),
                             limit > 0 ? &LimitEdit : nullptr, &limit);
        if (ImGui::IsItemActivated()) actions.push_back(Action{Action::Focus, c.tpl.id});
        // Only the user's edits are held to the limit (TypeText cuts them); a longer text the
        // procedure set stays as it is until the user changes it.
        const std::u16string now = Utf8ToWide(buf.c_str());
        if (now != c.text) actions.push_back(Action{Action::Text, c.tpl.id, now});
        if (entered) actions.push_back(Action{Action::Enter});
        break;
      }
      case ControlType::ListBox:
        if (c.tpl.fixedFont) ImGui::PushFont(ImGui::GetIO().Fonts->Fonts[0]);
        if (ImGui::BeginListBox("##l", size)) {
          for (size_t i = 0; i < c.lines.size(); ++i) {
            const bool selected = int32_t(i) == c.selection;
            ImGui::PushID(int(i));
            if (ImGui::Selectable(U8(c.lines[i]).c_str(), selected, ImGuiSelectableFlags_AllowDoubleClick)) {
              if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left))
                actions.push_back(Action{Action::DoubleClick, c.tpl.id, {}, int32_t(i)});
              else
                actions.push_back(Action{Action::Choose, c.tpl.id, {}, int32_t(i)});
            }
            if (ImGui::IsItemActivated()) actions.push_back(Action{Action::Focus, c.tpl.id});
            if (selected && ImGui::IsWindowAppearing()) ImGui::SetScrollHereY();
            ImGui::PopID();
          }
          ImGui::EndListBox();
        }
        if (c.tpl.fixedFont) ImGui::PopFont();
        break;
      case ControlType::ComboBox: {
        ImGui::SetNextItemWidth(size.x);
        const std::string preview = c.selection >= 0 ? U8(c.lines[size_t(c.selection)]) : std::string();
        if (ImGui::BeginCombo("##cb", preview.c_str())) {
          for (size_t i = 0; i < c.lines.size(); ++i) {
            ImGui::PushID(int(i));
            if (ImGui::Selectable(U8(c.lines[i]).c_str(), int32_t(i) == c.selection))
              actions.push_back(Action{Action::Choose, c.tpl.id, {}, int32_t(i)});
            ImGui::PopID();
          }
          ImGui::EndCombo();
        }
        break;
      }
      case ControlType::TrackbarH: {
        int v = c.pos;
        ImGui::SetNextItemWidth(size.x);
        if (ImGui::SliderInt("##h", &v, c.min, c.max, ""))
          actions.push_back(Action{Action::Scroll, c.tpl.id, {}, v, ScrollCode::ThumbTrack});
        if (ImGui::IsItemDeactivated())
          actions.push_back(Action{Action::Scroll, c.tpl.id, {}, c.pos, ScrollCode::EndScroll});
        break;
      }
      case ControlType::TrackbarV: {
        // The bar's position grows downwards (its minimum is at the top).
        int shown = c.min + c.max - c.pos;
        if (ImGui::VSliderInt("##v", size, &shown, c.min, c.max, ""))
          actions.push_back(Action{Action::Scroll, c.tpl.id, {}, c.min + c.max - shown, ScrollCode::ThumbTrack});
        if (ImGui::IsItemDeactivated())
          actions.push_back(Action{Action::Scroll, c.tpl.id, {}, c.pos, ScrollCode::EndScroll});
        break;
      }
      case ControlType::UpDown:
        if (ImGui::ArrowButton("##up", ImGuiDir_Up))
          actions.push_back(Action{Action::Scroll, c.tpl.id, {}, 0, ScrollCode::LineUp});
        ImGui::SetCursorScreenPos(ImVec2(pos.x, pos.y + size.y / 2));
        if (ImGui::ArrowButton("##dn", ImGuiDir_Down))
          actions.push_back(Action{Action::Scroll, c.tpl.id, {}, 0, ScrollCode::LineDown});
        break;
      case ControlType::Picture:
        if (SDL_Texture* t = pictures.Get(c)) {
          ImGui::Image(reinterpret_cast<ImTextureID>(t), ImVec2(float(c.pictureWidth), float(c.pictureHeight)));
        } else {
          ImGui::GetWindowDrawList()->AddRect(pos, ImVec2(pos.x + size.x, pos.y + size.y),
                                              ImGui::GetColorU32(ImGuiCol_Border));
        }
        break;
    }
    ImGui::EndDisabled();
    ImGui::PopID();
  }
  ImGui::PopAllowKeyboardFocus();
}

}  // namespace

int32_t SdlDialogHost::RunModal(const DialogTemplate& dialog, const DialogProcedure& procedure) {
  DialogState state(dialog);
  if (!m_Window.IsAlive()) {
    state.Start(procedure);
    if (!state.Ended()) state.PressEscape(procedure);
    return state.Ended() ? state.Result() : -1;
  }
  PictureCache pictures(m_Window.Renderer());
  const bool wasModal = m_Window.EnterModal();
  state.Start(procedure);
  const std::string popupId = "##dialog" + std::to_string(uintptr_t(&state));
  bool opened = false;
  uint32_t drawnFocus = 0;
  int settling = 0;  // frames drawn without reading input while a Tab's focus move takes hold
  while (!state.Ended() && m_Window.IsAlive()) {
    // Asked between the user's actions: a termination closes the dialog as Cancel.
    if (OutsideEndRequested()) {
      state.CloseAsCancel(procedure);
      break;
    }
    SDL_Event e;
    if (settling > 0) {
      --settling;
      SDL_Delay(16);
    } else if (SDL_WaitEventTimeout(&e, 16)) {
      do {
        m_Window.HandleSdlEvent(e, true);
        // A key that went down is drawn as down before anything after it is read: ImGui keeps
        // only whether a key is down at each frame, so a keystroke whose press and release
        // came in one read (a loaded machine, a quick typist) would be lost. What comes after a
        // Tab stays queued until the focus has moved as well (the settling frames), so typing
        // right after it goes to the control it moves to, however late this loop runs.
        if (e.type == SDL_KEYDOWN) break;
      } while (SDL_PollEvent(&e));
    }
    std::vector<Action> actions;
    bool closeBox = false;
    m_Window.NoteText(state.Caption());
    for (const ControlState& c : state.Controls()) {
      m_Window.NoteText(c.text);
      for (const std::u16string& line : c.lines) m_Window.NoteText(line);
    }
    m_Window.Render([&] {
      if (!opened) {
        ImGui::OpenPopup(popupId.c_str());
        opened = true;
      }
      const ImGuiViewport* vp = ImGui::GetMainViewport();
      const Rect picture = m_Window.PictureRect();
      const ImVec2 centre(float(picture.left + picture.right) / 2, float(picture.top + picture.bottom) / 2);
      const float title = ImGui::GetFrameHeight();
      ImGui::SetNextWindowPos(ImVec2(std::max(vp->Pos.x, centre.x), std::max(vp->Pos.y, centre.y)), ImGuiCond_Always,
                              ImVec2(0.5f, 0.5f));
      ImGui::SetNextWindowSize(ImVec2(float(dialog.width), float(dialog.height) + title));
      bool open = true;
      ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
      if (ImGui::BeginPopupModal(popupId.c_str(), &open,
                                 ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar)) {
        // The caption is drawn as the title (the popup's id stays fixed while the caption changes).
        ImGui::SetCursorPos(ImVec2(8, 0));
        const ImVec2 origin(ImGui::GetWindowPos().x, ImGui::GetWindowPos().y + title);
        DrawControls(state, pictures, actions, origin, state.GetFocus() != drawnFocus);
        drawnFocus = state.GetFocus();
        KeyboardActions(state, actions);
        if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Tab), true))
          actions.push_back(Action{ImGui::GetIO().KeyShift ? Action::TabBack : Action::Tab});
        if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false)) actions.push_back(Action{Action::Escape});
        if (!ImGui::GetIO().WantTextInput && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false))
          actions.push_back(Action{Action::Enter});
        ImGui::EndPopup();
      }
      ImGui::PopStyleVar();
      if (!open) closeBox = true;
      // The title bar text: ImGui shows the popup's label, so draw the caption over it.
      ImDrawList* fg = ImGui::GetForegroundDrawList();
      const ImVec2 tl(centre.x - float(dialog.width) / 2, centre.y - (float(dialog.height) + title) / 2);
      fg->AddRectFilled(ImVec2(tl.x + 1, tl.y + 1), ImVec2(tl.x + float(dialog.width) - title - 2, tl.y + title - 1),
                        ImGui::GetColorU32(ImGuiCol_TitleBgActive));
      fg->AddText(ImVec2(tl.x + 6, tl.y + ImGui::GetStyle().FramePadding.y), ImGui::GetColorU32(ImGuiCol_Text),
                  U8(state.Caption()).c_str());
    });
    for (const Action& a : actions) {
      if (state.Ended() || OutsideEndRequested()) break;
      switch (a.kind) {
        case Action::Click:
          state.Click(procedure, a.id);
          break;
        case Action::Text:
          state.TypeText(procedure, a.id, a.text);
          break;
        case Action::Choose:
          state.ChooseLine(procedure, a.id, a.index);
          break;
        case Action::DoubleClick:
          state.DoubleClickLine(procedure, a.id, a.index);
          break;
        case Action::Scroll:
          state.Scroll(procedure, a.id, a.code, a.index);
          break;
        case Action::Focus:
          state.Focus(procedure, a.id);
          break;
        case Action::Enter:
          state.PressEnter(procedure);
          break;
        case Action::Escape:
          state.PressEscape(procedure);
          break;
        case Action::Tab:
        case Action::TabBack:
          state.Tab(procedure, a.kind == Action::TabBack);
          settling = 2;  // the new focus is drawn, then taken by the widgets, before more keys
          break;
      }
    }
    if (closeBox && !state.Ended() && !OutsideEndRequested()) state.PressEscape(procedure);
    if (closeBox && !state.Ended()) opened = false;  // the procedure refused: show it again
  }
  m_Window.LeaveModal(wasModal);
  m_Window.Render();
  return state.Ended() ? state.Result() : -1;
}

}  // namespace platform::sdl
