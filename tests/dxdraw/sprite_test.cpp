// Sprites: placement, sources, hit tests and the shared surface sprite.
#include "dxdraw/sprite.h"

#include <gtest/gtest.h>

#include "dxdraw/screen.h"
#include "surface_util.h"

using namespace testutil;
using namespace DxDraw;
using platform::Rect;

namespace {

class SpriteTest : public ::testing::Test {
 protected:
  void SetUp() override { g_MatrixStack.Allocate(16); }
  void TearDown() override { g_MatrixStack.Free(); }
  // The rectangle the sprite would be presented in.
  static Rect Placed(DxSprite* s) {
    DirtyRectList list;
    s->OnMessage(VM_COLLECTDIRTY, 0, reinterpret_cast<intptr_t>(&list));
    return s->m_NewRect;
  }
};

TEST_F(SpriteTest, AnchorAndPositionPlaceTheFrameAndScaleDoesNot) {
  SurfaceRef img = MakeSurface(32, 30, 40);
  DxDrawGroup root;
  auto* s = new DxSprite(img.Get(), nullptr, 0);
  root.AddChild(s);
  FrameRecord f;
  f.width = 30;
  f.height = 40;
  f.anchorX = 10;
  f.anchorY = 20;
  f.source = Rect{0, 0, 30, 40};
  s->SetSourceRect(&f);
  s->SetPosition(100, 100);
  EXPECT_EQ(Placed(s), (Rect{90, 80, 120, 120}));
  s->m_Scale[0] = s->m_Scale[1] = 2;
  s->m_TransformFlags |= DrawView::kApplyScale;
  EXPECT_EQ(Placed(s), (Rect{90, 80, 120, 120}));
  s->Hide();
  EXPECT_TRUE(Placed(s).IsEmpty());
}

TEST_F(SpriteTest, SetImageAndSetSourceRect) {
  SurfaceRef small = MakeSurface(32, 4, 4);
  SurfaceRef large = MakeSurface(32, 8, 6);
  auto* owned = DxDraw::CreateSurface(32);
  owned->Create(2, 2);
  DxSprite s(owned, nullptr, 0);
  s.m_OwnsSource = 1;
  s.m_DirtyMask = 0;
  s.SetImage(owned);  // the surface it already owns: nothing happens
  EXPECT_EQ(s.GetImage(), owned);
  EXPECT_EQ(owned->GetRefCount(), 1u);
  EXPECT_EQ(s.m_DirtyMask, 0u);
  s.SetImage(small.Get());  // releases the owned one
  EXPECT_EQ(s.m_OwnsSource, 0u);
  EXPECT_EQ(s.m_DirtyMask, uint32_t{DIRTY_VISIBILITY});
  EXPECT_EQ(s.m_Frame.width, 2) << "the frame is kept";
  s.SetImage(large.Get());
  s.SetSourceRect(nullptr);
  EXPECT_EQ(s.m_Frame.width, 8);
  EXPECT_EQ(s.m_Frame.height, 6);
  EXPECT_EQ(s.m_Frame.source, (Rect{0, 0, 8, 6}));
}

TEST_F(SpriteTest, HitTestAnswersWithTheSprite) {
  SurfaceRef img = MakeSurface(32, 10, 10);
  DxSprite s(img.Get(), nullptr, 0);
  s.SetPosition(20, 20);
  intptr_t hit = 0;
  platform::Point in{29, 20}, out{30, 20};
  EXPECT_EQ(s.OnMessage(VM_HITTEST, reinterpret_cast<intptr_t>(&in), reinterpret_cast<intptr_t>(&hit)), 1u);
  EXPECT_EQ(hit, reinterpret_cast<intptr_t>(static_cast<ssView*>(&s)));
  EXPECT_EQ(s.OnMessage(VM_HITTEST, reinterpret_cast<intptr_t>(&out), reinterpret_cast<intptr_t>(&hit)), 0u);
  EXPECT_EQ(out, (platform::Point{30, 20}));
  s.SetPosition(3e9f, 0.0f);  // far beyond 32 bits: no overflow, no hit
  platform::Point far{-20, 0};
  EXPECT_EQ(s.OnMessage(VM_HITTEST, reinterpret_cast<intptr_t>(&far), reinterpret_cast<intptr_t>(&hit)), 0u);
  EXPECT_EQ(far, (platform::Point{-20, 0}));
}

TEST_F(SpriteTest, SurfaceSpriteIsTransparentAndCountsReferences) {
  DxDrawGroup root;
  auto* s = new DxSurfaceSprite32(6, 4);
  EXPECT_EQ(Px(s, 5, 3), 0xFF000000u);
  EXPECT_EQ(s->GetUpdateRect(), (Rect{0, 0, 6, 4}));
  root.AddChild(s);
  s->AddRef();
  EXPECT_EQ(s->Release(), 1u);
  EXPECT_EQ(root.GetFirstChild(), nullptr) << "every release takes it out of the tree";
  EXPECT_EQ(s->Release(), 0u);
}

}  // namespace
