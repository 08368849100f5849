// The message window: a dirty-tracking group with a half-transparent backdrop and the message view
// inside its margins, opened and closed through frame tasks.
#pragma once

#include <cstdint>

#include "dxdraw/drawview.h"
#include "dxdraw/sprite.h"
#include "textscript/messview.h"

struct ACT;

namespace TextScript {

class DxMessWindow : public DxDraw::DxDrawGroup {
 public:
  // The view fills the window less the margins; margins that leave no room for it are refused
  // (ExceptionHandle, nothing is created). antialiased: the view renders at four times the size.
  DxMessWindow(int32_t width, int32_t height, int32_t left, int32_t right, int32_t top, int32_t bottom,
               int32_t antialiased = 0);

  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override;

  DxDraw::DxSurfaceSprite32* GetBackground() const { return m_pBackground; }
  DxMessView2* GetView() const { return m_pView; }

  // Both are children of the window (drawn and released by the tree).
  DxDraw::DxSurfaceSprite32* m_pBackground = nullptr;
  DxMessView2* m_pView = nullptr;
  uint32_t m_EffectStyle = 0;  // 0: opening and closing take effect at once
  // Words the game keeps with its window (its per-character delay and flags).
  uint32_t m_GameWord0 = 0;
  uint32_t m_GameWord1 = 1;
  uint32_t m_GameWord2 = 0;
  void* m_pGameData = nullptr;
};

// The open and close tasks (not attached to a level); the state word is -1 once they took effect.
// The caller frees them with FreeACT.
ACT* StartMessageWindowOpen(DxMessWindow* window);
ACT* StartMessageWindowClose(DxMessWindow* window);
// Closes the window and waits frames until the close has taken effect; the task is freed on
// every way out.
void CloseMessageWindowAndWait(DxMessWindow* window);

}  // namespace TextScript
