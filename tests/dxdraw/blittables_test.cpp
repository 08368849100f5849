// Tests of the pixel routines' lookup tables: stated entries, the floating-point construction, the MMX tables.
#include <gtest/gtest.h>

#include "dxdraw/blit.h"
#include "dxdraw/pixeltables.h"

namespace {

class BlitTablesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { DxDraw::BuildBlendTables(); }
};

int Entry(const uint8_t* row, int s, int d) {
  return row[s * 32 + d];
}

}  // namespace

TEST_F(BlitTablesTest, StatedEntries) {
  EXPECT_EQ(g_SpreadTable[0x7FFF], (31u << 20) | (31u << 10) | 31u);
  EXPECT_EQ(g_SpreadTable[0x0421], (1u << 20) | (1u << 10) | 1u);
  struct {
    const char* what;
    int got, want;
  } cases[] = {
      {"blend row 0 gives d", Entry(g_BlendTable[0], 31, 7), 7},
      {"blend row 32 gives s", Entry(g_BlendTable[32], 9, 31), 9},
      {"blend row 16, s 31, d 0", Entry(g_BlendTable[16], 31, 0), 15},
      {"add row 32 saturates", Entry(g_AddTable[32], 31, 31), 31},
      {"add row 0 gives d", Entry(g_AddTable[0], 31, 12), 12},
      {"add row 64 is white", Entry(g_AddTable[64], 3, 9), 31},
      {"add row 48 of black", Entry(g_AddTable[48], 0, 20), 15},
      {"sub row 32, 31 from 31", Entry(g_SubTable[32], 31, 31), 0},
      {"sub row 1, 1 from 31", Entry(g_SubTable[1], 1, 31), 30},
      {"sub row 1, 1 from 0", Entry(g_SubTable[1], 1, 0), 0},
      {"mul255 [255][x]", g_Mul255Table[255][77], 77},
      {"mul255 [a][255]", g_Mul255Table[93][255], 93},
      {"mul255 [128][255]", g_Mul255Table[128][254], 127},
      {"mul256 [256][x]", g_Mul256Table[256][200], 200},
      {"mul256 [128][255]", g_Mul256Table[128][255], 127},
      {"clamp level [0]", g_ClampLevel[0], 0},
      {"clamp level [256]", g_ClampLevel[256], 0},
      {"clamp level [300]", g_ClampLevel[300], 44},
      {"clamp level [767]", g_ClampLevel[767], 255},
      {"alpha union 200 + 100", g_AlphaUnionT[55][155], 0},
      {"alpha union 10 + 20", g_AlphaUnionT[245][235], 225},
      {"alpha cut 200 - 100", g_AlphaCutT[55][155], 155},
      {"alpha cut 100 - 200", g_AlphaCutT[155][55], 255},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST_F(BlitTablesTest, ChannelTablesMatchTheFloatingPointConstruction) {
  for (int l = 0; l <= 64; ++l)
    for (int s = 0; s < 32; ++s)
      for (int d = 0; d < 32; ++d) {
        if (l <= 32) {
          const double a = l * 0.03125;
          int v = static_cast<int>(d * (1 - a) + s * a);
          ASSERT_EQ(g_BlendTable[l][s * 32 + d], v > 31 ? 31 : v) << "blend " << l << " " << s << " " << d;
          v = static_cast<int>(d + s * a);
          ASSERT_EQ(g_AddTable[l][s * 32 + d], v > 31 ? 31 : v) << "add " << l << " " << s << " " << d;
          v = static_cast<int>(d - s * a);
          ASSERT_EQ(g_SubTable[l][s * 32 + d], v < 0 ? 0 : v) << "sub " << l << " " << s << " " << d;
        } else {
          const double b = (l - 32) * 0.03125;
          const int v = static_cast<int>(s * (1 - b) + 31 * b);
          ASSERT_EQ(g_AddTable[l][s * 32 + d], v > 31 ? 31 : v) << "bright " << l << " " << s << " " << d;
        }
      }
  for (uint32_t p = 0; p < 32768; ++p) {
    const uint32_t e = g_SpreadTable[p];
    ASSERT_EQ((e & 0x1F) | ((e >> 5) & 0x3E0) | ((e >> 10) & 0x7C00), p) << "spread " << p;
    ASSERT_EQ(e & ~((0x1Fu << 20) | (0x1Fu << 10) | 0x1Fu), 0u) << "spread " << p;
  }
}

TEST_F(BlitTablesTest, ProductAndWeightTables) {
  for (int a = 0; a < 256; ++a)
    for (int x = 0; x < 256; ++x) ASSERT_EQ(g_Mul255Table[a][x], x * a / 255) << a << " " << x;
  for (int b = 0; b <= 256; ++b)
    for (int x = 0; x < 256; ++x) ASSERT_EQ(g_Mul256Table[b][x], x * b / 256) << b << " " << x;
  for (int i = 0; i < 256; ++i) {
    const int wa = g_MmxWeightByAlpha[i][0];
    EXPECT_EQ(wa, i == 0 ? 0 : i + 1);
    EXPECT_EQ(wa + g_MmxWeightByT[i][0], 256) << i;
    EXPECT_EQ(g_MmxWeightByAlpha[i][3], 0);
    EXPECT_EQ(g_MmxWeightByT[i][3], 0);
  }
  EXPECT_EQ(g_MmxWeightByT[0][1], 256) << "an opaque source weighs fully";
  for (int i = 0; i <= 256; ++i) {
    EXPECT_EQ(g_MmxLevel[i][2], i);
    EXPECT_EQ(g_MmxLevelInv[i][2], 256 - i);
    EXPECT_EQ(g_MmxLevelInv[i][3], 0);
  }
  EXPECT_EQ(g_MmxWhite, (Words4{255, 255, 255, 0}));
  EXPECT_EQ(g_MmxOne, (Words4{256, 256, 256, 256}));
}
