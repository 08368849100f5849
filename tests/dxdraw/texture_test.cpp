// Textured triangles and quads: rows covered, texel stepping, clipping and refusals.
#include "dxdraw/texture.h"

#include <gtest/gtest.h>

#include "dxdraw/surface.h"
#include "surface_util.h"

using namespace testutil;
using DxDraw::Point16;
using platform::Rect;

namespace {

// Rows of the 16x16 destination that hold at least one drawn pixel.
std::vector<int> DrawnRows(DxDraw::DxSurface* s) {
  std::vector<int> rows;
  for (int y = 0; y < s->GetAbsHeight(); ++y)
    for (int x = 0; x < s->GetWidth(); ++x)
      if (Px(s, x, y) != 0) {
        rows.push_back(y);
        break;
      }
  return rows;
}

SurfaceRef Texture() {
  // Texel (u, v) holds 0x00 vv uu + 1 so that no texel is 0.
  SurfaceRef t = MakeSurface(32, 16, 16);
  for (int v = 0; v < 16; ++v)
    for (int u = 0; u < 16; ++u) SetPx(t.Get(), u, v, 0x00010000u | (v << 8) | u);
  return t;
}

TEST(Textured, TriangleSkipsItsLowestRowAndQuadDrawsIt) {
  SurfaceRef tex = Texture();
  SurfaceRef tri = MakeSurface(32, 16, 16);
  const Point16 tp[3] = {{0, 0}, {8, 8}, {0, 8}};
  EXPECT_EQ(tri->DrawTriangle(tp, tex.Get(), tp, nullptr, nullptr), 1);
  std::vector<int> want;
  for (int y = 0; y < 8; ++y) want.push_back(y);
  EXPECT_EQ(DrawnRows(tri.Get()), want);
  EXPECT_EQ(tri->GetUpdateRect(), (Rect{0, 0, 9, 9}));

  SurfaceRef quad = MakeSurface(32, 16, 16);
  const Point16 qp[4] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
  EXPECT_EQ(quad->DrawQuad(qp, tex.Get(), qp, nullptr, nullptr), 1);
  EXPECT_EQ(DrawnRows(quad.Get()), (std::vector<int>{2, 3, 4, 5, 6}));
  // An identity mapping copies the texture where the quad lies.
  EXPECT_EQ(Px(quad.Get(), 4, 3), Px(tex.Get(), 4, 3));
  EXPECT_EQ(Px(quad.Get(), 6, 6), Px(tex.Get(), 6, 6));
  EXPECT_EQ(Px(quad.Get(), 7, 3), 0u);
}

TEST(Textured, FlatTriangleDrawsNothingButMarksItsRow) {
  SurfaceRef tex = Texture();
  SurfaceRef s = MakeSurface(32, 16, 16);
  const Point16 p[3] = {{1, 5}, {9, 5}, {4, 5}};
  EXPECT_EQ(s->DrawTriangle(p, tex.Get(), p, nullptr, nullptr), 1);
  EXPECT_TRUE(DrawnRows(s.Get()).empty());
  EXPECT_EQ(s->GetUpdateRect(), (Rect{1, 5, 10, 6}));
}

TEST(Textured, ReversedSpanSamplesFromItsStart) {
  SurfaceRef tex = Texture();
  SurfaceRef s = MakeSurface(32, 16, 16);
  // Screen x runs 0..8 while the texture runs 8..0 along the same rows.
  const Point16 p[4] = {{0, 0}, {8, 0}, {8, 4}, {0, 4}};
  const Point16 t[4] = {{8, 0}, {0, 0}, {0, 4}, {8, 4}};
  ASSERT_EQ(s->DrawQuad(p, tex.Get(), t, nullptr, nullptr), 1);
  EXPECT_EQ(Px(s.Get(), 0, 1) & 0xFF, 8u);
  EXPECT_EQ(Px(s.Get(), 8, 1) & 0xFF, 0u);
}

TEST(Textured, ClipAndRefusals) {
  SurfaceRef tex = Texture();
  SurfaceRef s = MakeSurface(32, 16, 16);
  const Point16 p[3] = {{0, 0}, {8, 8}, {0, 8}};
  const Rect none{0, 20, 16, 30};
  EXPECT_EQ(s->DrawTriangle(p, tex.Get(), p, &none, nullptr), 1);
  EXPECT_TRUE(DrawnRows(s.Get()).empty());
  EXPECT_TRUE(s->GetUpdateRect().IsEmpty());
  BltParams op6;
  op6.mode = 6;
  EXPECT_EQ(s->DrawTriangle(p, tex.Get(), p, nullptr, &op6), 0) << "no such operation on 32 bits";
  // Texture points beyond the texture are skipped, not read.
  const Point16 far[3] = {{0, 0}, {300, 300}, {0, 300}};
  EXPECT_EQ(s->DrawTriangle(p, tex.Get(), far, nullptr, nullptr), 1);
  // Texture points at the ends of the 16-bit range over a one-pixel span: the texel step is
  // beyond 32 bits and must not overflow (the sanitizer build aborts on it).
  const Point16 thin[3] = {{0, 0}, {1, 1}, {0, 2}};
  const Point16 wide[3] = {{0, 0}, {32767, 0}, {-32768, 0}};
  SurfaceRef t = MakeSurface(32, 4, 4);
  EXPECT_EQ(t->DrawTriangle(thin, tex.Get(), wide, nullptr, nullptr), 1);
  EXPECT_EQ(Px(t.Get(), 1, 1), 0u) << "the texel at u = 32767 is outside the texture";
}

TEST(EdgeLine, XAtYTruncatesAndFlagsStraightEdges) {
  DxDraw::EdgeLine e;
  e.Set(0, 0, 3, 2);
  EXPECT_EQ(e.XAtY(1), 1);  // 1.5 truncated
  e.Set(5, 0, 5, 9);
  EXPECT_EQ(e.flags, DxDraw::EdgeLine::kVertical);
  EXPECT_EQ(e.XAtY(7), 5);
  e.Reset();
  e.Set(0, 4, 9, 4);
  EXPECT_TRUE(e.IsHorizontal());
}

}  // namespace
