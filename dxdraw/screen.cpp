// Dirty-rectangle list and screen presentation: one merged rectangle per frame, cleared (unless an
// opaque picture covers it), redrawn, presented.
#include "dxdraw/screen.h"

#include "dxdraw/dxdisplay.h"
#include "dxdraw/sprite.h"

namespace DxDraw {

namespace {

bool Contains(const platform::Rect& outer, const platform::Rect& r) {
  return outer.left <= r.left && outer.top <= r.top && outer.right >= r.right && outer.bottom >= r.bottom;
}

}  // namespace

uint32_t DirtyRectList::Add(const platform::Rect& r) {
  if (r.IsEmpty()) return m_Count;
  if (m_Mode == 0) {
    m_Rects[0] = m_Count ? UnionRect(m_Rects[0], r) : r;
    m_Count = 1;
    return m_Count;
  }
  for (uint32_t i = 0; i < m_Count; ++i)
    if (!m_Rects[i].IsEmpty() && Contains(m_Rects[i], r)) return m_Count;
  for (uint32_t i = 0; i < m_Count; ++i)
    if (Contains(r, m_Rects[i])) m_Rects[i] = platform::Rect();
  if (m_Count >= kCapacity) {
    platform::Rect all = r;
    for (uint32_t i = 0; i < m_Count; ++i) all = UnionRect(all, m_Rects[i]);
    m_Rects[0] = all;
    m_Count = 1;
    return m_Count;
  }
  m_Rects[m_Count++] = r;
  return m_Count;
}

DxScreenSurface::DxScreenSurface(DxSurface* cursorImage, const platform::Rect* cursorRect)
    : m_pList(std::make_unique<DirtyRectList>()) {
  if (cursorImage) {
    FrameRecord frame;
    const platform::Rect r = cursorRect ? *cursorRect : cursorImage->Bounds();
    frame.width = static_cast<int16_t>(r.Width());
    frame.height = static_cast<int16_t>(r.Height());
    frame.source = r;
    m_pCursor.reset(new DxSprite(cursorImage, &frame, kBltSrcAlpha));
    g_UseSystemCursor = 0;
  } else {
    g_UseSystemCursor = 1;
  }
  m_Pivot[0] = m_Pivot[1] = m_Pivot[2] = 0;
  DrawView::SetPosition(0, 0);
  OnMessage(VM_CHANGED, DIRTY_MOVED, 0);
  m_pList->Clear(0);
}

DxScreenSurface::~DxScreenSurface() {
  ReplaceBack(nullptr);
}

void DxScreenSurface::ReplaceBack(DxSurface* surface) {
  if (m_pBack) m_pBack->ReleaseDC();
  m_pBack.Attach(surface);
}

int DxScreenSurface::SetSize(int32_t width, int32_t height) {
  if (!m_pBack) return 0;
  m_pBack->ReleaseDC();
  // Top-down rows, as the presenter takes them.
  m_pBack->Create(width, -height);
  m_pBack->GetDC();
  m_ScreenRect = platform::Rect{0, 0, width, height};
  return 0;
}

DxSurface* DxScreenSurface::CloneSurface() {
  return m_pBack ? m_pBack->Clone(2, nullptr) : nullptr;
}

uint32_t DxScreenSurface::OnMessage(uint32_t msg, intptr_t a, intptr_t b) {
  if (msg == VM_INVALIDATE) {
    if (a && m_pList) m_pList->Add(*reinterpret_cast<const platform::Rect*>(a));
    return 1;
  }
  if (msg == VM_PAINT) {
    if (m_pList) {
      if (a) m_pList->Add(*reinterpret_cast<const platform::Rect*>(a));
      Present(reinterpret_cast<platform::Presenter*>(b), false, nullptr);
    }
    return 1;
  }
  return DxDrawGroup::OnMessage(msg, a, b);
}

void DxScreenSurface::Present(platform::Presenter* window, bool full, DrawTarget* target) {
  if (!m_pBack || !m_pBack->GetBits()) return;
  DrawTarget local;
  if (!target) {
    local.surface = m_pBack.Get();
    local.window = window;
    target = &local;
  }
  if (full) {
    m_pList->Clear(m_ListMode);
    m_pList->Add(m_ScreenRect);
  }
  OnMessage(VM_COLLECTDIRTY, reinterpret_cast<intptr_t>(static_cast<ssView*>(this)),
            reinterpret_cast<intptr_t>(m_pList.get()));
  m_pBack->GetDC();
  bool presented = false;
  for (uint32_t i = 0; i < m_pList->Count(); ++i) {
    const platform::Rect r = IntersectRect((*m_pList)[i], m_ScreenRect);
    if (r.IsEmpty()) continue;
    target->clip = r;
    // The clear is left out where the first view drawn replaces all of r anyway (an opaque
    // full-screen picture under a cross-fade).
    if (CoverOf(r, m_pBack.Get()) != DrawCover::Whole) m_pBack->Fill(&r, 0, 0);
    DrawGroup::Draw(target);
    if (window) {
      platform::ImageView view;
      view.pixels = m_pBack->GetPixelAddress(0, 0);
      view.width = m_pBack->GetWidth();
      view.height = m_pBack->GetAbsHeight();
      view.pitch = m_pBack->GetPitch();
      window->Present(view, r);
      presented = true;
    }
  }
  if (presented) window->Flush();
  m_pBack->ReleaseDC();
}

int DxScreenSurface32::SetSize(int32_t width, int32_t height) {
  if (!m_pBack) ReplaceBack(CreateSurface(32));
  return DxScreenSurface::SetSize(width, height);
}

DxSurface* DxScreenSurface32::CloneSurface() {
  return DxScreenSurface::CloneSurface();
}

void DxScreenSurface32::Draw(DrawTarget* target) {
  if (m_SkipCount == 0) {
    DrawTarget copy;
    if (target) copy = *target;
    copy.surface = m_pBack.Get();
    Present(copy.window, false, &copy);
    OnMessage(VM_COMMIT, 0, 0);
    m_pList->Clear(m_ListMode);
  }
  if (m_SkipCount > 0)
    --m_SkipCount;
  else
    m_SkipCount = m_SkipFrames;
}

}  // namespace DxDraw
