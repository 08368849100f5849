// The extras menu over the title's background: the CG album, the scene replay and return.
#include "app/frame/framestep.h"
#include "script/layout.h"
#include "script/screens/screens.h"
#include "script/sounds.h"
#include "textscript/inputbits.h"

namespace {

enum ExtraButton : int { EXTRA_ALBUM, EXTRA_REPLAY, EXTRA_RETURN };
constexpr int32_t kExtrasColumn = 512;

// While a sub-screen runs alone the menu and the title's background are hidden; both come back
// on every way out of it.
class HiddenBehind {
 public:
  HiddenBehind(screens::ButtonMenu& menu, DxDraw::DxSprite* background) : m_Menu(menu), m_pBackground(background) {
    m_Menu.Show(false);
    if (m_pBackground) m_pBackground->Hide();
  }
  ~HiddenBehind() {
    if (m_pBackground) m_pBackground->Show();
    m_Menu.Show(true);
  }
  HiddenBehind(const HiddenBehind&) = delete;
  HiddenBehind& operator=(const HiddenBehind&) = delete;

 private:
  screens::ButtonMenu& m_Menu;
  DxDraw::DxSprite* m_pBackground;
};

}  // namespace

int RunExtraMenu(const ScreenParts& parts, DxDraw::DxSurface* titleImage, DxDraw::DxSprite* background) {
  screens::ButtonMenu menu(
      parts.screen, titleImage,
      {screens::TitleSheetButton(0, kExtrasColumn, 0), screens::TitleSheetButton(1, kExtrasColumn, 1),
       screens::TitleSheetButton(5, kExtrasColumn, 5)},
      0);
  for (;;) {
    menu.Reset();
    int chosen = -1;
    while (chosen < 0) {
      WaitFrame();
      menu.Track();
      // A right press anywhere goes back; no key chooses.
      chosen = (g_Input.pressed & INPUT_RBUTTON) ? EXTRA_RETURN : menu.LeftPressed();
    }
    if (chosen == EXTRA_RETURN) return -1;
    {
      HiddenBehind hidden(menu, background);
      if (chosen == EXTRA_ALBUM) {
        parts.extras->RunCGAlbum();
        // The album plays its own music; the title's comes back after it.
        PlayBgmOrVoice(SOUND_BGM, g_TitleBgm.c_str(), false);
      } else {
        parts.extras->RunScenePlay();
      }
    }
  }
}
