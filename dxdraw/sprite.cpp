// Sprites: placement, partial repaint of changed source pixels, hit testing and drawing.
#include "dxdraw/sprite.h"

#include <cmath>

#include "dxdraw/screen.h"

namespace DxDraw {

namespace {

FrameRecord WholeFrame(DxSurface* s, uint32_t extra) {
  FrameRecord f;
  f.width = static_cast<int16_t>(s->GetWidth());
  f.height = static_cast<int16_t>(s->GetAbsHeight());
  f.source = platform::Rect{0, 0, s->GetWidth(), s->GetAbsHeight()};
  f.extra = extra;
  return f;
}

}  // namespace

DxSprite::DxSprite(DxSurface* source, const FrameRecord* frame, uint32_t mode) : m_pSource(source) {
  if (frame)
    m_Frame = *frame;
  else if (source)
    m_Frame = WholeFrame(source, 0);
  m_Frame.extra = frame ? frame->extra : 0;
  m_Params.mode = mode;
  m_Params.level = 32;
}

DxSprite::~DxSprite() {
  if (m_OwnsSource && m_pSource) m_pSource->Release();
}

void DxSprite::SetImage(DxSurface* surface) {
  if (surface == m_pSource) return;
  if (m_OwnsSource && m_pSource) m_pSource->Release();
  m_pSource = surface;
  MarkDirty(DIRTY_VISIBILITY);
  m_OwnsSource = 0;
}

void DxSprite::SetSourceRect(const FrameRecord* frame) {
  if (frame) {
    m_Frame = *frame;
  } else {
    if (!m_pSource) return;
    m_Frame = WholeFrame(m_pSource, m_Frame.extra);
  }
  OnMessage(VM_CHANGED, DIRTY_VISIBILITY, 0);
}

void DxSprite::GetSourceRect(FrameRecord* out) const {
  if (out) *out = m_Frame;
}

void DxSprite::GetDrawRect(ssView* screen, platform::Rect* out) {
  (void)screen;
  if (!out || !IsShown()) return;
  int16_t p[2];
  m_pMatrix->Project(m_Position, p);
  out->left = p[0] - m_Frame.anchorX;
  out->top = p[1] - m_Frame.anchorY;
  out->right = out->left + m_Frame.width;
  out->bottom = out->top + m_Frame.height;
}

void DxSprite::Draw(DrawTarget* target) {
  if (!IsShown() || !m_pSource || !target || !target->surface) return;
  const platform::Rect clip = IntersectRect(m_NewRect, target->clip);
  if (clip.IsEmpty()) return;
  target->surface->Blt(m_NewRect.left, m_NewRect.top, m_pSource, &m_Frame.source, &clip, &m_Params);
}

DrawCover DxSprite::CoverOf(const platform::Rect& rect, const DxSurface* target) const {
  if (!IsShown() || !m_pSource || !m_pSource->GetBits() || IntersectRect(m_NewRect, rect).IsEmpty())
    return DrawCover::None;
  // A copy without the source's transparency and channel masks writes the source's bytes as they
  // are (its transparency byte included), so what was under them does not matter.
  const uint32_t mode = m_Params.mode;
  const bool plainCopy = (mode & 0xFF) == kBltCopy && !(mode & (kBltSrcAlpha | kBltKeyOrMask));
  if (!plainCopy || !target || target->GetDepth() != 32 || m_pSource->GetDepth() != 32) return DrawCover::Partial;
  // Where Draw's blit lands: the source rectangle kept inside the source, from the drawn corner.
  const platform::Rect& sr = m_Frame.source;
  const platform::Rect s = IntersectRect(IntersectRect(sr, m_pSource->GetClipRect()), m_pSource->Bounds());
  if (s.IsEmpty()) return DrawCover::Partial;
  const int32_t left = m_NewRect.left + (s.left - sr.left), top = m_NewRect.top + (s.top - sr.top);
  const platform::Rect lands = IntersectRect(platform::Rect{left, top, left + s.Width(), top + s.Height()}, m_NewRect);
  const bool covers =
      lands.left <= rect.left && lands.top <= rect.top && lands.right >= rect.right && lands.bottom >= rect.bottom;
  return covers ? DrawCover::Whole : DrawCover::Partial;
}

void DxSprite::AddDirtyPart(const platform::Rect& rect, DirtyRectList* list) {
  if (m_DirtyMask == DIRTY_PIXELS && m_pSource) {
    const platform::Rect u = IntersectRect(m_pSource->GetUpdateRect(), m_Frame.source);
    if (u.IsEmpty()) return;
    const int32_t left = rect.left + u.left - m_Frame.source.left, top = rect.top + u.top - m_Frame.source.top;
    list->Add(platform::Rect{left, top, left + u.Width(), top + u.Height()});
  } else {
    list->Add(rect);
  }
}

uint32_t DxSprite::OnMessage(uint32_t msg, intptr_t a, intptr_t b) {
  switch (msg) {
    case VM_HITTEST: {
      if (!IsShown() || !m_pSource || !a) return 0;
      auto* pt = reinterpret_cast<platform::Point*>(a);
      const platform::Point original = *pt;
      pt->x = TruncToInt32(double(pt->x) - double(TruncToInt32(m_Position[0] - m_Frame.anchorX)));
      pt->y = TruncToInt32(double(pt->y) - double(TruncToInt32(m_Position[1] - m_Frame.anchorY)));
      if (pt->x >= 0 && pt->x <= m_Frame.width - 1 && pt->y >= 0 && pt->y <= m_Frame.height - 1) {
        if (b) *reinterpret_cast<intptr_t*>(b) = reinterpret_cast<intptr_t>(static_cast<ssView*>(this));
        return 1;
      }
      *pt = original;
      return 0;
    }
    case VM_COLLECTDIRTY: {
      auto* list = reinterpret_cast<DirtyRectList*>(b);
      if (m_pSource && !m_pSource->GetUpdateRect().IsEmpty()) m_DirtyMask |= DIRTY_PIXELS;
      if (list && !m_DrawnRect.IsEmpty() && m_DirtyMask) AddDirtyPart(m_DrawnRect, list);
      RefreshTransformState();
      m_NewRect = platform::Rect();
      GetDrawRect(reinterpret_cast<ssView*>(a), &m_NewRect);
      if (list && !m_NewRect.IsEmpty() && m_DirtyMask) AddDirtyPart(m_NewRect, list);
      return 1;
    }
    case VM_COMMIT:
      m_DrawnRect = m_NewRect;
      m_DirtyMask = 0;
      if (m_pSource) m_pSource->ClearUpdateRect();
      return 1;
    default:
      return DxDrawView::OnMessage(msg, a, b);
  }
}

DxSurfaceSprite32::DxSurfaceSprite32(int32_t width, int32_t height) : DxSprite(nullptr, nullptr, 0) {
  DxSurface32::Create(width, height);
  DxSurface32::Fill(nullptr, 0, 0);
  m_pSource = this;
  m_Frame = WholeFrame(this, 0);
  m_Params.mode = 0;
  m_Params.level = 32;
  AddUpdateRect(nullptr);
}

uint32_t DxSurfaceSprite32::Release() {
  m_OwnsSource = 0;
  if (m_RefCount < 2) {
    DxSprite::Detach();
    delete this;
    return 0;
  }
  DxSprite::Detach();
  return --m_RefCount;
}

}  // namespace DxDraw
