// Tests of the 32-bit blit routines: the stated results of both forms, the row rules, the surface-side
// preparation and split, level clamping, and equality of the vector MMX form with its scalar reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "dxdraw/blit.h"
#include "dxdraw/blitroutines.h"
#include "dxdraw/pixelbuffer.h"
#include "dxdraw/pixeltables.h"

using DxDraw::PixelBuffer;

namespace {

// Runs one routine over a two-pixel row of (s, d) with mask blue byte m; returns the first pixel.
uint32_t RunPair(BltFunc f, uint32_t mode, int level, uint32_t s, uint32_t d, uint32_t m = 0,
                 uint32_t colorMask = 0xFFFFFFFF) {
  PixelBuffer src(2, 1, 4), dst(2, 1, 4), msk(2, 1, 4);
  for (int x = 0; x < 2; ++x) src.Set32(x, 0, s), dst.Set32(x, 0, d), msk.Set32(x, 0, m);
  BltParams p;
  p.mode = mode;
  p.level = static_cast<uint32_t>(level) & 0xFFFF;
  p.colorMask = colorMask;
  f(dst.Top(), src.Top(), msk.Top(), 2, &p, dst.Pitch(), src.Pitch(), msk.Pitch(), 1);
  EXPECT_EQ(dst.Get32(0, 0), dst.Get32(1, 0)) << "both pixels of the pair get the same result";
  return dst.Get32(0, 0);
}

struct Case {
  const char* what;
  uint32_t mode;
  int level;
  uint32_t s, d, m;
  uint32_t plain, mmx;
};

const Case kCases[] = {
    {"copy, source T 255: destination colour kept, T 255", BltMode(0, 0, kBltSrcAlpha), 0, 0xFF112233, 0x00445566, 0,
     0xFF445566, 0xFF445566},
    {"copy, source alpha 128 of 255 over 0", BltMode(0, 0, kBltSrcAlpha), 0, 0x7FFFFFFF, 0x00000000, 0, 0x7F808080,
     0x7F7F7F7F},
    {"copy, opaque source", BltMode(0, 0, kBltSrcAlpha), 0, 0x00123456, 0x00ABCDEF, 0, 0x00123456, 0x00123456},
    {"blend 128 of 255 and 255", BltMode(2, 0), 128, 0x00FFFFFF, 0x00FFFFFF, 0, 0x00FEFEFE, 0x00FFFFFF},
    {"blend 128 of 1 and 1", BltMode(2, 0), 128, 0x00010101, 0x00010101, 0, 0x00000000, 0x00010101},
    {"bright 512 is white", BltMode(1, 0), 512, 0x00102030, 0x00998877, 0, 0x00FFFFFF, 0x00FFFFFF},
    {"bright 256 is the source", BltMode(1, 0), 256, 0x00102030, 0x00998877, 0, 0x00102030, 0x00102030},
    {"bright 0 is black", BltMode(1, 0), 0, 0x00102030, 0x00998877, 0, 0x00000000, 0x00000000},
    {"blend 384 brightens the source halfway, ignores the destination", BltMode(2, 0), 384, 0x00656565, 0x00FF00FF, 0,
     0x00B1B1B1, 0x00B2B2B2},
    {"blend 128 with source alpha", BltMode(2, 0, kBltSrcAlpha), 128, 0x00FFFFFF, 0x00000000, 0, 0x007F7F7F,
     0x007F7F7F},
    {"sub 1 at 128 from 10", BltMode(4, 0), 128, 0x00010101, 0x000A0A0A, 0, 0x000A0A0A, 0x00090909},
    {"add saturates", BltMode(3, 0), 256, 0x00808080, 0x00909090, 0, 0x00FFFFFF, 0x00FFFFFF},
    {"xor at full level", BltMode(10, 0), 256, 0x000F0F0F, 0x00F0F0F0, 0, 0x00FFFFFF, 0x00FFFFFF},
    {"mask fade 256, mask 0 keeps the destination", BltMode(5, 0), 256, 0x00FFFFFF, 0x00102030, 0, 0x00102030,
     0x00102030},
    {"mask fade 256, mask 255 shows the source", BltMode(5, 0), 256, 0x00FFFFFF, 0x00102030, 255, 0x00FFFFFF,
     0x00FFFFFF},
    {"blend on layer over a transparent destination", BltMode(11, 0), 256, 0x00FFFFFF, 0xFF000000, 0, 0xFF000000,
     0xFF000000},
    {"blend on layer over an opaque destination keeps its T", BltMode(11, 1), 256, 0x80FFFFFF, 0x00000000, 0,
     0x00FFFFFF, 0x00FFFFFF},
    {"blend on layer with source alpha: weighted by the destination's alpha, its T kept in any row",
     BltMode(11, 2, kBltSrcAlpha), 256, 0x00FFFFFF, 0x11000000, 0, 0x11EEEEEE, 0x11EDEDED},
    {"mask fade 384 with source alpha 221, mask 0", BltMode(5, 0, kBltSrcAlpha), 384, 0x22FFFFFF, 0x00000000, 0,
     0x226E6E6E, 0x226F6F6F},
    {"row 1: alphas 200 + 100 cap at opaque", BltMode(0, 1), 0, 0x37112233, 0x9B000000, 0, 0x00112233, 0x00112233},
    {"row 2: alpha 200 - 100", BltMode(0, 2), 0, 0x9B112233, 0x37000000, 0, 0x9B112233, 0x9B112233},
    {"row 2: alpha 100 - 200 is transparent", BltMode(0, 2), 0, 0x37112233, 0x9B000000, 0, 0xFF112233, 0xFF112233},
    {"row 3 keeps the destination T", BltMode(0, 3), 0, 0x00112233, 0x44000000, 0, 0x44112233, 0x44112233},
    {"row 0 takes the source T where the colour is kept", BltMode(2, 0, kBltKeepBlend), 0, 0x5A112233, 0x00445566, 0,
     0x5A445566, 0x5A445566},
    {"bits 16-23 other than 0x01, 0x04, 0x05: the plain form ignores the source T, the MMX form tests bit 16",
     BltMode(0, 0, 0x90000), 0, 0x7FFFFFFF, 0x00000000, 0, 0x7FFFFFFF, 0x7F7F7F7F},
};

class Blt32Test : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = g_UseMmx, savedHas_ = g_HasMmx, savedVector_ = &BltVector32(); }
  void TearDown() override { g_UseMmx = saved_, g_HasMmx = savedHas_, SetBltVector32(savedVector_); }
  int saved_ = 0, savedHas_ = 0;
  const BltTable* savedVector_ = nullptr;
};

const std::vector<uint32_t> kOps32 = BltOperationsOf(32);

}  // namespace

TEST_F(Blt32Test, StatedResultsOfBothForms) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const BltFunc plain = LookupBlt(g_BltTable32, c.mode);
    const BltFunc mmx = LookupBlt(g_BltTable32Mmx, c.mode);
    const BltFunc ref = LookupBlt(g_BltTable32MmxRef, c.mode);
    ASSERT_TRUE(plain && mmx && ref);
    EXPECT_EQ(RunPair(plain, c.mode, c.level, c.s, c.d, c.m), c.plain) << std::hex << "plain form";
    EXPECT_EQ(RunPair(mmx, c.mode, c.level, c.s, c.d, c.m), c.mmx) << std::hex << "MMX form";
    EXPECT_EQ(RunPair(ref, c.mode, c.level, c.s, c.d, c.m), c.mmx) << std::hex << "MMX reference";
  }
}

TEST_F(Blt32Test, MmxAddCombinesEachPixelWithItsOwnDestination) {
  PixelBuffer src(4, 1, 4), dst(4, 1, 4);
  const uint32_t d[4] = {0x00000000, 0x00101010, 0x00F0F0F0, 0x00404040};
  for (int x = 0; x < 4; ++x) src.Set32(x, 0, 0x00202020), dst.Set32(x, 0, d[x]);
  BltParams p;
  p.mode = BltMode(kBltAdd, 3);
  p.level = 256;
  p.colorMask = 0xFFFFFFFF;
  LookupBlt(g_BltTable32Mmx, p.mode)(dst.Top(), src.Top(), nullptr, 4, &p, dst.Pitch(), src.Pitch(), 0, 1);
  const uint32_t want[4] = {0x00202020, 0x00303030, 0x00FFFFFF, 0x00606060};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.Get32(x, 0), want[x]) << "pixel " << x;
}

TEST_F(Blt32Test, MaskFadeLevelsAndMaskValues) {
  // w = clamp(m + L - 256, 0, 255): a mask value m appears once L passes 256 - m, fully at 511 - m.
  struct {
    int level;
    uint32_t m, want;
  } cases[] = {{0, 255, 0x00000000}, {255, 1, 0x00000000}, {257, 0, 0x00010101}, {300, 100, 0x00909090},
               {511, 0, 0x00FFFFFF}, {512, 0, 0x00FFFFFF}, {2000, 0, 0x00FFFFFF}};
  const uint32_t mode = BltMode(kBltMaskFade, 0);
  for (const auto& c : cases)
    for (const auto* table : {&g_BltTable32, &g_BltTable32Mmx}) {
      EXPECT_EQ(RunPair(LookupBlt(*table, mode), mode, c.level, 0x00FFFFFF, 0, c.m), c.want)
          << std::hex << "level " << std::dec << c.level << " mask " << c.m;
    }
}

TEST_F(Blt32Test, PreparationMasksAndFlags) {
  BltParams caller;
  caller.mode = BltMode(kBltCopy, 0, kBltInvertMask);
  caller.colorMask = 0x000000FF;
  BltParams p = PrepareBltParams32(&caller);
  EXPECT_EQ(p.colorMask, 0xFFFFFFFFu) << "without bit 18 the channel masks let everything through";
  EXPECT_EQ(p.mode, BltMode(kBltCopy, 0)) << "bit 17 is removed";
  caller.mode = BltMode(kBltCopy, 0, kBltKeyOrMask);
  p = PrepareBltParams32(&caller);
  EXPECT_EQ(p.colorMask, 0xFF0000FFu);
  EXPECT_EQ(PrepareBltParams32(nullptr).mode, 0u);
  // With bit 18 the channel masks apply in both forms.
  for (const auto* table : {&g_BltTable32, &g_BltTable32Mmx})
    EXPECT_EQ(RunPair(LookupBlt(*table, p.mode), p.mode, 0, 0x40112233, 0x00FFFFFF, 0, p.colorMask), 0x40000033u);
}

TEST_F(Blt32Test, BlendShortcutAndKeepFlag) {
  PixelBuffer src(3, 2, 4), dst(3, 2, 4);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) src.Set32(x, y, 0x20406080), dst.Set32(x, y, 0x00010203);
  BltParams caller;
  caller.mode = BltMode(kBltBlend, 0);
  caller.level = 0;
  for (int mmx : {0, 1}) {
    g_UseMmx = mmx;
    BltParams p = PrepareBltParams32(&caller);
    EXPECT_EQ(CallBlt32(dst.Top(), src.Top(), nullptr, 3, p, dst.Pitch(), src.Pitch(), 0, 2), BltResult::kSkipped);
    EXPECT_EQ(dst.Get32(2, 1), 0x00010203u) << "level 0 draws nothing";
  }
  caller.level = 256;
  BltParams p = PrepareBltParams32(&caller);
  EXPECT_EQ(CallBlt32(dst.Top(), src.Top(), nullptr, 3, p, dst.Pitch(), src.Pitch(), 0, 2), BltResult::kDrawn);
  EXPECT_EQ(dst.Get32(2, 1), 0x20406080u) << "level 256 copies";
  EXPECT_EQ(p.mode & 0xFF, 0u);
  // With bit 28 level 0 runs the blend: colours stay, T follows the source (row 0).
  Fill32C(dst.Top(), 3, dst.Pitch(), 0x00010203, 2);
  caller.mode |= kBltKeepBlend;
  caller.level = 0;
  p = PrepareBltParams32(&caller);
  EXPECT_EQ(CallBlt32(dst.Top(), src.Top(), nullptr, 3, p, dst.Pitch(), src.Pitch(), 0, 2), BltResult::kDrawn);
  EXPECT_EQ(dst.Get32(0, 0), 0x20010203u);
}

TEST_F(Blt32Test, MissingOperationsAndIndexesBeyondTheTable) {
  PixelBuffer src(2, 1, 4), dst(2, 1, 4);
  src.Set32(0, 0, 0x11111111);
  dst.Set32(0, 0, 0x22222222);
  // Every code 32-bit pixels lack, in each row, and low bytes beyond the table.
  std::vector<uint32_t> modes = {0x40, 0x42, 0x80, 0xFF};
  for (uint32_t op = 0; op < 16; ++op)
    if (std::find(kOps32.begin(), kOps32.end(), op) == kOps32.end())
      for (uint32_t row = 0; row < 4; ++row) modes.push_back(BltMode(op, row));
  EXPECT_EQ(modes.size(), 4u + 8 * 4) << "ops 6-9 and 12-15";
  for (int mmx : {0, 1}) {
    g_UseMmx = mmx;
    for (uint32_t mode : modes) {
      BltParams caller;
      caller.mode = mode;
      BltParams p = PrepareBltParams32(&caller);
      EXPECT_EQ(CallBlt32(dst.Top(), src.Top(), nullptr, 2, p, dst.Pitch(), src.Pitch(), 0, 1), BltResult::kNoRoutine)
          << "mode " << mode;
      EXPECT_EQ(dst.Get32(0, 0), 0x22222222u);
      EXPECT_EQ(LookupBlt(g_BltTable32Mmx, mode), nullptr);
    }
  }
}

TEST_F(Blt32Test, MaskFadeWithoutMaskReadsZeros) {
  for (const auto* table : {&g_BltTable32, &g_BltTable32Mmx, &g_BltTable32MmxRef}) {
    PixelBuffer src(6, 2, 4), a(6, 2, 4), b(6, 2, 4), zeros(6, 2, 4);
    Fill32C(src.Top(), 6, src.Pitch(), 0x40C08040, 2);
    Fill32C(a.Top(), 6, a.Pitch(), 0x10203040, 2);
    b = a;
    BltParams p;
    p.mode = BltMode(kBltMaskFade, 0, kBltSrcAlpha);
    p.level = 400;
    p.colorMask = 0xFFFFFFFF;
    const BltFunc f = LookupBlt(*table, p.mode);
    f(a.Top(), src.Top(), nullptr, 6, &p, a.Pitch(), src.Pitch(), 0, 2);
    f(b.Top(), src.Top(), zeros.Top(), 6, &p, b.Pitch(), src.Pitch(), zeros.Pitch(), 2);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 6; ++x) EXPECT_EQ(a.Get32(x, y), b.Get32(x, y)) << "x " << x << " y " << y;
    EXPECT_NE(a.Get32(0, 0), 0x10203040u) << "the routine ran";
  }
}

TEST_F(Blt32Test, OddWidthEndsWithThePlainRoutine) {
  // Blend at 128 of 255 over 255: the plain form gives 254, the MMX form 255.
  for (int width : {1, 2, 7}) {
    PixelBuffer src(width, 2, 4), dst(width, 2, 4);
    Fill32C(src.Top(), width, src.Pitch(), 0x00FFFFFF, 2);
    Fill32C(dst.Top(), width, dst.Pitch(), 0x00FFFFFF, 2);
    BltParams caller;
    caller.mode = BltMode(kBltBlend, 0);
    caller.level = 128;
    BltParams p = PrepareBltParams32(&caller);
    g_UseMmx = 1;
    ASSERT_EQ(CallBlt32(dst.Top(), src.Top(), nullptr, width, p, dst.Pitch(), src.Pitch(), 0, 2), BltResult::kDrawn);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < width; ++x) {
        const bool last = (width & 1) && x == width - 1;
        EXPECT_EQ(dst.Get32(x, y), last ? 0x00FEFEFEu : 0x00FFFFFFu) << "width " << width << " x " << x << " y " << y;
      }
  }
}

TEST_F(Blt32Test, LevelsOutsideTheRangeAreClamped) {
  // Clamped levels give the results of the nearest level in range (and index no table out of bounds).
  struct {
    uint32_t op;
    int level, same;
  } cases[] = {{kBltAdd, 1000, 256},   {kBltAdd, -7, 0},   {kBltSub, 300, 256},   {kBltXor, 32767, 256},
               {kBltBright, 600, 512}, {kBltBlend, -1, 0}, {kBltBlend, 513, 512}, {kBltBlendOnLayer, 999, 256},
               {kBltMaskFade, -300, 0}};
  for (const auto& c : cases)
    for (uint32_t flags : {0u, kBltSrcAlpha})
      for (const auto* table : {&g_BltTable32, &g_BltTable32Mmx, &g_BltTable32MmxRef}) {
        const uint32_t mode = BltMode(c.op, 0, flags);
        const BltFunc f = LookupBlt(*table, mode);
        EXPECT_EQ(RunPair(f, mode, c.level, 0x30A0B0C0, 0x10405060, 0x80),
                  RunPair(f, mode, c.same, 0x30A0B0C0, 0x10405060, 0x80))
            << "op " << c.op << " level " << c.level << " flags " << flags;
      }
}

TEST_F(Blt32Test, NegativePitchesWalkUpTheMemory) {
  // The same picture in a bottom-up and a top-down layout gives the same pixels.
  const int w = 5, h = 3;
  for (const auto* table : {&g_BltTable32, &g_BltTable32Mmx}) {
    PixelBuffer sa(w, h, 4), da(w, h, 4), sb(w, h, 4, true), db(w, h, 4, true), ma(w, h, 4), mb(w, h, 4, true);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t s = 0x01030507u * static_cast<uint32_t>(x * 7 + y * 13 + 1);
        const uint32_t d = 0x0B0D0F11u * static_cast<uint32_t>(x * 3 + y * 5 + 2);
        sa.Set32(x, y, s), sb.Set32(x, y, s), da.Set32(x, y, d), db.Set32(x, y, d);
        ma.Set32(x, y, static_cast<uint32_t>(x * 40 + y * 50)), mb.Set32(x, y, static_cast<uint32_t>(x * 40 + y * 50));
      }
    BltParams p;
    p.mode = BltMode(kBltMaskFade, 1, kBltSrcAlpha);
    p.level = 300;
    p.colorMask = 0xFFFFFFFF;
    const int ww = table == &g_BltTable32Mmx ? 4 : w;
    LookupBlt(*table, p.mode)(da.Top(), sa.Top(), ma.Top(), ww, &p, da.Pitch(), sa.Pitch(), ma.Pitch(), h);
    LookupBlt(*table, p.mode)(db.Top(), sb.Top(), mb.Top(), ww, &p, db.Pitch(), sb.Pitch(), mb.Pitch(), h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) EXPECT_EQ(da.Get32(x, y), db.Get32(x, y)) << "x " << x << " y " << y;
    EXPECT_NE(da.Get32(0, 0), 0x0B0D0F11u * 2u) << "the routine ran";
  }
}

TEST_F(Blt32Test, PlainFormRoundsImagePitchesToWholePixels) {
  // Pitches of 18 bytes: the plain form walks 16 (toward zero, also when negative), the MMX form 18.
  // Copy takes the row-copy path, Xor at full level over zeros the per-pixel one; both give the source.
  for (ptrdiff_t sign : {1, -1})
    for (uint32_t op : {uint32_t{kBltCopy}, uint32_t{kBltXor}})
      for (const auto* table : {&g_BltTable32, &g_BltTable32Mmx}) {
        const bool plain = table == &g_BltTable32;
        const ptrdiff_t pitch = 18 * sign, walked = (plain ? 16 : 18) * sign;
        const ptrdiff_t top = sign > 0 ? 0 : 40;
        std::vector<uint8_t> src(64), dst(64, 0), want(64, 0);
        for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7 + 1);
        for (int y = 0; y < 3; ++y)
          for (int i = 0; i < 8; ++i) want[top + y * walked + i] = src[top + y * walked + i];
        BltParams p;
        p.mode = BltMode(op, 0);
        p.level = 256;
        p.colorMask = 0xFFFFFFFF;
        LookupBlt(*table, p.mode)(dst.data() + top, src.data() + top, nullptr, 2, &p, pitch, pitch, 0, 3);
        EXPECT_EQ(dst, want) << (plain ? "plain" : "MMX") << " op " << op << " pitch " << pitch;
      }
}

// The vector versions of the MMX form on this processor: what the table holds and each version's own table.
std::vector<std::pair<const char*, const BltTable*>> VectorTables() {
  std::vector<std::pair<const char*, const BltTable*>> v{{"table", &g_BltTable32Mmx}};
  for (DxDraw::BlitVersion version : DxDraw::kBlitVersions) {
    if (version == DxDraw::BlitVersion::kPlain) continue;
    if (DxDraw::BlitVersionAvailable(version))
      v.push_back({DxDraw::BlitVersionName(version), &BlitVersionTable32(version)});
    else
      std::printf("no %s on this processor: its routines are not compared\n", DxDraw::BlitVersionName(version));
  }
  return v;
}

TEST_F(Blt32Test, VectorFormEqualsItsScalarReference) {
  unsigned seed = 20261210;
  if (const char* e = std::getenv("VARN_BLIT_SEED")) seed = static_cast<unsigned>(std::strtoul(e, nullptr, 10));
  std::printf("blit32 random seed %u (set VARN_BLIT_SEED to repeat)\n", seed);
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  auto pixel = [&rng]() {
    uint32_t v = rng();
    switch (rng() % 4) {  // favour the extremes of T
      case 0:
        return v & 0x00FFFFFF;
      case 1:
        return v | 0xFF000000;
      default:
        return v;
    }
  };
  const auto tables = VectorTables();
  const uint32_t flagSets[] = {
      0, kBltSrcAlpha, kBltKeyOrMask, kBltSrcAlpha | kBltKeyOrMask, 0x20000, 0x30000, kBltKeepBlend | kBltSrcAlpha};
  const int levels[] = {0, 1, 127, 128, 255, 256, 257, 300, 384, 511, 512, -1, 1000};
  int mismatches = 0;
  for (uint32_t op : kOps32)
    for (uint32_t row = 0; row < 4; ++row)
      for (uint32_t flags : flagSets)
        for (int width = 1; width <= 17; ++width)
          for (int trial = 0; trial < 3; ++trial) {
            const int h = 2;
            const bool up = rng() & 1;
            PixelBuffer src(width, h, 4, up), dst(width, h, 4, !up), msk(width, h, 4, up);
            for (int y = 0; y < h; ++y)
              for (int x = 0; x < width; ++x)
                src.Set32(x, y, pixel()), dst.Set32(x, y, pixel()), msk.Set32(x, y, rng());
            BltParams p;
            p.mode = BltMode(op, row, flags);
            p.level = static_cast<uint32_t>(trial == 0 ? levels[rng() % 13] : static_cast<int>(rng() % 513)) & 0xFFFF;
            p.colorMask = (flags & kBltKeyOrMask) ? (rng() | 0xFF000000) : 0xFFFFFFFF;
            PixelBuffer ref = dst;
            LookupBlt(g_BltTable32MmxRef, p.mode)(ref.Top(), src.Top(), msk.Top(), width, &p, ref.Pitch(), src.Pitch(),
                                                  msk.Pitch(), h);
            for (const auto& [name, table] : tables) {
              PixelBuffer out = dst;
              LookupBlt(*table, p.mode)(out.Top(), src.Top(), msk.Top(), width, &p, out.Pitch(), src.Pitch(),
                                        msk.Pitch(), h);
              for (int y = 0; y < h; ++y)
                for (int x = 0; x < width; ++x)
                  if (out.Get32(x, y) != ref.Get32(x, y) && ++mismatches <= 10)
                    ADD_FAILURE() << name << std::hex << " op " << op << " row " << row << " flags " << flags
                                  << std::dec << " width " << width << " level " << static_cast<int16_t>(p.level)
                                  << " x " << x << " y " << y << std::hex << ": vector " << out.Get32(x, y)
                                  << " reference " << ref.Get32(x, y);
            }
          }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(Blt32Test, VectorFormEqualsItsScalarReferenceOnLargeAreas) {
  // Large calls take the per-call weight tables and the long loops; odd widths end with a short block.
  unsigned seed = 20261212;
  if (const char* e = std::getenv("VARN_BLIT_SEED")) seed = static_cast<unsigned>(std::strtoul(e, nullptr, 10));
  std::printf("blit32 large-area seed %u (set VARN_BLIT_SEED to repeat)\n", seed);
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  const int w = 67, h = 17;
  PixelBuffer src(w, h, 4), dst(w, h, 4, true), msk(w, h, 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t t = (rng() % 3 == 0) ? (rng() % 2 ? 0u : 0xFF000000u) : 0u;
      src.Set32(x, y, t ? (rng() & 0x00FFFFFF) | t : rng());
      dst.Set32(x, y, rng());
      msk.Set32(x, y, rng());
    }
  const auto tables = VectorTables();
  int mismatches = 0;
  for (uint32_t op : kOps32)
    for (uint32_t row = 0; row < 4; ++row)
      for (uint32_t flags : {0u, kBltSrcAlpha, kBltSrcAlpha | kBltKeyOrMask})
        for (int level : {0, 128, 256, 300, 512}) {
          BltParams p;
          p.mode = BltMode(op, row, flags);
          p.level = static_cast<uint32_t>(level);
          p.colorMask = (flags & kBltKeyOrMask) ? 0xFF3FF0C7 : 0xFFFFFFFF;
          PixelBuffer b = dst;
          LookupBlt(g_BltTable32MmxRef, p.mode)(b.Top(), src.Top(), msk.Top(), w, &p, b.Pitch(), src.Pitch(),
                                                msk.Pitch(), h);
          for (const auto& [name, table] : tables) {
            PixelBuffer a = dst;
            LookupBlt(*table, p.mode)(a.Top(), src.Top(), msk.Top(), w, &p, a.Pitch(), src.Pitch(), msk.Pitch(), h);
            for (int y = 0; y < h; ++y)
              for (int x = 0; x < w; ++x)
                if (a.Get32(x, y) != b.Get32(x, y) && ++mismatches <= 10)
                  ADD_FAILURE() << name << std::hex << " op " << op << " row " << row << " flags " << flags << std::dec
                                << " level " << level << " x " << x << " y " << y << std::hex << ": vector "
                                << a.Get32(x, y) << " reference " << b.Get32(x, y);
          }
        }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(Blt32Test, MmxSplitGivesTheVectorFormAndAPlainLastColumn) {
  // Through the surface-side call with MMX on: every column but an odd last one has the MMX form's
  // bits, the odd last one the plain form's; nothing outside the rectangle is touched.
  unsigned seed = 20261214;
  if (const char* e = std::getenv("VARN_BLIT_SEED")) seed = static_cast<unsigned>(std::strtoul(e, nullptr, 10));
  std::printf("blit32 split seed %u (set VARN_BLIT_SEED to repeat)\n", seed);
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  g_UseMmx = 1;
  int mismatches = 0;
  for (uint32_t op : kOps32)
    for (uint32_t row = 0; row < 4; ++row)
      for (uint32_t flags : {0u, kBltSrcAlpha, kBltSrcAlpha | kBltKeyOrMask})
        for (int width = 1; width <= 17; ++width) {
          // One spare column and row around the rectangle.
          const int h = 3, bw = width + 2, bh = h + 2;
          PixelBuffer src(bw, bh, 4), dst(bw, bh, 4, true), msk(bw, bh, 4);
          for (int y = 0; y < bh; ++y)
            for (int x = 0; x < bw; ++x) src.Set32(x, y, rng()), dst.Set32(x, y, rng()), msk.Set32(x, y, rng());
          BltParams caller;
          caller.mode = BltMode(op, row, flags);
          caller.level = rng() % 513;
          caller.colorMask = rng();
          BltParams p = PrepareBltParams32(&caller);
          PixelBuffer out = dst;
          const BltResult r =
              CallBlt32(out.At(1, 1), src.At(1, 1), msk.At(1, 1), width, p, out.Pitch(), src.Pitch(), msk.Pitch(), h);
          ASSERT_NE(r, BltResult::kNoRoutine);
          // p now holds the mode the call ran (a full-strength blend becomes a copy); a blend at
          // level 0 draws nothing.
          PixelBuffer want = dst;
          const int even = r == BltResult::kDrawn ? width & ~1 : 0;
          if (even >= 2)
            LookupBlt(g_BltTable32MmxRef, p.mode)(want.At(1, 1), src.At(1, 1), msk.At(1, 1), even, &p, want.Pitch(),
                                                  src.Pitch(), msk.Pitch(), h);
          if (r == BltResult::kDrawn && (width & 1))
            LookupBlt(g_BltTable32, p.mode)(want.At(1 + even, 1), src.At(1 + even, 1), msk.At(1 + even, 1), 1, &p,
                                            want.Pitch(), src.Pitch(), msk.Pitch(), h);
          for (int y = 0; y < bh; ++y)
            for (int x = 0; x < bw; ++x)
              if (out.Get32(x, y) != want.Get32(x, y) && ++mismatches <= 10)
                ADD_FAILURE() << std::hex << "op " << op << " row " << row << " flags " << flags << std::dec
                              << " width " << width << " level " << caller.level << " x " << x << " y " << y << std::hex
                              << ": got " << out.Get32(x, y) << " want " << want.Get32(x, y);
        }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(Blt32Test, FillsAndAlphaOr) {
  for (int mmx : {0, 1}) {
    g_UseMmx = mmx;
    PixelBuffer b(5, 3, 4, true);
    Fill32C(b.Top(), 5, b.Pitch(), 0x12345678, 3);
    CallFill32(b.At(1, 1), 3, b.Pitch(), 0xFF000000, 2);
    EXPECT_EQ(b.Get32(0, 1), 0x12345678u);
    EXPECT_EQ(b.Get32(1, 1), 0xFF000000u);
    EXPECT_EQ(b.Get32(3, 2), 0xFF000000u) << "odd last column filled";
    EXPECT_EQ(b.Get32(4, 2), 0x12345678u) << "nothing beyond the width";
    EXPECT_EQ(b.Get32(3, 0), 0x12345678u) << "nothing above";
    OrAlpha32C(b.Top(), 5, b.Pitch(), 0x0F, 1);
    EXPECT_EQ(b.Get32(2, 0), 0x1F345678u) << "T only grows";
    Fill32C(b.Top(), 0, b.Pitch(), 0, 3);
    EXPECT_EQ(b.Get32(0, 0), 0x1F345678u) << "width 0 stores nothing";
  }
  PixelBuffer b(6, 2, 4);
  Fill32Mmx(b.Top(), 6, b.Pitch(), 0xABCDEF01, 2);
  EXPECT_EQ(b.Get32(5, 1), 0xABCDEF01u);
}

TEST_F(Blt32Test, SwitchFollowsTheProcessor) {
  g_HasMmx = 0;
  g_UseMmx = 0;
  DxDraw::EnableMMX(1);
  EXPECT_EQ(g_UseMmx, 0) << "no MMX on the processor: the switch stays off";
  DxDraw::DetectCpu();
#if defined(__x86_64__)
  EXPECT_EQ(g_HasMmx, 1) << "every x86-64 processor has MMX";
#endif
  EXPECT_EQ(g_UseMmx, g_HasMmx);
  DxDraw::EnableMMX(0);
  EXPECT_EQ(g_UseMmx, 0);
  DxDraw::EnableMMX(1);
  EXPECT_EQ(g_UseMmx, g_HasMmx);
}

TEST_F(Blt32Test, VersionOverrideChoosesTheRoutines) {
  for (DxDraw::BlitVersion version : DxDraw::kBlitVersions) {
    DxDraw::BlitVersion parsed{};
    EXPECT_TRUE(DxDraw::ParseBlitVersion(DxDraw::BlitVersionName(version), parsed));
    EXPECT_EQ(parsed, version) << DxDraw::BlitVersionName(version);
  }
  DxDraw::BlitVersion unchanged = DxDraw::BlitVersion::kAvx2;
  for (const char* bad : {"", "AVX2", "mmx", "sse2 "})
    EXPECT_FALSE(DxDraw::ParseBlitVersion(bad, unchanged)) << '"' << bad << '"';
  EXPECT_EQ(unchanged, DxDraw::BlitVersion::kAvx2);

  // Blend at 128 of 255 over 255 on an odd width: the plain form gives 254 everywhere, the MMX form
  // 255 but for the odd last column.
  auto blend = [] {
    PixelBuffer src(3, 1, 4), dst(3, 1, 4);
    Fill32C(src.Top(), 3, src.Pitch(), 0x00FFFFFF, 1);
    Fill32C(dst.Top(), 3, dst.Pitch(), 0x00FFFFFF, 1);
    BltParams caller;
    caller.mode = BltMode(kBltBlend, 0);
    caller.level = 128;
    BltParams p = PrepareBltParams32(&caller);
    CallBlt32(dst.Top(), src.Top(), nullptr, 3, p, dst.Pitch(), src.Pitch(), 0, 1);
    return dst.Get32(0, 0);
  };
  ASSERT_TRUE(DxDraw::SetBlitVersion(DxDraw::BlitVersion::kPlain));
  EXPECT_EQ(DxDraw::GetBlitVersion(), DxDraw::BlitVersion::kPlain);
  EXPECT_EQ(g_UseMmx, 0);
  EXPECT_EQ(blend(), 0x00FEFEFEu) << "plain";
  DxDraw::BlitVersion widest = DxDraw::BlitVersion::kPlain;
  for (DxDraw::BlitVersion version : DxDraw::kBlitVersions) {
    if (version == DxDraw::BlitVersion::kPlain) continue;
    const char* name = DxDraw::BlitVersionName(version);
    if (!DxDraw::BlitVersionAvailable(version)) {
      const DxDraw::BlitVersion before = DxDraw::GetBlitVersion();
      EXPECT_FALSE(DxDraw::SetBlitVersion(version)) << name;
      EXPECT_EQ(DxDraw::GetBlitVersion(), before) << name << ": refused, nothing changed";
      continue;
    }
    widest = version;
    ASSERT_TRUE(DxDraw::SetBlitVersion(version)) << name;
    EXPECT_EQ(DxDraw::GetBlitVersion(), version) << name;
    EXPECT_EQ(g_UseMmx, 1) << name;
    EXPECT_EQ(&BltVector32(), &BlitVersionTable32(version)) << name << ": the MMX entry points run this version";
    EXPECT_EQ(blend(), 0x00FFFFFFu) << name;
  }
  EXPECT_FALSE(DxDraw::SetBlitVersion(static_cast<DxDraw::BlitVersion>(99)));
  DxDraw::DetectCpu();
  EXPECT_EQ(DxDraw::GetBlitVersion(), widest) << "the processor's choice is the widest version it has";
}

TEST_F(Blt32Test, TableLayout) {
  EXPECT_EQ(kOps32, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 10, 11})) << "the operations 32-bit pixels have";
  EXPECT_EQ(BltOperationsOf(16), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  for (int i = 0; i < kBltTableSize; ++i) {
    const int op = i & 15;
    const bool exists = std::find(kOps32.begin(), kOps32.end(), uint32_t(op)) != kOps32.end();
    for (const BltTable* table : {&g_BltTable32, &g_BltTable32Mmx, &g_BltTable32MmxRef}) {
      EXPECT_EQ((*table)[i] != nullptr, exists) << "index " << i;
    }
    for (DxDraw::BlitVersion version : DxDraw::kBlitVersions)
      EXPECT_EQ(BlitVersionTable32(version)[i] != nullptr, exists)
          << DxDraw::BlitVersionName(version) << " index " << i;
    if (op == 11) {
      EXPECT_EQ(g_BltTable32[i], g_BltTable32[11]) << "one blend-on-layer routine in every row";
      EXPECT_EQ(g_BltTable32Mmx[i], g_BltTable32Mmx[11]);
    } else if (exists && i >= 16) {
      EXPECT_NE(g_BltTable32[i], g_BltTable32[op]) << "each row its own routine, index " << i;
    }
  }
}
