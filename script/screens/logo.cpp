// The brand logo shown once at start: faded in, held, faded out, each part cut short by a click.
#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "script/screens/screens.h"
#include "textscript/inputbits.h"

namespace {

constexpr uint32_t kBlend = 2;
constexpr uint32_t kHoldMs = 5000;
constexpr int32_t kFadeStep = 4;

// One fade from level `from` to `to` in steps of 4, ending with a frame at `to`; a newly pressed
// left button after a frame jumps to `to` at once.
void Fade(DxDraw::DxSprite& sprite, int32_t from, int32_t to) {
  const int32_t step = to > from ? kFadeStep : -kFadeStep;
  for (int32_t level = from;; level += step) {
    const bool last = step > 0 ? level >= to : level <= to;
    if (last) level = to;
    screens::SetBlit(sprite, kBlend, uint32_t(level));
    WaitFrame();
    if (last) return;
    if (g_Input.pressed & INPUT_LBUTTON) {
      screens::SetBlit(sprite, kBlend, uint32_t(to));
      return;
    }
  }
}

}  // namespace

void ShowBrandLogo(ssGroup* screen, IArchive* scriptArchive) {
  ShowBrandLogo(screen, screens::LoadImage(scriptArchive, u"brand"));
}

void ShowBrandLogo(ssGroup* screen, screens::Image logo) {
  const screens::Sprite<> sprite = screens::AddSprite(screen, logo.get(), nullptr, kBlend, 0, 0);
  Fade(*sprite, 0, 255);
  WaitTime(kHoldMs, WAIT_CLICK);
  Fade(*sprite, 255, 0);
}
