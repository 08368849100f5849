// Surfaces: clipping, blits through the tables, fills, alpha, stretch and clones.
#include "dxdraw/surface.h"

#include <gtest/gtest.h>

#include "dxdraw/pixelbuffer.h"
#include "surface_util.h"

using namespace testutil;
using DxDraw::DxSurface;
using platform::Rect;

namespace {

TEST(Surface, CreateSetsClipAndPixelLayout) {
  SurfaceRef s = MakeSurface(32, 5, 3);
  EXPECT_EQ(s->GetClipRect(), (Rect{0, 0, 5, 3}));
  EXPECT_EQ(s->GetStride(), 20u);
  EXPECT_EQ(s->GetPitch(), -20) << "bottom-up rows walk down by a negative pitch";
  EXPECT_EQ(s->GetPixelAddress(0, 0), s->GetBits() + 2 * 20) << "row 0 is the last in memory";
  SurfaceRef odd = MakeSurface(16, 3, 2);
  EXPECT_EQ(odd->GetStride(), 8u);
  EXPECT_EQ(DxDraw::CreateSurface(24), nullptr);
  // Pixel storage starts on a cache line, so the vector routines' blocks of a frame never straddle two.
  for (const SurfaceRef* surface : {&s, &odd})
    EXPECT_EQ(reinterpret_cast<uintptr_t>((*surface)->GetBits()) % DxDraw::kPixelAlignment, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(DxDraw::PixelBuffer(7, 3, 4).Bytes()) % DxDraw::kPixelAlignment, 0u);
}

TEST(Surface, BlendLevelZeroDrawsNothingAndLevel256Copies) {
  SurfaceRef src = MakeSurface(32, 2, 2, 0x00806040);
  SurfaceRef a = MakeSurface(32, 2, 2, 0x00102030);
  BltParams p;
  p.mode = BltMode(kBltBlend, 0);
  p.level = 0;
  EXPECT_EQ(a->Blt(0, 0, src.Get(), nullptr, nullptr, &p), 1);
  EXPECT_EQ(Px(a.Get(), 1, 1), 0x00102030u);
  EXPECT_TRUE(a->GetUpdateRect().IsEmpty());
  p.level = 256;
  EXPECT_EQ(a->Blt(0, 0, src.Get(), nullptr, nullptr, &p), 1);
  EXPECT_EQ(Px(a.Get(), 1, 1), 0x00806040u);
  EXPECT_EQ(a->GetUpdateRect(), (Rect{0, 0, 2, 2}));
}

TEST(Surface, BltClipsDestinationSourceAndCallerClip) {
  SurfaceRef src = MakeSurface(32, 4, 1);
  for (int x = 0; x < 4; ++x) SetPx(src.Get(), x, 0, 0x10 + x);
  struct Case {
    const char* name;
    int x;
    Rect sourceRect;
    Rect clip;
    uint32_t expect[4];
    Rect update;
  } cases[] = {
      {"negative x shows the shifted source",
       -2,
       {0, 0, 4, 1},
       {-100, -100, 100, 100},
       {0x12, 0x13, 0, 0},
       {0, 0, 2, 1}},
      {"source rect beyond the source is cut, pixels stay aligned",
       0,
       {-2, 0, 2, 1},
       {-100, -100, 100, 100},
       {0, 0, 0x10, 0x11},
       {2, 0, 4, 1}},
      {"the caller's clip is honoured", 0, {0, 0, 4, 1}, {1, 0, 3, 1}, {0, 0x11, 0x12, 0}, {1, 0, 3, 1}},
      {"far right is fully clipped", 10, {0, 0, 4, 1}, {-100, -100, 100, 100}, {0, 0, 0, 0}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SurfaceRef dst = MakeSurface(32, 4, 1);
    EXPECT_EQ(dst->Blt(c.x, 0, src.Get(), &c.sourceRect, &c.clip, nullptr), 1);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(dst.Get(), x, 0), c.expect[x]) << "x=" << x;
    EXPECT_EQ(dst->GetUpdateRect(), c.update);
  }
}

TEST(Surface, BltRefusals) {
  SurfaceRef dst = MakeSurface(32, 4, 4, 0x00ABCDEF);
  SurfaceRef src16 = MakeSurface(16, 4, 4);
  SurfaceRef src = MakeSurface(32, 4, 4, 0x00111111);
  const Rect outside{10, 10, 12, 12};
  EXPECT_EQ(dst->Blt(0, 0, nullptr, nullptr, nullptr, nullptr), 0) << "no source";
  EXPECT_EQ(dst->Blt(0, 0, src16.Get(), nullptr, nullptr, nullptr), 0) << "depth mismatch";
  EXPECT_EQ(dst->Blt(0, 0, src.Get(), &outside, nullptr, nullptr), 0) << "source rect outside the source";
  BltParams p;
  p.mode = 6;  // no such operation on 32 bits
  EXPECT_EQ(dst->Blt(0, 0, src.Get(), nullptr, nullptr, &p), 0);
  p.mode = 5;  // masked, without a mask image
  EXPECT_EQ(dst->Blt(0, 0, src.Get(), nullptr, nullptr, &p), 0);
  SurfaceRef smallMask = MakeSurface(32, 2, 2);
  p.maskImage = smallMask.Get();
  EXPECT_EQ(dst->Blt(0, 0, src.Get(), nullptr, nullptr, &p), 0) << "a mask smaller than the area";
  EXPECT_EQ(Px(dst.Get(), 3, 3), 0x00ABCDEFu);
  EXPECT_TRUE(dst->GetUpdateRect().IsEmpty());
}

TEST(Surface, FillsAreClippedAndUseTheAlphaRule) {
  SurfaceRef s = MakeSurface(32, 4, 4, 0x12345678);
  s->Fill(nullptr, 0, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(Px(s.Get(), x, y), 0xFF000000u);
  EXPECT_EQ(s->GetUpdateRect(), (Rect{0, 0, 4, 4}));
  s->ClearUpdateRect();
  const Rect r{-5, -5, 2, 2};
  s->Fill(&r, 0x00AABBCC, 255);
  EXPECT_EQ(Px(s.Get(), 1, 1), 0x00AABBCCu);
  EXPECT_EQ(Px(s.Get(), 2, 2), 0xFF000000u);
  EXPECT_EQ(s->GetUpdateRect(), (Rect{0, 0, 2, 2}));
  s->FillArea(3, 3, 10, 10, 0x000000FF, 128);
  EXPECT_EQ(Px(s.Get(), 3, 3), 0x7F0000FFu);

  SurfaceRef s16 = MakeSurface(16, 2, 2);
  s16->Fill(nullptr, 0xFFFF, 1);
  EXPECT_EQ(Px(s16.Get(), 0, 0), 0x7FFFu) << "a non-zero alpha is opaque: bit 15 clear";
  s16->Fill(nullptr, 0x1234, 0);
  EXPECT_EQ(Px(s16.Get(), 0, 0), 0x9234u) << "alpha 0 is transparent: bit 15 set";
}

TEST(Surface, SetAlphaKeepsColours) {
  SurfaceRef s = MakeSurface(32, 2, 2, 0x00112233);
  const Rect r{1, 0, 5, 5};
  s->SetAlpha(&r, 55);
  EXPECT_EQ(Px(s.Get(), 1, 1), 0xC8112233u);
  EXPECT_EQ(Px(s.Get(), 0, 1), 0x00112233u);
  SurfaceRef s16 = MakeSurface(16, 1, 1, 0x1234);
  s16->SetAlpha(nullptr, 0);
  EXPECT_EQ(Px(s16.Get(), 0, 0), 0x9234u);
  s16->SetAlpha(nullptr, 1);
  EXPECT_EQ(Px(s16.Get(), 0, 0), 0x1234u);
}

TEST(Surface, StretchAveragesOnReductionAndRepeatsOnEnlargement) {
  SurfaceRef src = MakeSurface(32, 4, 1);
  const uint32_t px[4] = {0x00000010, 0x00000020, 0x00000030, 0x00000050};
  for (int x = 0; x < 4; ++x) SetPx(src.Get(), x, 0, px[x]);
  SurfaceRef dst = MakeSurface(32, 4, 2);
  const Rect to2{0, 0, 2, 1};
  dst->StretchBlt(&to2, src.Get(), nullptr);
  EXPECT_EQ(Px(dst.Get(), 0, 0), 0x18u);
  EXPECT_EQ(Px(dst.Get(), 1, 0), 0x40u);
  const Rect three{0, 0, 3, 1};
  const Rect to2b{0, 1, 2, 2};
  dst->StretchBlt(&to2b, src.Get(), &three);
  EXPECT_EQ(Px(dst.Get(), 0, 1), 0x10u) << "bucket {0}";
  EXPECT_EQ(Px(dst.Get(), 1, 1), 0x28u) << "bucket {1, 2}";
  SurfaceRef wide = MakeSurface(32, 4, 2);
  const Rect two{0, 0, 2, 1};
  const Rect to4x2{0, 0, 4, 2};
  wide->StretchBlt(&to4x2, src.Get(), &two);
  const uint32_t want[4] = {0x10, 0x10, 0x20, 0x20};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(wide.Get(), x, y), want[x]) << x << "," << y;
  const Rect empty{2, 2, 2, 5};
  wide->ClearUpdateRect();
  wide->StretchBlt(&empty, src.Get(), nullptr);
  EXPECT_TRUE(wide->GetUpdateRect().IsEmpty());
}

TEST(Surface, Clones) {
  SurfaceRef s = MakeSurface(32, 4, 4);
  SetPx(s.Get(), 2, 1, 0x00ABCDEF);
  DxSurface* same = s->Clone(0, nullptr);
  EXPECT_EQ(same, s.Get());
  EXPECT_EQ(s->GetRefCount(), 2u);
  same->Release();
  SurfaceRef blank(s->Clone(1, nullptr));
  EXPECT_EQ(blank->GetWidth(), 4);
  EXPECT_EQ(Px(blank.Get(), 2, 1), 0u);
  const Rect part{2, 1, 4, 3};
  SurfaceRef copy(s->Clone(2, &part));
  EXPECT_EQ(copy->GetWidth(), 2);
  EXPECT_EQ(copy->GetAbsHeight(), 2);
  EXPECT_EQ(Px(copy.Get(), 0, 0), 0x00ABCDEFu);
  EXPECT_EQ(s->Clone(3, nullptr), nullptr);
}

TEST(Surface, UpdateRectStaysInsideTheClip) {
  SurfaceRef s = MakeSurface(32, 10, 10);
  const Rect big{-5, -5, 50, 3};
  s->AddUpdateRect(&big);
  EXPECT_EQ(s->GetUpdateRect(), (Rect{0, 0, 10, 3}));
  s->SetClipRect(Rect{2, 2, 100, 100});
  EXPECT_EQ(s->GetClipRect(), (Rect{2, 2, 10, 10}));
}

}  // namespace

namespace {

TEST(DibSection, RowsAndPaletteBySize) {
  DxDraw::DibSection d;
  ASSERT_TRUE(d.Create(3, 2, 4));
  EXPECT_EQ(d.GetPitch(), 4u) << "rows of ((3 x 4 + 31) / 32) x 4 bytes";
  EXPECT_EQ(d.GetPaletteEntries(), 16u);
  EXPECT_EQ(d.GetInfo().size(), 40u + 64);
  EXPECT_EQ(d.GetImageSize(), 8u);
  ASSERT_TRUE(d.Create(5, -3, 24));
  EXPECT_EQ(d.GetPitch(), 16u);
  EXPECT_EQ(d.GetPalette(), nullptr);
  EXPECT_FALSE(d.Create(0x40000000, 4, 32));
  EXPECT_EQ(d.GetBits(), nullptr);
}

}  // namespace
