// Drawable views and groups: composed transforms, extents, hit tests; the hover tracker.
#include "dxdraw/drawview.h"

#include <gtest/gtest.h>

namespace {

class Leaf : public DrawView {
 public:
  void Draw(DxDraw::DrawTarget*) override { ++draws; }
  void Update() override {
    DrawView::Update();
    ++updates;
  }
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override {
    if (msg == VM_HITTEST) {
      auto* p = reinterpret_cast<platform::Point*>(a);
      if (p->x >= 0 && p->y >= 0 && p->x < 10 && p->y < 10) {
        *reinterpret_cast<intptr_t*>(b) = reinterpret_cast<intptr_t>(this);
        return 1;
      }
      return 0;
    }
    return DrawView::OnMessage(msg, a, b);
  }
  int draws = 0;
  int updates = 0;
};

class DrawViewTest : public ::testing::Test {
 protected:
  void SetUp() override { g_MatrixStack.Allocate(16); }
  void TearDown() override { g_MatrixStack.Free(); }
};

platform::Point Origin(DrawView* v) {
  platform::Point p;
  v->LocalToScreenPoints(&p, 1);
  return p;
}

TEST_F(DrawViewTest, PositionIsProjectedWithTruncation) {
  DrawGroup root;
  auto* v = new Leaf;
  root.AddChild(v);
  v->SetPosition(2.7f, -2.7f);
  EXPECT_EQ(Origin(v), (platform::Point{2, -2}));
}

TEST_F(DrawViewTest, RotationOneTurnsAboutThePivot) {
  DrawGroup root;
  auto* g = new DrawGroup;
  root.AddChild(g);
  g->SetPosition(100.5f, 100.5f);
  g->m_Pivot[0] = 10;
  g->m_Rotation1[2] = 65536 + 16384;  // a quarter turn, written with a full turn added
  g->m_TransformFlags = DrawView::kApplyPivot | DrawView::kApplyRotation1;
  auto* v = new Leaf;
  g->AddChild(v);
  v->SetPosition(15, 0);
  EXPECT_EQ(Origin(v), (platform::Point{100, 105}));
  // Without flags neither pivot nor scale count.
  g->m_TransformFlags = 0;
  g->m_Scale[0] = g->m_Scale[1] = 3;
  EXPECT_EQ(Origin(v), (platform::Point{115, 100}));
}

TEST_F(DrawViewTest, ExtentUsesOwnAndAncestorScales) {
  DrawGroup root;
  root.m_Scale[0] = root.m_Scale[1] = 0.5f;
  auto* g = new DrawGroup;
  root.AddChild(g);
  g->m_Width = 100;
  g->m_Height = 50;
  g->m_Scale[0] = g->m_Scale[1] = 2;
  g->SetPosition(40, 20);
  platform::Rect r;
  g->GetExtent(&r);
  EXPECT_EQ(r, (platform::Rect{20, 10, 120, 60}));
}

TEST_F(DrawViewTest, LocalToScreenMovesButDoesNotScale) {
  DrawGroup root;
  root.SetPosition(5, 5);
  auto* v = new Leaf;
  root.AddChild(v);
  v->SetPosition(10, 10);
  v->m_Scale[0] = v->m_Scale[1] = 2;
  platform::Rect r{0, 0, 4, 4};
  v->LocalToScreenRect(&r);
  EXPECT_EQ(r, (platform::Rect{15, 15, 19, 19}));
  v->ScreenToLocalRect(&r);
  EXPECT_EQ(r, (platform::Rect{0, 0, 4, 4}));
}

TEST_F(DrawViewTest, HiddenGroupIsUpdatedButNeitherDrawnNorHit) {
  DrawGroup g;
  auto* v = new Leaf;
  g.AddChild(v);
  g.SetPosition(100, 0);
  platform::Point p{105, 5};
  intptr_t hit = 0;
  EXPECT_EQ(g.OnMessage(VM_HITTEST, reinterpret_cast<intptr_t>(&p), reinterpret_cast<intptr_t>(&hit)), 1u);
  EXPECT_EQ(hit, reinterpret_cast<intptr_t>(v));
  EXPECT_EQ(p, (platform::Point{5, 5})) << "a hit leaves the point in the group's coordinates";
  platform::Point miss{50, 5};
  EXPECT_EQ(g.OnMessage(VM_HITTEST, reinterpret_cast<intptr_t>(&miss), reinterpret_cast<intptr_t>(&hit)), 0u);
  EXPECT_EQ(miss, (platform::Point{50, 5}));

  g.Hide();
  g.Draw(nullptr);
  g.Update();
  EXPECT_EQ(v->draws, 0);
  EXPECT_EQ(v->updates, 1);
  p = {105, 5};
  EXPECT_EQ(g.OnMessage(VM_HITTEST, reinterpret_cast<intptr_t>(&p), reinterpret_cast<intptr_t>(&hit)), 0u);
  g.Show();
  g.Draw(nullptr);
  EXPECT_EQ(v->draws, 1);
  EXPECT_EQ(g_MatrixStack.Depth(), 0u);
}

TEST_F(DrawViewTest, UpdateHookRunsOnUpdateAndOnMessage) {
  static int calls;
  calls = 0;
  Leaf v;
  v.m_pUpdateHook = [](DrawView*) { ++calls; };
  v.Update();
  EXPECT_EQ(v.OnMessage(VM_UPDATEHOOK, 0, 0), 0u);
  EXPECT_EQ(calls, 2);
}

TEST_F(DrawViewTest, PositionsBeyond32BitsSaturateInsteadOfOverflowing) {
  // Positions and scales are floats the game sets from its data; integer results stay in range
  // (the sanitizer build aborts on an out-of-range conversion or an overflowing subtraction).
  DrawGroup g;
  g.AddChild(new Leaf);
  g.SetPosition(3e9f, -3e9f);
  platform::Point p{-5, 5};
  intptr_t hit = 0;
  EXPECT_EQ(g.OnMessage(VM_HITTEST, reinterpret_cast<intptr_t>(&p), reinterpret_cast<intptr_t>(&hit)), 0u);
  EXPECT_EQ(p, (platform::Point{-5, 5})) << "a miss gives the point back unchanged";
  g.SetPosition(0, 0);
  g.m_Width = 100;
  g.m_Scale[0] = 1e30f;
  platform::Rect extent;
  g.GetExtent(&extent);
  EXPECT_EQ(extent.right, INT32_MAX);
  DxDraw::DxDrawView v;
  v.SetPosition(-3e9f, 2.5e9f);
  platform::Rect bounds;
  v.GetBounds(&bounds);
  EXPECT_EQ(bounds, (platform::Rect{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX}));
}

TEST(HitTracker, EnterStayMoveLeave) {
  const platform::Rect rects[2] = {{0, 0, 10, 10}, {20, 0, 30, 10}};
  HitTracker t;
  t.Init();
  EXPECT_EQ(t.Update(rects, 2, 5, 5, nullptr), 0);
  EXPECT_EQ(t.changed, 1u);
  t.hover = 1;  // moved by the keyboard
  EXPECT_EQ(t.Update(rects, 2, 5, 5, nullptr), 1) << "standing still keeps the keyboard's hover";
  EXPECT_EQ(t.changed, 0u);
  EXPECT_EQ(t.Update(rects, 2, 6, 5, nullptr), 0) << "moving inside brings the hover back";
  EXPECT_EQ(t.changed, 1u);
  EXPECT_EQ(t.Update(rects, 2, 50, 50, nullptr), -1);
  EXPECT_EQ(t.changed, 1u);
  EXPECT_EQ(t.prevHover, 0);
  EXPECT_EQ(t.Update(rects, 2, 51, 50, nullptr), -1);
  EXPECT_EQ(t.changed, 0u);
  EXPECT_EQ(t.Update(rects, 2, 10, 5, nullptr), -1) << "right edge is outside";
}

}  // namespace
