// The view tree's node and group behaviour: ring upkeep, routes, detach and release.
#include "dxdraw/view.h"

void ssView::Detach() {
  OnMessage(VM_DETACHED, 0, 0);
  Hide();
  DetachAsLeaf();
}

void ssView::DetachAsLeaf() {
  if (m_pParent) m_pParent->Unlink(this);
}

uint32_t ssView::Release() {
  Detach();
  delete this;
  return 0;
}

uint32_t ssView::OnMessage(uint32_t msg, intptr_t a, intptr_t b) {
  (void)b;
  if (msg == VM_COUNT && a) ++*reinterpret_cast<uint32_t*>(a);
  return 1;
}

intptr_t ssView::Dispatch(uint32_t route, uint32_t msg, intptr_t a, intptr_t b) {
  if (route <= ROUTE_BROADCAST) return OnMessage(msg, a, b);
  if (route == ROUTE_SEARCH) return OnMessage(msg, a, b) == 0 ? reinterpret_cast<intptr_t>(this) : 0;
  return 1;
}

void ssView::SetFlags(uint16_t mask, bool on) {
  if (on)
    m_Flags = static_cast<uint16_t>(m_Flags | mask);
  else
    m_Flags = static_cast<uint16_t>(m_Flags & ~mask);
}

void ssView::Show() {
  if (!(m_Flags & kShown)) SetFlags(kShown, true);
}

void ssView::Hide() {
  if (m_Flags & kShown) SetFlags(kShown, false);
}

ssGroup::~ssGroup() {
  // A group destroyed without Detach still releases its children (a shared child that others
  // still hold only leaves the tree).
  while (ssView* child = m_pLast) {
    child->Release();
    if (m_pLast == child) Unlink(child);  // a Release that kept the child in the ring
  }
}

void ssGroup::Unlink(ssView* child) {
  if (child->m_pParent != this || !m_pLast) return;
  ssView* prev = m_pLast;
  while (prev->m_pNext != child) {
    prev = prev->m_pNext;
    if (prev == m_pLast) return;  // not in the ring
  }
  ssView* next = child->m_pNext;
  if (prev == child) {
    m_pLast = nullptr;  // the only child
  } else {
    prev->m_pNext = next;
    if (m_pLast == child) m_pLast = prev;
  }
  child->m_pParent = nullptr;
  child->m_pNext = nullptr;
  // The focus, and its flag, pass to the next sibling (to none when the ring is now empty).
  if (m_pFocus == child) SetFocus(next == child ? nullptr : next);
}

void ssGroup::AddChild(ssView* child) {
  if (!child) return;
  // A view is in one ring at a time: one still attached elsewhere leaves that ring first.
  if (child->m_pParent) child->m_pParent->Unlink(child);
  child->m_pParent = this;
  if (m_pLast) {
    child->m_pNext = m_pLast->m_pNext;
    m_pLast->m_pNext = child;
  } else {
    child->m_pNext = child;
  }
  m_pLast = child;
  child->OnMessage(VM_ATTACHED, 0, 0);
}

ssView* ssGroup::GetNextSibling(const ssView* child) const {
  if (!child || child == m_pLast) return nullptr;
  return child->m_pNext;
}

ssView* ssGroup::GetPrevSibling(const ssView* child) const {
  if (!child || !m_pLast || child == m_pLast->m_pNext) return nullptr;
  ssView* p = m_pLast;
  while (p->m_pNext != child) {
    p = p->m_pNext;
    if (p == m_pLast) return nullptr;
  }
  return p;
}

void ssGroup::SetFocus(ssView* child) {
  if (child == m_pFocus) return;
  if (m_pFocus) m_pFocus->SetFlags(kFocused, false);
  if (child) child->SetFlags(kFocused, true);
  m_pFocus = child;
}

void ssGroup::Detach() {
  if (m_pLast) {
    // Hide from the topmost child down, then release in the same order.
    ssView* c = m_pLast;
    do {
      c->Hide();
      c = GetPrevSibling(c) ? GetPrevSibling(c) : m_pLast;
    } while (c != m_pLast);
    while (m_pLast) m_pLast->Release();
  }
  m_pFocus = nullptr;
  ssView::Detach();
}

uint32_t ssGroup::OnMessage(uint32_t msg, intptr_t a, intptr_t b) {
  if (msg == VM_COUNT) {
    ssView::OnMessage(msg, a, b);
    for (ssView* c = GetFirstChild(); c;) {
      ssView* next = GetNextSibling(c);
      c->OnMessage(msg, a, b);
      c = next;
    }
  }
  return 1;
}

intptr_t ssGroup::Dispatch(uint32_t route, uint32_t msg, intptr_t a, intptr_t b) {
  switch (route) {
    case ROUTE_SELF:
      return OnMessage(msg, a, b);
    case ROUTE_FOCUS:
      return m_pFocus ? m_pFocus->Dispatch(route, msg, a, b) : 1;
    case ROUTE_FIRSTCHILD:
      return m_pLast ? GetFirstChild()->Dispatch(route, msg, a, b) : 1;
    case ROUTE_BROADCAST:
      OnMessage(msg, a, b);
      for (ssView* c = GetFirstChild(); c;) {
        ssView* next = GetNextSibling(c);
        c->Dispatch(route, msg, a, b);
        c = next;
      }
      return 1;
    case ROUTE_SEARCH:
      if (OnMessage(msg, a, b) == 0) return reinterpret_cast<intptr_t>(static_cast<ssView*>(this));
      for (ssView* c = GetFirstChild(); c; c = GetNextSibling(c)) {
        if (intptr_t r = c->Dispatch(route, msg, a, b)) return r;
      }
      return 0;
    default:
      return 1;
  }
}

void ssGroup::Update() {
  for (ssView* c = GetFirstChild(); c;) {
    ssView* next = GetNextSibling(c);
    c->Update();
    c = next;
  }
}

DrawCover ssView::CoverOf(const platform::Rect& rect, const DxDraw::DxSurface* target) const {
  (void)rect;
  (void)target;
  return DrawCover::Partial;
}

DrawCover ssGroup::CoverOf(const platform::Rect& rect, const DxDraw::DxSurface* target) const {
  for (ssView* c = GetFirstChild(); c; c = GetNextSibling(c)) {
    const DrawCover cover = c->CoverOf(rect, target);
    if (cover != DrawCover::None) return cover;
  }
  return DrawCover::None;
}

void ssGroup::Draw(DxDraw::DrawTarget* target) {
  for (ssView* c = GetFirstChild(); c;) {
    ssView* next = GetNextSibling(c);
    c->Draw(target);
    c = next;
  }
}
