// The screen surface at the root of the view tree: collects what changed, clears and redraws it in
// the back surface, and presents it through the platform's presenter; the dirty-rectangle list.
#pragma once

#include <cstdint>
#include <memory>

#include "dxdraw/drawview.h"
#include "dxdraw/surface.h"
#include "lib/combase.h"
#include "platform/geometry.h"
#include "platform/present.h"

namespace DxDraw {

class DxSprite;

// What every Draw receives: the display, the surface to draw into, the window to present to,
// and the rectangle drawing is limited to.
struct DrawTarget {
  void* display = nullptr;
  DxSurface* surface = nullptr;
  platform::Presenter* window = nullptr;
  platform::Rect clip;
};

// Up to 500 rectangles, or (mode 0) one union of everything added.
class DirtyRectList {
 public:
  static constexpr uint32_t kCapacity = 500;

  // Adds r (an empty rectangle is ignored); returns the count. In list mode a rectangle inside
  // a listed one is dropped and listed ones inside r are emptied; a full list collapses into the
  // union of all its entries and r, so no area is ever lost.
  uint32_t Add(const platform::Rect& r);
  void Clear(uint32_t mode) {
    m_Count = 0;
    m_Mode = mode;
  }
  uint32_t Count() const { return m_Count; }
  uint32_t Mode() const { return m_Mode; }
  const platform::Rect& operator[](uint32_t i) const { return m_Rects[i]; }

 private:
  uint32_t m_Count = 0;
  uint32_t m_Mode = 0;
  platform::Rect m_Rects[kCapacity];
};

class DxScreenSurface : public DxDrawGroup {
 public:
  DxScreenSurface(DxSurface* cursorImage, const platform::Rect* cursorRect);
  ~DxScreenSurface() override;

  virtual int SetSize(int32_t width, int32_t height);
  virtual DxSurface* CloneSurface();
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override;

  // Collects the changed rectangles, clears and redraws each in the back surface and presents it.
  // full: repaint the whole screen.
  void Present(platform::Presenter* window, bool full, DrawTarget* target);

  DirtyRectList* GetDirtyList() const { return m_pList.get(); }
  DxSurface* GetBackSurface() const { return m_pBack.Get(); }
  DxSprite* GetCursorSprite() const { return m_pCursor.get(); }
  const platform::Rect& GetScreenRect() const { return m_ScreenRect; }

  uint32_t m_ListMode = 0;
  uint32_t m_SkipFrames = 0;
  uint32_t m_SkipCount = 0;

 protected:
  void ReplaceBack(DxSurface* surface);

  struct ReleaseView {
    void operator()(ssView* v) const { v->Release(); }
  };
  std::unique_ptr<DxSprite, ReleaseView> m_pCursor;
  std::unique_ptr<DirtyRectList> m_pList;
  ComRef<DxSurface> m_pBack;
  platform::Rect m_ScreenRect;
};

class DxScreenSurface32 : public DxScreenSurface {
 public:
  DxScreenSurface32(DxSurface* cursorImage = nullptr, const platform::Rect* cursorRect = nullptr)
      : DxScreenSurface(cursorImage, cursorRect) {}

  int SetSize(int32_t width, int32_t height) override;
  DxSurface* CloneSurface() override;
  // Once per frame: presents unless this frame is skipped (one frame in m_SkipFrames + 1).
  void Draw(DrawTarget* target) override;
};

}  // namespace DxDraw
