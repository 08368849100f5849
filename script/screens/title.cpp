// The title screen: the title sheet's background and six buttons, its music and fades, what each
// button leads to, and the transfers that end it.
#include <memory>
#include <optional>
#include <string>

#include "app/frame/framestep.h"
#include "script/layout.h"
#include "script/scenario.h"
#include "script/screens/screens.h"
#include "script/sounds.h"
#include "sound/sound.h"
#include "textscript/inputbits.h"

namespace {

enum TitleButton : int { TITLE_MANUAL, TITLE_START, TITLE_LOAD, TITLE_SETTINGS, TITLE_EXTRAS, TITLE_EXIT };
constexpr int kTitleButtons = 6;
constexpr uint32_t kCopy = 0, kBright = 1;
constexpr uint32_t kFadeStep = 17;  // 16 frames from 0 to 255

constexpr char16_t kPrologueQuestion[] = u"プロローグをスキップしますか？";

// The music stops when the title goes, on every way out.
struct TitleMusic {
  TitleMusic() { PlayBgmOrVoice(SOUND_BGM, g_TitleBgm.c_str(), false); }
  ~TitleMusic() { Sound::StopChannel(SOUND_BGM); }
  TitleMusic(const TitleMusic&) = delete;
  TitleMusic& operator=(const TitleMusic&) = delete;
};

class TitleScreen {
 public:
  explicit TitleScreen(const ScreenParts& parts)
      : m_Parts(parts), m_Image(screens::LoadImage(parts.scriptArchive, u"title/title")) {
    const DxDraw::FrameRecord background = screens::FrameAt(0, 0, 800, 600);
    m_Background = screens::AddSprite(parts.screen, m_Image.get(), &background, kCopy, 0, 0);
    std::vector<screens::MenuButton> buttons;
    for (int slot = 0; slot < kTitleButtons; ++slot) buttons.push_back(screens::TitleSheetButton(slot, 0, slot));
    m_Buttons = std::make_unique<screens::ButtonMenu>(parts.screen, m_Image.get(), buttons, kCopy);
  }

  // From black to the picture; then plain copies again.
  void FadeIn() {
    for (uint32_t level = 0; level <= 255; level += kFadeStep) {
      SetAll(kBright, level);
      WaitFrame();
    }
    SetAll(kCopy, 255);
  }

  // From the picture to black, always to its end: a transfer raised meanwhile is kept in
  // `transfer` (the latest one wins) and the fade goes on.
  void FadeOut(std::optional<int32_t>& transfer) {
    for (int32_t level = 255; level >= 0; level -= int32_t(kFadeStep)) {
      SetAll(kBright, uint32_t(level));
      try {
        WaitFrame();
      } catch (const ScriptException& e) {
        transfer = e.m_Code;
      }
    }
  }

  // The menu until a button ends the title: 0 exit, 1 start, n >= 2 load slot n - 1.
  int Menu() {
    for (;;) {
      m_Buttons->Reset();
      int chosen = -1;
      while (chosen < 0) {
        WaitFrame();
        m_Buttons->Track();
        chosen = m_Buttons->LeftPressed();
      }
      switch (chosen) {
        case TITLE_MANUAL:
          WithButtonsHidden([&] { RunManual(m_Parts.screen, m_Parts.scriptArchive); });
          break;
        case TITLE_START:
          g_PrologueSkip = 0;
          if (m_Parts.prologue->IsPrologueSeen()) g_PrologueSkip = GameOptions().AskYesNo(kPrologueQuestion) ? 1 : 0;
          return 1;
        case TITLE_LOAD:
          if (const int index = m_Parts.dialogs->RunLoadDialog(); index >= 0) return index + 2;
          break;
        case TITLE_SETTINGS:
          WithButtonsHidden([&] { RunTitleConfig(m_Parts, m_Image.get()); });
          break;
        case TITLE_EXTRAS:
          WithButtonsHidden([&] { RunExtraMenu(m_Parts, m_Image.get(), m_Background.get()); });
          break;
        default:
          return 0;
      }
    }
  }

 private:
  void SetAll(uint32_t mode, uint32_t level) {
    screens::SetBlit(*m_Background, mode, level);
    for (size_t i = 0; i < m_Buttons->Count(); ++i) screens::SetBlit(m_Buttons->SpriteOf(int(i)), mode, level);
  }

  // A sub-screen over the background alone; the buttons come back after it.
  template <class F>
  void WithButtonsHidden(F run) {
    m_Buttons->Show(false);
    run();
    m_Buttons->Show(true);
  }

  const ScreenParts& m_Parts;
  TitleMusic m_Music;
  screens::Image m_Image;
  screens::Sprite<> m_Background;
  std::unique_ptr<screens::ButtonMenu> m_Buttons;
};

}  // namespace

namespace screens {

MenuButton TitleSheetButton(int slot, int32_t column, int row) {
  const int32_t x = g_TitleMenuPos.x, y = g_TitleMenuPos.y + 48 * slot;
  return MenuButton{FrameAt(column, 608 + 48 * row, 248, 40), FrameAt(column, 896 + 48 * row, 248, 40),
                    platform::Point{x, y}, platform::Rect{x, y, x + 248, y + 40}};
}

}  // namespace screens

int RunTitle(const ScreenParts& parts) {
  TitleScreen title(parts);
  // A transfer during the fade in or the menu ends the title; one during the fade out replaces
  // the result chosen. Quits and errors pass through, the title released on the way.
  std::optional<int32_t> transfer;
  int result = -1;
  try {
    title.FadeIn();
    result = title.Menu();
  } catch (const ScriptException& e) {
    transfer = e.m_Code;
  }
  title.FadeOut(transfer);
  if (!transfer) return result;
  return *transfer == 1 ? g_PendingLoadSlot + 2 : -1;
}

void SplitCommaList(std::vector<std::u16string>& list, const char16_t* text) {
  list.clear();
  list.reserve(20);
  const std::u16string_view all = text ? text : u"";
  size_t start = 0;
  for (;;) {
    const size_t comma = all.find(u',', start);
    if (comma == std::u16string_view::npos) break;
    list.emplace_back(all.substr(start, comma - start));
    start = comma + 1;
  }
  list.emplace_back(all.substr(start));
}
