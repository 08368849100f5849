// The view tree: rings, routes, focus, detach and release.
#include "dxdraw/view.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A leaf that records its messages and flag changes and can answer a chosen code as handled.
class Probe : public ssView {
 public:
  explicit Probe(std::vector<Probe*>* destroyed = nullptr) : m_Destroyed(destroyed) {}
  ~Probe() override {
    if (m_Destroyed) m_Destroyed->push_back(this);
  }
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override {
    messages.push_back(msg);
    if (msg == handles) return 0;
    return ssView::OnMessage(msg, a, b);
  }
  void SetFlags(uint16_t mask, bool on) override {
    ++setFlagsCalls;
    ssView::SetFlags(mask, on);
  }
  void Update() override {
    ++updates;
    if (detachOnUpdate) Detach();
  }
  std::vector<uint32_t> messages;
  uint32_t handles = 0xFFFFFFFF;
  int setFlagsCalls = 0;
  int updates = 0;
  bool detachOnUpdate = false;

 private:
  std::vector<Probe*>* m_Destroyed;
};

class Group : public ssGroup {
 public:
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override {
    if (msg == handles) return 0;
    return ssGroup::OnMessage(msg, a, b);
  }
  uint32_t handles = 0xFFFFFFFF;
};

std::vector<ssView*> Children(const ssGroup& g) {
  std::vector<ssView*> out;
  for (ssView* c = g.GetFirstChild(); c; c = g.GetNextSibling(c)) out.push_back(c);
  return out;
}

// The walk forward, the walk backward and the last child all agree.
void ExpectWellFormed(const ssGroup& g, const std::vector<ssView*>& expected) {
  EXPECT_EQ(Children(g), expected);
  std::vector<ssView*> back;
  for (ssView* c = g.GetLastChild(); c; c = g.GetPrevSibling(c)) back.insert(back.begin(), c);
  EXPECT_EQ(back, expected);
  EXPECT_EQ(g.GetLastChild(), expected.empty() ? nullptr : expected.back());
  for (ssView* c : expected) EXPECT_EQ(c->GetParent(), &g);
}

TEST(ViewTree, CountVisitsEveryViewOfTheSubtree) {
  Group g;
  g.AddChild(new Probe);
  g.AddChild(new Probe);
  uint32_t counter = 0;
  g.OnMessage(VM_COUNT, reinterpret_cast<intptr_t>(&counter), 0);
  EXPECT_EQ(counter, 3u);
}

TEST(ViewTree, AddChildAppendsAndSendsAttached) {
  Group g;
  auto* a = new Probe;
  auto* b = new Probe;
  g.AddChild(a);
  g.AddChild(b);
  ExpectWellFormed(g, {a, b});
  EXPECT_EQ(a->GetNextInRing(), b);
  EXPECT_EQ(b->GetNextInRing(), a) << "the ring is circular";
  ASSERT_EQ(a->messages.size(), 1u);
  EXPECT_EQ(a->messages[0], VM_ATTACHED);
}

TEST(ViewTree, DetachAtEveryPlaceLeavesAWellFormedRing) {
  for (int which = 0; which < 3; ++which) {
    Group g;
    Probe* p[3] = {new Probe, new Probe, new Probe};
    for (Probe* c : p) g.AddChild(c);
    p[which]->Detach();
    std::vector<ssView*> rest;
    for (int i = 0; i < 3; ++i)
      if (i != which) rest.push_back(p[i]);
    SCOPED_TRACE(which);
    ExpectWellFormed(g, rest);
    EXPECT_EQ(p[which]->GetParent(), nullptr);
    EXPECT_EQ(p[which]->GetNextInRing(), nullptr);
    EXPECT_FALSE(p[which]->IsShown()) << "a detached view is hidden";
    EXPECT_EQ(p[which]->messages.back(), VM_DETACHED);
    delete p[which];
  }
  Group g;
  auto* only = new Probe;
  g.AddChild(only);
  only->Detach();
  ExpectWellFormed(g, {});
  delete only;
}

TEST(ViewTree, AddingAnAttachedViewMovesIt) {
  Group a, b;
  auto* v = new Probe;
  auto* w = new Probe;
  a.AddChild(v);
  a.AddChild(w);
  b.AddChild(v);
  ExpectWellFormed(a, {w});
  ExpectWellFormed(b, {v});
}

TEST(ViewTree, FocusMovesToTheNextSiblingOnDetach) {
  Group g;
  auto* a = new Probe;
  auto* b = new Probe;
  g.AddChild(a);
  g.AddChild(b);
  g.SetFocus(a);
  EXPECT_TRUE(a->GetFlags() & ssView::kFocused);
  a->Detach();
  EXPECT_EQ(g.GetFocus(), b);
  EXPECT_TRUE(b->GetFlags() & ssView::kFocused) << "flag 4 moves with the focus";
  EXPECT_FALSE(a->GetFlags() & ssView::kFocused) << "the detached view no longer has the focus";
  delete a;
  b->Detach();
  EXPECT_EQ(g.GetFocus(), nullptr) << "the only child leaves no focus";
  EXPECT_FALSE(b->GetFlags() & ssView::kFocused);
  delete b;
}

TEST(ViewTree, SetFocusMovesFlagFour) {
  Group g;
  auto* a = new Probe;
  auto* b = new Probe;
  g.AddChild(a);
  g.AddChild(b);
  g.SetFocus(a);
  g.SetFocus(b);
  EXPECT_FALSE(a->GetFlags() & ssView::kFocused);
  EXPECT_TRUE(b->GetFlags() & ssView::kFocused);
}

TEST(ViewTree, Routes) {
  Group g;
  auto* a = new Probe;
  auto* b = new Probe;
  g.AddChild(a);
  g.AddChild(b);
  // Focus route without a focus child: 1, nobody asked.
  EXPECT_EQ(g.Dispatch(ROUTE_FOCUS, 0x99, 0, 0), 1);
  EXPECT_TRUE(a->messages.size() == 1 && b->messages.size() == 1);
  // Search: nobody handles -> 0; the second child handles -> it is returned.
  EXPECT_EQ(g.Dispatch(ROUTE_SEARCH, 0x99, 0, 0), 0);
  b->handles = 0x99;
  EXPECT_EQ(g.Dispatch(ROUTE_SEARCH, 0x99, 0, 0), reinterpret_cast<intptr_t>(static_cast<ssView*>(b)));
  // A group that handles the code itself is returned without asking its children.
  g.handles = 0x77;
  const size_t before = a->messages.size();
  EXPECT_EQ(g.Dispatch(ROUTE_SEARCH, 0x77, 0, 0), reinterpret_cast<intptr_t>(static_cast<ssView*>(&g)));
  EXPECT_EQ(a->messages.size(), before);
  // Broadcast reaches all; first-child route reaches the first only; unknown route gives 1.
  g.Dispatch(ROUTE_BROADCAST, 0x55, 0, 0);
  EXPECT_EQ(a->messages.back(), 0x55u);
  EXPECT_EQ(b->messages.back(), 0x55u);
  g.Dispatch(ROUTE_FIRSTCHILD, 0x56, 0, 0);
  EXPECT_EQ(a->messages.back(), 0x56u);
  EXPECT_EQ(b->messages.back(), 0x55u);
  EXPECT_EQ(g.Dispatch(9, 0x56, 0, 0), 1);
}

TEST(ViewTree, ShowAndHideCallSetFlagsOnlyOnChange) {
  Probe p;
  p.Show();
  EXPECT_EQ(p.setFlagsCalls, 0);
  p.Hide();
  p.Hide();
  EXPECT_EQ(p.setFlagsCalls, 1);
}

TEST(ViewTree, ChildDetachingItselfDuringUpdateDoesNotStopTheOthers) {
  Group g;
  auto* a = new Probe;
  auto* b = new Probe;
  auto* c = new Probe;
  g.AddChild(a);
  g.AddChild(b);
  g.AddChild(c);
  b->detachOnUpdate = true;
  g.Update();
  EXPECT_EQ(c->updates, 1);
  ExpectWellFormed(g, {a, c});
  delete b;
}

TEST(ViewTree, GroupReleaseReleasesEveryChild) {
  std::vector<Probe*> destroyed;
  auto* outer = new Group;
  auto* inner = new Group;
  outer->AddChild(inner);
  auto* a = new Probe(&destroyed);
  auto* b = new Probe(&destroyed);
  inner->AddChild(a);
  inner->AddChild(b);
  outer->Release();
  ASSERT_EQ(destroyed.size(), 2u);
  EXPECT_EQ(destroyed[0], b) << "children go from the topmost down";
}

}  // namespace
