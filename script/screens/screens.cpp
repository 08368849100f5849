// The screens' shared pieces: images and sprites by name, the button menus, and the game's set of
// screens over them.
#include "script/screens/screens.h"

#include "app/frame/framestep.h"
#include "script/images.h"
#include "textscript/inputbits.h"

namespace screens {

Image LoadImage(IArchive* archive, const char16_t* name) {
  return Image(LoadScriptImage(archive, name, false, false));
}

Sprite<> AddSprite(ssGroup* screen, DxDraw::DxSurface* image, const DxDraw::FrameRecord* frame, uint32_t mode,
                   int32_t x, int32_t y) {
  Sprite<> sprite(new DxDraw::DxSprite(image, frame, mode));
  sprite->SetPosition(x, y);
  screen->AddChild(sprite.get());
  return sprite;
}

void SetBlit(DxDraw::DxSprite& sprite, uint32_t mode, uint32_t level) {
  sprite.m_Params.mode = mode;
  sprite.m_Params.level = level;
  sprite.MarkDirty(DxDraw::DIRTY_VISIBILITY);
}

DxDraw::FrameRecord FrameAt(int32_t left, int32_t top, int32_t w, int32_t h) {
  DxDraw::FrameRecord f;
  f.width = int16_t(w);
  f.height = int16_t(h);
  f.source = platform::Rect{left, top, left + w, top + h};
  return f;
}

ButtonMenu::ButtonMenu(ssGroup* screen, DxDraw::DxSurface* image, const std::vector<MenuButton>& buttons, uint32_t mode)
    : m_Buttons(buttons) {
  for (const MenuButton& b : m_Buttons) {
    m_Hits.push_back(b.hit);
    m_Sprites.push_back(AddSprite(screen, image, &b.normal, mode, b.at.x, b.at.y));
  }
}

void ButtonMenu::Reset() {
  for (size_t i = 0; i < m_Buttons.size(); ++i) SetNormal(int(i));
  m_Tracker.Init();
  m_Hover = -1;
  m_Hit = -1;
}

int ButtonMenu::Track() {
  m_Hit = m_Tracker.Update(m_Hits.data(), int(m_Hits.size()), g_Input.x, g_Input.y, nullptr);
  if (m_Hit != m_Hover) {
    if (m_Hover >= 0) SetNormal(m_Hover);
    if (m_Hit >= 0) m_Sprites[size_t(m_Hit)]->SetSourceRect(&m_Buttons[size_t(m_Hit)].lit);
    m_Hover = m_Hit;
  }
  return m_Hit;
}

int ButtonMenu::LeftPressed() const {
  return (g_Input.pressed & INPUT_LBUTTON) ? m_Hit : -1;
}

void ButtonMenu::SetNormal(int button) {
  m_Sprites[size_t(button)]->SetSourceRect(&m_Buttons[size_t(button)].normal);
}

void ButtonMenu::Show(bool shown) {
  for (Sprite<>& s : m_Sprites) shown ? s->Show() : s->Hide();
}

}  // namespace screens

void GameScreenSet::ShowBacklog() {
  m_Parts.extras->ShowBacklog();
}

int GameScreenSet::RunTitle() {
  return ::RunTitle(m_Parts);
}

void GameScreenSet::RunEndingRoll() {
  ::RunEndingRoll(m_Parts.screen, m_Parts.scriptArchive);
}

void TimedNotices::ShowNotice(const char16_t* text, uint32_t ms) {
  ShowTimedNotice(m_pScreen, m_pSystemImage, text, ms);
}
