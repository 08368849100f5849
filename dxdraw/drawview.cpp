// Drawable views and groups: transforms, hit testing, extents, dirty tracking; the hover tracker.
#include "dxdraw/drawview.h"

#include <cmath>
#include <cstdint>

#include "dxdraw/screen.h"

namespace {

void ProjectPosition(const Matrix& m, const float pos[3], int32_t& x, int32_t& y) {
  int16_t p[2];
  m.Project(pos, p);
  x = p[0];
  y = p[1];
}

}  // namespace

int32_t TruncToInt32(double v) {
  if (v != v) return 0;
  v = std::trunc(v);
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// ---- DrawView ----

void DrawView::SetPosition(const platform::Point* point) {
  if (!point) return;
  m_Position[0] = static_cast<float>(point->x);
  m_Position[1] = static_cast<float>(point->y);
}

void DrawView::SetPosition(int x, int y) {
  m_Position[0] = static_cast<float>(x);
  m_Position[1] = static_cast<float>(y);
}

void DrawView::SetPosition(float x, float y) {
  m_Position[0] = x;
  m_Position[1] = y;
}

void DrawView::GetParentTransform(Matrix* m, TransformState* s) {
  *m = Matrix::Identity();
  s->Reset();
  if (GetParent())
    GetParent()->OnMessage(VM_GETTRANSFORM, reinterpret_cast<intptr_t>(m), reinterpret_cast<intptr_t>(s));
}

platform::Point DrawView::ScreenOrigin() {
  Matrix m;
  TransformState s;
  GetParentTransform(&m, &s);
  platform::Point p;
  ProjectPosition(m, m_Position, p.x, p.y);
  return p;
}

void DrawView::LocalToScreenPoints(platform::Point* points, int count) {
  if (!points || count <= 0) return;
  const platform::Point o = ScreenOrigin();
  for (int i = 0; i < count; ++i) {
    points[i].x += o.x;
    points[i].y += o.y;
  }
}

void DrawView::LocalToScreenRect(platform::Rect* rect) {
  if (!rect) return;
  const platform::Point o = ScreenOrigin();
  rect->left += o.x;
  rect->right += o.x;
  rect->top += o.y;
  rect->bottom += o.y;
}

void DrawView::ScreenToLocalPoints(platform::Point* points, int count) {
  if (!points || count <= 0) return;
  platform::Point o;
  LocalToScreenPoints(&o, 1);
  for (int i = 0; i < count; ++i) {
    points[i].x -= o.x;
    points[i].y -= o.y;
  }
}

void DrawView::ScreenToLocalRect(platform::Rect* rect) {
  if (!rect) return;
  platform::Point o;
  LocalToScreenPoints(&o, 1);
  rect->left -= o.x;
  rect->right -= o.x;
  rect->top -= o.y;
  rect->bottom -= o.y;
}

void DrawView::BuildMatrix(Matrix* m) {
  if (!m) return;
  if (m_TransformFlags & kApplyRotation2) m->Rotate(m_Rotation2[0], m_Rotation2[1], m_Rotation2[2]);
  m->Translate(m_Position);
  if (m_TransformFlags & kApplyRotation1) m->Rotate(m_Rotation1[0], m_Rotation1[1], m_Rotation1[2]);
  if (m_TransformFlags & kApplyScale) m->Scale(m_Scale);
  if (m_TransformFlags & kApplyPivot) m->Translate(-m_Pivot[0], -m_Pivot[1], -m_Pivot[2]);
}

void DrawView::AccumulateState(TransformState* s) {
  if (!s) return;
  for (int i = 0; i < 3; ++i) {
    s->v[i] += m_Position[i];
    s->v[3 + i] += m_Pivot[i];
    s->v[6 + i] *= m_Scale[i];
    s->v[9 + i] += static_cast<float>(m_Rotation1[i]);
    s->v[12 + i] += static_cast<float>(m_Rotation2[i]);
  }
}

void DrawView::RefreshTransformState() {
  m_State.Reset();
  m_pMatrix = g_MatrixStack.Current();
  if (GetParent())
    GetParent()->OnMessage(VM_GETSTATE, reinterpret_cast<intptr_t>(&m_pMatrix), reinterpret_cast<intptr_t>(&m_State));
}

uint32_t DrawView::OnMessage(uint32_t msg, intptr_t a, intptr_t b) {
  if (msg == VM_UPDATEHOOK) {
    if (m_pUpdateHook) m_pUpdateHook(this);
    return 0;
  }
  return ssView::OnMessage(msg, a, b);
}

void DrawView::Update() {
  if (m_pUpdateHook) m_pUpdateHook(this);
}

// ---- DrawGroup ----

void DrawGroup::GetExtent(platform::Rect* out) {
  if (!out) return;
  Matrix m;
  TransformState s;
  GetParentTransform(&m, &s);
  int32_t px, py;
  ProjectPosition(m, m_Position, px, py);
  out->left = px;
  out->top = py;
  out->right = TruncToInt32(px + std::trunc(static_cast<double>(static_cast<float>(m_Width) * m_Scale[0] * s.v[6])));
  out->bottom = TruncToInt32(py + std::trunc(static_cast<double>(static_cast<float>(m_Height) * m_Scale[1] * s.v[7])));
}

uint32_t DrawGroup::OnMessage(uint32_t msg, intptr_t a, intptr_t b) {
  switch (msg) {
    case VM_UPDATEHOOK:
      if (m_pUpdateHook) m_pUpdateHook(this);
      return 0;
    case VM_GETSTATE:
      if (b) *reinterpret_cast<TransformState*>(b) = m_State;
      if (a) *reinterpret_cast<Matrix**>(a) = m_pMatrix;
      return 0;
    case VM_GETTRANSFORM:
      if (GetParent()) GetParent()->OnMessage(VM_GETTRANSFORM, a, b);
      BuildMatrix(reinterpret_cast<Matrix*>(a));
      AccumulateState(reinterpret_cast<TransformState*>(b));
      return 0;
    case VM_HITTEST: {
      if (!IsShown() || !a) return 0;
      auto* pt = reinterpret_cast<platform::Point*>(a);
      const platform::Point original = *pt;
      pt->x = TruncToInt32(double(pt->x) - double(TruncToInt32(m_Position[0])));
      pt->y = TruncToInt32(double(pt->y) - double(TruncToInt32(m_Position[1])));
      if (b) *reinterpret_cast<intptr_t*>(b) = 0;
      for (ssView* c = GetLastChild(); c; c = GetPrevSibling(c)) {
        c->OnMessage(VM_HITTEST, a, b);
        if (b && *reinterpret_cast<intptr_t*>(b) != 0) return 1;
      }
      *pt = original;
      return 0;
    }
    default:
      return ssGroup::OnMessage(msg, a, b);
  }
}

void DrawGroup::Update() {
  if (m_pUpdateHook) m_pUpdateHook(this);
  ssGroup::Update();
}

DrawCover DrawGroup::CoverOf(const platform::Rect& rect, const DxDraw::DxSurface* target) const {
  return IsShown() ? ssGroup::CoverOf(rect, target) : DrawCover::None;
}

void DrawGroup::Draw(DxDraw::DrawTarget* target) {
  if (!IsShown()) return;
  RefreshTransformState();
  AccumulateState(&m_State);
  Matrix* m = m_pMatrix;
  const Matrix saved = *m;
  const bool pushed = g_MatrixStack.Push(*m);
  BuildMatrix(m);
  ssGroup::Draw(target);
  if (!pushed || !g_MatrixStack.Pop(*m)) *m = saved;
}

// ---- HitTracker ----

void HitTracker::Init() {
  *this = HitTracker();
}

int32_t HitTracker::Update(const platform::Rect* rects, int count, int x, int y, DrawView* view) {
  if (view) {
    platform::Point p{x, y};
    view->ScreenToLocalPoints(&p, 1);
    x = p.x;
    y = p.y;
  }
  changed = 0;
  hit = FindRectAt(rects, count, x, y);
  // The point is remembered on every call, so that a cursor resting over a button keeps a hover
  // that the keyboard moved elsewhere.
  const bool still = x == lastX && y == lastY;
  lastX = x;
  lastY = y;
  if (hit != -1 && hit != lastHit) {
    prevHover = hover;
    if (hover != hit) changed = 1;
    hover = hit;
    lastHit = hit;
    return hit;
  }
  if (hit != -1) {
    if (still) return hover;
    prevHover = hover;
    if (hover != hit) changed = 1;
    hover = hit;
    return hit;
  }
  if (lastHit != -1) {
    prevHover = hover;
    lastHit = -1;
    hover = -1;
    changed = 1;
  }
  return hover;
}

// ---- dirty tracking ----

namespace DxDraw {

void DxDrawView::SetPosition(int x, int y) {
  DrawView::SetPosition(x, y);
  MarkDirty(DIRTY_MOVED);
}

void DxDrawView::SetPosition(float x, float y) {
  DrawView::SetPosition(x, y);
  MarkDirty(DIRTY_MOVED);
}

void DxDrawView::SetPosition(const platform::Point* point) {
  if (point) SetPosition(static_cast<float>(point->x), static_cast<float>(point->y));
}

void DxDrawView::GetBounds(platform::Rect* out) {
  if (!out) return;
  const int32_t x = TruncToInt32(m_Position[0]), y = TruncToInt32(m_Position[1]);
  *out = platform::Rect{x, y, x, y};
}

void DxDrawView::SetFlags(uint16_t mask, bool on) {
  ssView::SetFlags(mask, on);
  if (mask == kShown) MarkDirty(DIRTY_VISIBILITY);
}

uint32_t DxDrawView::OnMessage(uint32_t msg, intptr_t a, intptr_t b) {
  switch (msg) {
    case VM_ATTACHED:
      MarkDirty(DIRTY_VISIBILITY);
      return 1;
    case VM_DETACHED:
      if (!m_DrawnRect.IsEmpty() && GetParent())
        GetParent()->OnMessage(VM_INVALIDATE, reinterpret_cast<intptr_t>(&m_DrawnRect), 0);
      return 1;
    case VM_COLLECTDIRTY: {
      auto* list = reinterpret_cast<DirtyRectList*>(b);
      if (list && !m_DrawnRect.IsEmpty() && m_DirtyMask) list->Add(m_DrawnRect);
      RefreshTransformState();
      m_NewRect = platform::Rect();
      GetDrawRect(reinterpret_cast<ssView*>(a), &m_NewRect);
      if (list && !m_NewRect.IsEmpty() && m_DirtyMask) list->Add(m_NewRect);
      return 1;
    }
    case VM_COMMIT:
      m_DrawnRect = m_NewRect;
      m_DirtyMask = 0;
      return 1;
    case VM_CHANGED:
      MarkDirty(static_cast<uint32_t>(a));
      return 1;
    default:
      return DrawView::OnMessage(msg, a, b);
  }
}

void DxDrawGroup::SetPosition(int x, int y) {
  DrawView::SetPosition(x, y);
  OnMessage(VM_CHANGED, DIRTY_MOVED, 0);
}

void DxDrawGroup::SetPosition(float x, float y) {
  DrawView::SetPosition(x, y);
  OnMessage(VM_CHANGED, DIRTY_MOVED, 0);
}

void DxDrawGroup::SetPosition(const platform::Point* point) {
  if (point) SetPosition(static_cast<float>(point->x), static_cast<float>(point->y));
}

void DxDrawGroup::SetFlags(uint16_t mask, bool on) {
  ssView::SetFlags(mask, on);
  if (mask == kShown) OnMessage(VM_CHANGED, DIRTY_VISIBILITY, 0);
}

uint32_t DxDrawGroup::OnMessage(uint32_t msg, intptr_t a, intptr_t b) {
  switch (msg) {
    case VM_COLLECTDIRTY: {
      RefreshTransformState();
      AccumulateState(&m_State);
      Matrix* m = m_pMatrix;
      const Matrix saved = *m;
      const bool pushed = g_MatrixStack.Push(*m);
      BuildMatrix(m);
      for (ssView* c = GetFirstChild(); c; c = GetNextSibling(c)) c->OnMessage(msg, a, b);
      if (!pushed || !g_MatrixStack.Pop(*m)) *m = saved;
      return 1;
    }
    case VM_COMMIT:
      for (ssView* c = GetFirstChild(); c; c = GetNextSibling(c)) c->OnMessage(msg, a, b);
      return 1;
    case VM_CHANGED:
      for (ssView* c = GetFirstChild(); c; c = GetNextSibling(c)) c->OnMessage(msg, a, 0);
      return 1;
    case VM_INVALIDATE:
      if (GetParent()) GetParent()->OnMessage(msg, a, b);
      return 1;
    default:
      return DrawGroup::OnMessage(msg, a, b);
  }
}

}  // namespace DxDraw
