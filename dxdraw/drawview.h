// Drawable views and groups: position, pivot, scale and two rotations composed into the current
// matrix; the dirty-tracking leaf and group; and the hover tracker of button rectangles.
#pragma once

#include <cstdint>

#include "dxdraw/matrix.h"
#include "dxdraw/view.h"
#include "lib/utility.h"
#include "platform/geometry.h"

// Transforms accumulated over a view and its ancestors: position sums, pivot sums, scale
// products, rotation-1 sums, rotation-2 sums.
struct TransformState {
  float v[15] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0};
  void Reset() { *this = TransformState(); }
};

// v truncated toward zero and kept within 32 bits (NaN gives 0): positions and scales are the
// game's floats, and a conversion beyond the range would be undefined.
int32_t TruncToInt32(double v);

class DrawView : public virtual ssView {
 public:
  static constexpr uint32_t kApplyPivot = 1, kApplyScale = 2, kApplyRotation1 = 4, kApplyRotation2 = 8;
  using UpdateHook = void (*)(DrawView* view);

  DrawView() = default;

  virtual void SetPosition(const platform::Point* point);
  virtual void SetPosition(int x, int y);
  virtual void SetPosition(float x, float y);
  virtual void GetExtent(platform::Rect* out) { (void)out; }
  virtual void LocalToScreenPoints(platform::Point* points, int count);
  virtual void LocalToScreenRect(platform::Rect* rect);
  virtual void ScreenToLocalPoints(platform::Point* points, int count);
  virtual void ScreenToLocalRect(platform::Rect* rect);
  virtual void BuildMatrix(Matrix* m);
  virtual void AccumulateState(TransformState* s);

  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override;
  void Update() override;

  // Takes the matrix pointer and the accumulated state from the parent (neutral without one).
  void RefreshTransformState();
  // The composed transform of the ancestors (identity and neutral without a parent).
  void GetParentTransform(Matrix* m, TransformState* s);

  UpdateHook m_pUpdateHook = nullptr;
  Matrix* m_pMatrix = g_MatrixStack.Current();
  float m_Position[3] = {0, 0, 0};
  float m_Pivot[3] = {0, 0, 0};
  float m_Scale[3] = {1, 1, 1};
  int32_t m_Rotation1[3] = {0, 0, 0};
  int32_t m_Rotation2[3] = {0, 0, 0};
  uint32_t m_TransformFlags = kApplyPivot | kApplyScale;
  TransformState m_State;

 protected:
  // The view's position projected through its ancestors' transforms.
  platform::Point ScreenOrigin();
};

class DrawGroup : public DrawView, public virtual ssGroup {
 public:
  DrawGroup() = default;

  void GetExtent(platform::Rect* out) override;
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override;
  void Update() override;
  void Draw(DxDraw::DrawTarget* target) override;
  DrawCover CoverOf(const platform::Rect& rect, const DxDraw::DxSurface* target) const override;

  int16_t m_Width = 0;
  int16_t m_Height = 0;
};

// Follows which of a screen's button rectangles the mouse is over.
struct HitTracker {
  int32_t hit = -2;
  int32_t lastHit = -2;
  int32_t prevHover = -1;
  int32_t hover = -1;
  uint32_t changed = 0;
  int32_t lastX = -1;
  int32_t lastY = -1;

  void Init();
  // rects in screen coordinates, or local to view when one is given; returns the hover.
  int32_t Update(const platform::Rect* rects, int count, int x, int y, DrawView* view);
};

// FindRectAt (the first rectangle holding a point) is the foundation's, in lib/utility.h.

namespace DxDraw {

class DirtyRectList;

// Dirty bits: moved; the shown image's pixels changed; attached, shown, hidden or source replaced.
enum : uint32_t { DIRTY_MOVED = 1, DIRTY_PIXELS = 8, DIRTY_VISIBILITY = 16 };

// A leaf that remembers where it was last presented and what changed since.
class DxDrawView : public DrawView {
 public:
  DxDrawView() = default;

  using DrawView::SetPosition;
  void SetPosition(int x, int y) override;
  void SetPosition(float x, float y) override;
  void SetPosition(const platform::Point* point) override;

  virtual void GetBounds(platform::Rect* out);
  virtual void GetDrawRect(ssView* screen, platform::Rect* out) {
    (void)screen;
    (void)out;
  }
  virtual uint32_t MarkDirty(uint32_t bits) { return m_DirtyMask |= bits; }

  void SetFlags(uint16_t mask, bool on) override;
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override;

  uint32_t m_DirtyMask = 0;
  platform::Rect m_DrawnRect;
  platform::Rect m_NewRect;
};

// A group that passes the dirty-rectangle messages down and the invalidation up.
class DxDrawGroup : public DrawGroup {
 public:
  DxDrawGroup() = default;

  using DrawGroup::SetPosition;
  void SetPosition(int x, int y) override;
  void SetPosition(float x, float y) override;
  void SetPosition(const platform::Point* point) override;

  void SetFlags(uint16_t mask, bool on) override;
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override;
};

}  // namespace DxDraw
