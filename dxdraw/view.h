// The view tree: nodes, groups with a ring of children, the dispatch routes and the message codes.
#pragma once

#include <cstdint>

namespace DxDraw {
struct DrawTarget;
class DxSurface;
}  // namespace DxDraw
namespace platform {
struct Rect;
}

// What a view's Draw does inside a rectangle of its target: draws nothing there; replaces every
// pixel of it, whatever the target held; or anything else (a blend, a part, a view that draws in
// its own way).
enum class DrawCover : uint8_t { None, Whole, Partial };

// Message codes understood across the tree. Arguments are pointer-sized words.
enum : uint32_t {
  VM_COUNT = 0,
  VM_ATTACHED = 1,
  VM_DETACHED = 2,
  VM_UPDATEHOOK = 0x4001,
  VM_GETSTATE = 0x4002,
  VM_GETTRANSFORM = 0x4003,
  VM_HITTEST = 0x4004,
  VM_COLLECTDIRTY = 0x4065,
  VM_COMMIT = 0x4066,
  VM_CHANGED = 0x4067,
  VM_INVALIDATE = 0x4068,
  VM_PAINT = 0x4069,
};

// Dispatch routes: to the view itself, down the focus chain, down the first-child chain,
// broadcast (pre-order) and search (pre-order, returns the view that handled it).
enum : uint32_t { ROUTE_SELF = 0, ROUTE_FOCUS = 1, ROUTE_FIRSTCHILD = 2, ROUTE_BROADCAST = 3, ROUTE_SEARCH = 4 };

class ssGroup;

// A node of the tree. Every view class derives this as a virtual base.
class ssView {
 public:
  static constexpr uint16_t kShown = 1;
  static constexpr uint16_t kFocused = 4;

  ssView() = default;
  ssView(const ssView&) = delete;
  ssView& operator=(const ssView&) = delete;
  virtual ~ssView() = default;

  // Sends VM_DETACHED to itself, hides itself and leaves its parent's ring.
  virtual void Detach();
  // Detaches and destroys the view; returns the remaining count (0).
  virtual uint32_t Release();
  // 0 = handled, 1 = not handled (or handled and passed on).
  virtual uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b);
  virtual intptr_t Dispatch(uint32_t route, uint32_t msg, intptr_t a, intptr_t b);
  virtual void Update() {}
  virtual void Draw(DxDraw::DrawTarget* target) { (void)target; }
  // What Draw would do inside rect of target now (after the dirty rectangles were collected).
  // Partial unless a view knows better.
  virtual DrawCover CoverOf(const platform::Rect& rect, const DxDraw::DxSurface* target) const;
  virtual void SetFlags(uint16_t mask, bool on);
  virtual void Show();
  virtual void Hide();

  ssGroup* GetParent() const { return m_pParent; }
  ssView* GetNextInRing() const { return m_pNext; }
  uint16_t GetFlags() const { return m_Flags; }
  bool IsShown() const { return (m_Flags & kShown) != 0; }

 protected:
  // Unlinks from the parent's ring (the leaf part of Detach).
  void DetachAsLeaf();

 private:
  friend class ssGroup;
  ssGroup* m_pParent = nullptr;
  ssView* m_pNext = nullptr;
  uint16_t m_Flags = kShown;
};

// A node with children kept in a circular ring; owns its children.
class ssGroup : public virtual ssView {
 public:
  ssGroup() = default;
  ~ssGroup() override;

  void Detach() override;
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override;
  intptr_t Dispatch(uint32_t route, uint32_t msg, intptr_t a, intptr_t b) override;
  void Update() override;
  void Draw(DxDraw::DrawTarget* target) override;
  // What the first child that draws inside rect does there; None when no child does.
  DrawCover CoverOf(const platform::Rect& rect, const DxDraw::DxSurface* target) const override;

  // Appends the child as the last (topmost) child and sends it VM_ATTACHED.
  void AddChild(ssView* child);
  ssView* GetFirstChild() const { return m_pLast ? m_pLast->m_pNext : nullptr; }
  ssView* GetLastChild() const { return m_pLast; }
  ssView* GetNextSibling(const ssView* child) const;
  ssView* GetPrevSibling(const ssView* child) const;
  ssView* GetFocus() const { return m_pFocus; }
  void SetFocus(ssView* child);

 private:
  friend class ssView;
  void Unlink(ssView* child);

  ssView* m_pLast = nullptr;
  ssView* m_pFocus = nullptr;
};
