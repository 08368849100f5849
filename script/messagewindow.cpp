// The game's message window: its five button sprites and their hit rectangles.
#include "script/messagewindow.h"

#include <memory>

namespace {

constexpr int32_t kButtonWidth = 48;
constexpr int32_t kButtonHeight = 24;
constexpr int32_t kButtonX = 752;   // in the window and on the screen
constexpr int32_t kButtonTop = 40;  // in the window
constexpr int32_t kButtonScreenTop = kMessageWindowY + kButtonTop;
constexpr int32_t kFramesX = 752;  // in the "SYSTEM" picture
constexpr int32_t kFramesTop = 288;

constexpr DxDraw::FrameRecord ButtonFrame(int32_t i) {
  DxDraw::FrameRecord f;
  f.width = kButtonWidth;
  f.height = kButtonHeight;
  f.source = platform::Rect{kFramesX, kFramesTop + kButtonHeight * i, kFramesX + kButtonWidth,
                            kFramesTop + kButtonHeight * (i + 1)};
  return f;
}

struct ViewRelease {
  void operator()(ssView* v) const {
    if (v) v->Release();
  }
};

}  // namespace

const DxDraw::FrameRecord g_MessageButtonFrames[kMessageButtons] = {ButtonFrame(0), ButtonFrame(1), ButtonFrame(2),
                                                                    ButtonFrame(3), ButtonFrame(4)};

MessageWindow::MessageWindow(DxDraw::DxSurface* systemImage, int32_t width, int32_t height, int32_t left, int32_t right,
                             int32_t top, int32_t bottom)
    : TextScript::DxMessWindow(width, height, left, right, top, bottom) {
  for (int i = 0; i < kMessageButtons; ++i) {
    // Held until the window owns it, so that a failure here leaks nothing.
    std::unique_ptr<DxDraw::DxSprite, ViewRelease> button(
        new DxDraw::DxSprite(systemImage, &g_MessageButtonFrames[i], 0x10002));
    button->SetPosition(kButtonX, kButtonTop + kButtonHeight * i);
    button->m_Params.level = kButtonDimmed;
    button->MarkDirty(DxDraw::DIRTY_VISIBILITY);
    AddChild(button.get());
    m_pButtons[i] = button.release();
    m_ButtonRects[i] = platform::Rect{kButtonX, kButtonScreenTop + kButtonHeight * i, kButtonX + kButtonWidth,
                                      kButtonScreenTop + kButtonHeight * (i + 1)};
  }
}
