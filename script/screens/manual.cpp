// The manual: four pages with previous, next (both wrapping) and close.
#include <string>

#include "app/frame/framestep.h"
#include "script/screens/screens.h"
#include "textscript/inputbits.h"

namespace {

enum ManualButton : int { MANUAL_PREVIOUS, MANUAL_NEXT, MANUAL_CLOSE };
constexpr int kPages = 4;
constexpr uint32_t kTransparent = 0x10000;

screens::MenuButton ManualButton(int32_t x, int32_t sheetY) {
  return screens::MenuButton{screens::FrameAt(0, sheetY, 50, 50), screens::FrameAt(56, sheetY, 50, 50),
                             platform::Point{x, 533}, platform::Rect{x, 533, x + 48, 581}};
}

}  // namespace

int RunManual(ssGroup* screen, IArchive* scriptArchive) {
  const screens::Image sheet = screens::LoadImage(scriptArchive, u"title/rm_parts");
  screens::Image page;
  const screens::Sprite<> pageSprite = screens::AddSprite(screen, nullptr, nullptr, 0, 0, 0);
  screens::ButtonMenu menu(screen, sheet.get(), {ManualButton(561, 56), ManualButton(635, 0), ManualButton(709, 112)},
                           kTransparent);
  int index = 0;
  for (;;) {
    pageSprite->SetImage(nullptr);
    page.reset();
    page = screens::LoadImage(scriptArchive, (u"title/rm_base" + std::u16string(1, char16_t(u'1' + index))).c_str());
    pageSprite->SetImage(page.get());
    pageSprite->SetSourceRect(nullptr);
    menu.Reset();
    for (;;) {
      WaitFrame();
      menu.Track();
      if (g_Input.pressed & INPUT_RBUTTON) return -1;
      const int chosen = menu.LeftPressed();
      if (chosen == MANUAL_CLOSE) return -1;
      if (chosen == MANUAL_PREVIOUS) {
        index = (index + kPages - 1) % kPages;
        break;
      }
      if (chosen == MANUAL_NEXT) {
        index = (index + 1) % kPages;
        break;
      }
    }
  }
}
