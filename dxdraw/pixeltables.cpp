// Lookup tables of the pixel routines: constant 32-bit tables made at compile time, 16-bit tables at start-up.
#include "dxdraw/pixeltables.h"

#include "dxdraw/blit.h"

uint32_t g_SpreadTable[32768];
uint8_t g_BlendTable[33][1024];
uint8_t g_AddTable[65][1024];
uint8_t g_SubTable[33][1024];

namespace {

constexpr ByteTable256 MakeMul255() {
  ByteTable256 t{};
  for (int a = 0; a < 256; ++a)
    for (int x = 0; x < 256; ++x) t[a][x] = static_cast<uint8_t>(x * a / 255);
  return t;
}

constexpr std::array<std::array<uint8_t, 256>, 257> MakeMul256() {
  std::array<std::array<uint8_t, 256>, 257> t{};
  for (int b = 0; b <= 256; ++b)
    for (int x = 0; x < 256; ++x) t[b][x] = static_cast<uint8_t>(x * b / 256);
  return t;
}

template <size_t N, typename F>
constexpr std::array<Words4, N> MakeWords(F f) {
  std::array<Words4, N> t{};
  for (size_t i = 0; i < N; ++i) {
    const auto v = static_cast<uint16_t>(f(static_cast<int>(i)));
    t[i] = Words4{v, v, v, 0};
  }
  return t;
}

constexpr ByteTable256 MakeAlphaUnion() {
  ByteTable256 t{};
  for (int ts = 0; ts < 256; ++ts)
    for (int td = 0; td < 256; ++td) {
      const int sum = (255 - ts) + (255 - td);
      t[ts][td] = static_cast<uint8_t>(255 - (sum > 255 ? 255 : sum));
    }
  return t;
}

constexpr ByteTable256 MakeAlphaCut() {
  ByteTable256 t{};
  for (int td = 0; td < 256; ++td)
    for (int ts = 0; ts < 256; ++ts) {
      const int diff = (255 - td) - (255 - ts);
      t[td][ts] = static_cast<uint8_t>(255 - (diff < 0 ? 0 : diff));
    }
  return t;
}

constexpr std::array<uint8_t, 768> MakeClampLevel() {
  std::array<uint8_t, 768> t{};
  for (int i = 0; i < 768; ++i) {
    const int v = i - 256;
    t[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  return t;
}

}  // namespace

alignas(64) constinit const ByteTable256 g_Mul255Table = MakeMul255();
alignas(64) constinit const std::array<std::array<uint8_t, 256>, 257> g_Mul256Table = MakeMul256();
alignas(16) constinit const std::array<Words4, 256> g_MmxWeightByAlpha = MakeWords<256>(WeightA);
alignas(16) constinit const std::array<Words4, 256> g_MmxWeightByT = MakeWords<256>(WeightT);
alignas(16) constinit const std::array<Words4, 257> g_MmxLevel = MakeWords<257>([](int i) { return i; });
alignas(16) constinit const std::array<Words4, 257> g_MmxLevelInv = MakeWords<257>([](int i) { return 256 - i; });
alignas(16) constinit const Words4 g_MmxWhite = {255, 255, 255, 0};
alignas(16) constinit const Words4 g_MmxOne = {256, 256, 256, 256};
alignas(64) constinit const ByteTable256 g_AlphaUnionT = MakeAlphaUnion();
alignas(64) constinit const ByteTable256 g_AlphaCutT = MakeAlphaCut();
alignas(64) constinit const std::array<uint8_t, 768> g_ClampLevel = MakeClampLevel();

namespace DxDraw {

// Integer forms of the 1/32-step formulas: every intermediate is a multiple of 1/32, so floor and
// truncation of the exact values give the same entries as the floating-point construction.
void BuildBlendTables() {
  for (int l = 0; l <= 32; ++l)
    for (int s = 0; s < 32; ++s)
      for (int d = 0; d < 32; ++d) {
        const int v = (s * l + d * (32 - l)) / 32;
        g_BlendTable[l][s * 32 + d] = static_cast<uint8_t>(v > 31 ? 31 : v);
      }
  for (int l = 0; l <= 64; ++l)
    for (int s = 0; s < 32; ++s)
      for (int d = 0; d < 32; ++d) {
        const int v = l <= 32 ? d + s * l / 32 : (s * (64 - l) + 31 * (l - 32)) / 32;
        g_AddTable[l][s * 32 + d] = static_cast<uint8_t>(v > 31 ? 31 : v);
      }
  for (int l = 0; l <= 32; ++l)
    for (int s = 0; s < 32; ++s)
      for (int d = 0; d < 32; ++d) {
        const int v = d - (s * l + 31) / 32;  // d - ceil(s * l / 32)
        g_SubTable[l][s * 32 + d] = static_cast<uint8_t>(v < 0 ? 0 : v);
      }
  for (uint32_t p = 0; p < 32768; ++p) g_SpreadTable[p] = ((p & 0x7C00) << 10) | ((p & 0x3E0) << 5) | (p & 0x1F);
}

}  // namespace DxDraw
