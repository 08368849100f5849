// Tests of the 16-bit blit routines: stated results and skip rules in every form, rows, mask XOR lanes,
// fills, the surface-side preparation, and equality of the plain, vector and reference forms.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "dxdraw/blit.h"
#include "dxdraw/pixelbuffer.h"

using DxDraw::PixelBuffer;

namespace {

const std::array<BltFunc, kBltTableSize>* const kTables[] = {&g_BltTable16, &g_BltTable16Mmx, &g_BltTable16MmxRef};
const char* const kTableNames[] = {"plain", "MMX", "MMX reference"};

class Blt16Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { DxDraw::BuildBlendTables(); }
  void SetUp() override { saved_ = g_UseMmx; }
  void TearDown() override { g_UseMmx = saved_; }
  int saved_ = 0;
};

// Runs a routine over a row of 13 equal pixels (vector steps and the scalar rest); returns pixel 0.
uint16_t RunRow(BltFunc f, const BltParams& p, uint16_t s, uint16_t d, uint16_t m) {
  const int w = 13;
  PixelBuffer src(w, 1, 2), dst(w, 1, 2), msk(w, 1, 2);
  for (int x = 0; x < w; ++x) src.Set16(x, 0, s), dst.Set16(x, 0, d), msk.Set16(x, 0, m);
  f(dst.Top(), src.Top(), msk.Top(), w, &p, dst.Pitch(), src.Pitch(), msk.Pitch(), 1);
  for (int x = 1; x < w; ++x) EXPECT_EQ(dst.Get16(x, 0), dst.Get16(0, 0)) << "pixel " << x << " differs";
  return dst.Get16(0, 0);
}

struct Case {
  const char* what;
  uint32_t mode;
  int level;
  uint16_t s, d, m;
  uint16_t want;
  uint32_t maskXor = 0;
  uint32_t destKey = 0;
  uint32_t andMask = 0x8000;
};

constexpr uint16_t kKey = 0x1234;

const Case kCases[] = {
    {"third byte 4: the key test ignores bit 15", BltMode(0, 0, 0x40000), 0, 0x8000 | kKey, 0x0555, 0, 0x0555},
    {"third byte 5: transparent source skipped", BltMode(0, 0, 0x50000), 0, 0x8ABC, 0x0555, 0, 0x0555},
    {"third byte 5: opaque key skipped", BltMode(0, 0, 0x50000), 0, kKey, 0x0555, 0, 0x0555},
    {"third byte 5: other opaque pixel copied", BltMode(0, 0, 0x50000), 0, 0x0ABC, 0x0555, 0, 0x0ABC},
    {"third byte 1: transparent source skipped", BltMode(0, 0, 0x10000), 0, 0x8ABC, 0x0555, 0, 0x0555},
    {"third byte 1: opaque key copied", BltMode(0, 0, 0x10000), 0, kKey, 0x0555, 0, kKey},
    {"third byte 2: every pixel processed", BltMode(0, 0, 0x20000), 0, 0x8000 | kKey, 0x0555, 0, 0x8000 | kKey},
    {"third byte 3: every pixel processed", BltMode(0, 0, 0x30000), 0, 0x8000 | kKey, 0x0555, 0, 0x8000 | kKey},
    {"bright 32 keeps the colour", BltMode(1, 0), 32, 0x1235, 0x7FFF, 0, 0x1235},
    {"bright 0 is black", BltMode(1, 0), 0, 0x9235, 0x7FFF, 0, 0x8000},
    {"bright 64 is white", BltMode(1, 0), 64, 0x1235, 0x0000, 0, 0x7FFF},
    {"bright 48 of black is half white", BltMode(1, 0), 48, 0x0000, 0x0000, 0, 0x3DEF},
    {"blend 16 of white over black", BltMode(2, 0), 16, 0x7FFF, 0x0000, 0, 0x3DEF},
    {"add white onto white saturates", BltMode(3, 1), 32, 0x7FFF, 0x7FFF, 0, 0x7FFF},
    {"sub 1 at level 1 from 0", BltMode(4, 0), 1, 0x0001, 0x0000, 0, 0x0000},
    {"sub 1 at level 1 from 5", BltMode(4, 0), 1, 0x0001, 0x0005, 0, 0x0004},
    {"mask fade 0 keeps the colour, the row sets bit 15", BltMode(5, 2), 0, 0x7FFF, 0x1234, 31, 0x9234},
    {"mask fade 64 shows the source", BltMode(5, 0), 64, 0x7FFF, 0x1234, 0, 0x7FFF},
    {"mask fade 63: mask value 0 is not yet full", BltMode(5, 0), 63, 0x7FFF, 0x1234, 0, 0x7BDE},
    {"mask cut 0 keeps the destination", BltMode(6, 0), 0, 0x7FFF, 0x1234, 0, 0x1234},
    {"mask cut 32 takes the source", BltMode(6, 0), 32, 0x7FFF, 0x1234, 31, 0x7FFF},
    {"mask cut 1: mask 31 keeps the destination", BltMode(6, 0), 1, 0x7FFF, 0x1234, 31, 0x1234},
    {"mask cut 1: inverted mask 31 reads 0", BltMode(6, 0), 1, 0x7FFF, 0x1234, 31, 0x7FFF, 0xFFFFFFFF},
    {"bright or add, third byte 5: transparent source added", BltMode(7, 0, 0x50000), 32, 0x8421, 0x0421, 0, 0x8842},
    {"bright or add: opaque source brightened", BltMode(7, 0, 0x50000), 16, 0x0C63, 0x7FFF, 0, 0x0421},
    {"bright or add, third byte 4: key skipped", BltMode(7, 0, 0x40000), 16, kKey, 0x0555, 0, 0x0555},
    {"bright or sub: transparent source subtracted", BltMode(8, 0), 32, 0x8421, 0x0C63, 0, 0x8842},
    {"copy or blend: opaque key skipped", BltMode(9, 0), 0, kKey, 0x0555, 0, 0x0555},
    {"copy or blend: transparent key pixel blended", BltMode(9, 0, 0x50000), 0, 0x8000 | kKey, 0x0555, 0, 0x8555},
    {"copy or blend: other opaque pixel copied", BltMode(9, 0), 0, 0x0ABC, 0x0555, 0, 0x0ABC},
    {"xor, row 0 keeps the source bit 15", BltMode(10, 0), 0, 0x8F0F, 0x70F0, 0, 0xFFFF},
    {"blend on layer: transparent destination takes the source", BltMode(11, 0), 0, 0x9234, 0x8555, 0, 0x9234},
    {"blend on layer: opaque destination is blended", BltMode(11, 0), 0, 0x1234, 0x0555, 0, 0x0555},
    {"blend dest key: keyed destination blended", BltMode(12, 0), 0, 0x1234, 0x8555, 0, 0x0555, 0, 0x0555},
    {"blend dest key: other destination copies", BltMode(12, 0), 0, 0x1234, 0x0556, 0, 0x1234, 0, 0x0555},
    {"and mask keeps the source bit 15 in row 0", BltMode(13, 0), 0, 0x9234, 0x0000, 0, 0x8014, 0, 0, 0x801F},
    {"row 1 clears bit 15", BltMode(0, 1), 0, 0x9234, 0x8000, 0, 0x1234},
    {"row 2 sets bit 15", BltMode(0, 2), 0, 0x1234, 0x0000, 0, 0x9234},
    {"row 3 inverts the destination bit 15", BltMode(0, 3), 0, 0x1234, 0x8000, 0, 0x1234},
    {"row 3 inverts the destination bit 15 (clear)", BltMode(0, 3), 0, 0x9234, 0x0000, 0, 0x9234},
};

}  // namespace

TEST_F(Blt16Test, StatedResultsInEveryForm) {
  for (const Case& c : kCases) {
    BltParams p;
    p.mode = c.mode;
    p.level = static_cast<uint32_t>(c.level);
    p.colorKey = kKey;
    p.destKey = c.destKey;
    p.colorMask = c.andMask;
    p.maskXor[0] = p.maskXor[1] = c.maskXor;
    for (int t = 0; t < 3; ++t) {
      const BltFunc f = LookupBlt(*kTables[t], c.mode);
      ASSERT_NE(f, nullptr) << c.what;
      EXPECT_EQ(RunRow(f, p, c.s, c.d, c.m), c.want) << std::hex << c.what << " (" << kTableNames[t] << ")";
    }
  }
}

TEST_F(Blt16Test, LevelsOutsideTheRangeAreClamped) {
  // A level beyond an operation's range acts as the nearest level in it, in every form (the plain
  // tables end there: Add at 33 would read a brightening row, Blend at 40 past the table).
  struct {
    uint32_t op;
    int level, same;
  } cases[] = {{kBltBright, 100, 64},       {kBltBright, -5, 0},        {kBltBlend, 40, 32},
               {kBltAdd, 33, 32},           {kBltSub, 99, 32},          {kBltMaskFade, 65, 64},
               {kBltMaskFade, -1, 0},       {kBltBrightOrAdd, 40, 32},  {kBltBrightOrSub, 33, 32},
               {kBltCopyOrBlend, 1000, 32}, {kBltBlendOnLayer, 50, 32}, {kBltBlendDestKey, -32768, 0}};
  const uint16_t s = 0x8C63, d = 0x1084, m = 7;
  for (const auto& c : cases)
    for (int t = 0; t < 3; ++t) {
      BltParams p;
      p.mode = BltMode(c.op, 0);
      p.destKey = d;
      p.level = static_cast<uint32_t>(c.level) & 0xFFFF;
      const BltFunc f = LookupBlt(*kTables[t], p.mode);
      const uint16_t got = RunRow(f, p, s, d, m);
      p.level = static_cast<uint32_t>(c.same);
      EXPECT_EQ(got, RunRow(f, p, s, d, m)) << kTableNames[t] << " op " << c.op << " level " << c.level;
    }
}

TEST_F(Blt16Test, Row3TwiceRestoresTheDestinationFlag) {
  for (int t = 0; t < 3; ++t)
    for (uint16_t d : {uint16_t{0x0000}, uint16_t{0x8000}}) {
      BltParams p;
      p.mode = BltMode(kBltCopy, 3);
      const BltFunc f = LookupBlt(*kTables[t], p.mode);
      const uint16_t once = RunRow(f, p, 0x1234, d, 0);
      EXPECT_EQ(RunRow(f, p, 0x1234, once, 0), 0x1234 | d) << kTableNames[t];
    }
}

TEST_F(Blt16Test, MaskXorWordsByLane) {
  // Lanes 0-3 of each group of four take the halves of words 6 and 7; the rest of the row takes
  // the low half of word 6, as does every pixel of the plain form.
  const int w = 10;
  BltParams p;
  p.mode = BltMode(kBltMaskCut, 0);
  p.level = 1;
  p.maskXor[0] = 0x0000FFFF;
  p.maskXor[1] = 0xFFFF0000;
  for (int t = 0; t < 3; ++t) {
    PixelBuffer src(w, 1, 2), dst(w, 1, 2), msk(w, 1, 2);
    Fill16C(src.Top(), w, src.Pitch(), 0x7FFF, 1);
    Fill16C(msk.Top(), w, msk.Pitch(), 31, 1);
    LookupBlt(*kTables[t], p.mode)(dst.Top(), src.Top(), msk.Top(), w, &p, dst.Pitch(), src.Pitch(), msk.Pitch(), 1);
    for (int x = 0; x < w; ++x) {
      const bool inverted = t == 0 || x >= 8 || (x % 4) == 0 || (x % 4) == 3;
      EXPECT_EQ(dst.Get16(x, 0), inverted ? 0x7FFF : 0x0000) << kTableNames[t] << " pixel " << x;
    }
  }
}

TEST_F(Blt16Test, MaskOperationsWithoutMaskReadZeros) {
  for (uint32_t op : {uint32_t{kBltMaskFade}, uint32_t{kBltMaskCut}})
    for (int t = 0; t < 3; ++t) {
      PixelBuffer src(11, 2, 2), a(11, 2, 2), b(11, 2, 2), zeros(11, 2, 2);
      Fill16C(src.Top(), 11, src.Pitch(), 0x7FFF, 2);
      BltParams p;
      p.mode = BltMode(op, 0);
      p.level = 40;
      const BltFunc f = LookupBlt(*kTables[t], p.mode);
      f(a.Top(), src.Top(), nullptr, 11, &p, a.Pitch(), src.Pitch(), 0, 2);
      f(b.Top(), src.Top(), zeros.Top(), 11, &p, b.Pitch(), src.Pitch(), zeros.Pitch(), 2);
      for (int x = 0; x < 11; ++x) EXPECT_EQ(a.Get16(x, 1), b.Get16(x, 1)) << kTableNames[t] << " op " << op;
      EXPECT_NE(a.Get16(0, 0), 0) << "the routine ran";
    }
}

TEST_F(Blt16Test, PreparationAndMissingOperations) {
  BltParams caller;
  caller.mode = BltMode(kBltMaskFade, 0, kBltInvertMask);
  caller.maskXor[0] = 0x1234;
  BltParams p = PrepareBltParams16(&caller);
  EXPECT_EQ(p.mode, BltMode(kBltMaskFade, 0)) << "bit 17 removed";
  EXPECT_EQ(p.maskXor[0], 0xFFFFFFFFu);
  EXPECT_EQ(p.maskXor[1], 0xFFFFFFFFu);
  EXPECT_EQ(p.colorMask, 0x8000u);
  caller.mode = BltMode(kBltMaskFade, 0);
  p = PrepareBltParams16(&caller);
  EXPECT_EQ(p.maskXor[0], 0u);
  EXPECT_EQ(p.maskXor[1], 0u);

  PixelBuffer src(3, 1, 2), dst(3, 1, 2);
  dst.Set16(0, 0, 0x0555);
  for (int mmx : {0, 1}) {
    g_UseMmx = mmx;
    for (uint32_t mode : {14u, 15u, 0x3Eu, 0x40u, 0x4Du, 0xFFu}) {
      BltParams q;
      q.mode = mode;
      EXPECT_EQ(CallBlt16(dst.Top(), src.Top(), nullptr, 3, q, dst.Pitch(), src.Pitch(), 0, 1), BltResult::kNoRoutine)
          << "mode " << mode;
    }
    EXPECT_EQ(dst.Get16(0, 0), 0x0555);
    BltParams q;
    q.mode = BltMode(kBltXor, 0);
    EXPECT_EQ(CallBlt16(dst.Top(), src.Top(), nullptr, 3, q, dst.Pitch(), src.Pitch(), 0, 1), BltResult::kDrawn);
    EXPECT_EQ(dst.Get16(0, 0), 0x0555) << "xor with 0 keeps the colour";
  }
}

TEST_F(Blt16Test, FillsAndFlagSetters) {
  for (int mmx : {0, 1}) {
    g_UseMmx = mmx;
    PixelBuffer b(11, 3, 2, true);
    Fill16C(b.Top(), 11, b.Pitch(), 0x1234, 3);
    CallFill16(b.At(1, 1), 9, b.Pitch(), 0x0ABC, 2);
    EXPECT_EQ(b.Get16(0, 1), 0x1234);
    EXPECT_EQ(b.Get16(9, 2), 0x0ABC);
    EXPECT_EQ(b.Get16(10, 2), 0x1234) << "nothing beyond the width";
    EXPECT_EQ(b.Get16(5, 0), 0x1234) << "nothing above";
    CallSetTransparent16(b.Top(), 11, b.Pitch(), 2);
    EXPECT_EQ(b.Get16(10, 1), 0x9234);
    EXPECT_EQ(b.Get16(4, 1), 0x8ABC);
    EXPECT_EQ(b.Get16(4, 2), 0x0ABC);
    CallSetOpaque16(b.At(0, 1), 11, b.Pitch(), 1);
    EXPECT_EQ(b.Get16(4, 1), 0x0ABC);
    EXPECT_EQ(b.Get16(4, 0), 0x9234);
  }
  PixelBuffer b(9, 1, 2);
  Fill16Mmx(b.Top(), 9, b.Pitch(), 0x7FFF, 1);
  SetTransparent16Mmx(b.Top(), 9, b.Pitch(), 1);
  EXPECT_EQ(b.Get16(8, 0), 0xFFFF);
  SetOpaque16Mmx(b.Top(), 0, b.Pitch(), 1);
  EXPECT_EQ(b.Get16(0, 0), 0xFFFF) << "width 0 changes nothing";
}

TEST_F(Blt16Test, AllFormsAgree) {
  unsigned seed = 20261211;
  if (const char* e = std::getenv("VARN_BLIT_SEED")) seed = static_cast<unsigned>(std::strtoul(e, nullptr, 10));
  std::printf("blit16 random seed %u (set VARN_BLIT_SEED to repeat)\n", seed);
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  const uint32_t thirds[] = {0, 1, 2, 3, 4, 5};
  int mismatches = 0;
  for (uint32_t op : BltOperationsOf(16))
    for (uint32_t row = 0; row < 4; ++row)
      for (uint32_t third : thirds)
        for (int width = 1; width <= 17; ++width)
          for (int trial = 0; trial < 2; ++trial) {
            const int h = 2;
            const bool up = rng() & 1;
            // A few colours only, so that keys and destination keys match often.
            const uint16_t palette[4] = {static_cast<uint16_t>(rng()), static_cast<uint16_t>(rng()),
                                         static_cast<uint16_t>(rng()), static_cast<uint16_t>(rng())};
            PixelBuffer src(width, h, 2, up), dst(width, h, 2, !up), msk(width, h, 2);
            for (int y = 0; y < h; ++y)
              for (int x = 0; x < width; ++x) {
                src.Set16(x, y, rng() % 3 ? palette[rng() % 4] : static_cast<uint16_t>(rng()));
                dst.Set16(x, y, rng() % 3 ? palette[rng() % 4] : static_cast<uint16_t>(rng()));
                msk.Set16(x, y, static_cast<uint16_t>(rng()));
              }
            BltParams p;
            p.mode = BltMode(op, row, third << 16);
            const int level = static_cast<int>(rng() % 80) - 8;  // in and beyond every range
            p.level = static_cast<uint32_t>(level) & 0xFFFF;
            p.colorKey = palette[rng() % 4] | (rng() & 0x8000);
            p.destKey = palette[rng() % 4];
            p.colorMask = rng() | 0x8000;
            // Equal mask words for all three forms; distinct ones for the MMX form and its reference.
            const bool distinct = trial == 1;
            p.maskXor[0] = distinct ? rng() : (rng() & 1 ? 0xFFFFFFFF : 0);
            p.maskXor[1] = distinct ? rng() : p.maskXor[0];
            PixelBuffer out[3] = {dst, dst, dst};
            for (int t = distinct ? 1 : 0; t < 3; ++t)
              LookupBlt(*kTables[t], p.mode)(out[t].Top(), src.Top(), msk.Top(), width, &p, out[t].Pitch(), src.Pitch(),
                                             msk.Pitch(), h);
            for (int t = distinct ? 1 : 0; t < 2; ++t)
              for (int y = 0; y < h; ++y)
                for (int x = 0; x < width; ++x)
                  if (out[t].Get16(x, y) != out[2].Get16(x, y) && ++mismatches <= 10)
                    ADD_FAILURE() << kTableNames[t] << " op " << op << " row " << row << " third " << third << " width "
                                  << width << " level " << level << " x " << x << std::hex << ": " << out[t].Get16(x, y)
                                  << " reference " << out[2].Get16(x, y);
          }
  EXPECT_EQ(mismatches, 0);
}
