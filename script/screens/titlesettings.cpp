// The title's settings menu: system settings, sound settings, player name and return.
#include "app/frame/framestep.h"
#include "script/screens/screens.h"
#include "textscript/inputbits.h"

namespace {

enum ConfigButton : int { CONFIG_SYSTEM, CONFIG_SOUND, CONFIG_NAME, CONFIG_RETURN };
constexpr int32_t kConfigColumn = 256;

}  // namespace

void RunTitleConfig(const ScreenParts& parts, DxDraw::DxSurface* titleImage) {
  screens::ButtonMenu menu(
      parts.screen, titleImage,
      {screens::TitleSheetButton(0, kConfigColumn, 0), screens::TitleSheetButton(1, kConfigColumn, 1),
       screens::TitleSheetButton(2, kConfigColumn, 2), screens::TitleSheetButton(5, kConfigColumn, 5)},
      0);
  for (;;) {
    menu.Reset();
    int chosen = -1;
    while (chosen < 0) {
      WaitFrame();
      menu.Track();
      // A right press returns, also over a button.
      chosen = (g_Input.pressed & INPUT_RBUTTON) ? CONFIG_RETURN : menu.LeftPressed();
    }
    if (chosen == CONFIG_RETURN) return;
    // The button shows its normal frame behind the dialog.
    menu.SetNormal(chosen);
    WaitFrame();
    if (chosen == CONFIG_SYSTEM)
      parts.dialogs->SystemSettingsDialog();
    else if (chosen == CONFIG_SOUND)
      parts.dialogs->SoundSettingsDialog();
    else
      parts.dialogs->PlayerNameDialog();
  }
}
