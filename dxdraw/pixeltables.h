// Lookup tables of the pixel routines: the 16-bit channel tables built at start-up and the constant
// multiplication, weight and transparency tables of the 32-bit routines.
#pragma once

#include <array>
#include <cstdint>

// ---- 16-bit channel tables (DxDraw::BuildBlendTables fills them; zero before) ----
// Row L, entry s * 32 + d for 5-bit source and destination channel values.
extern uint32_t g_SpreadTable[32768];   // (red << 20) | (green << 10) | blue of a 15-bit colour
extern uint8_t g_BlendTable[33][1024];  // floor((s * L + d * (32 - L)) / 32)
extern uint8_t g_AddTable[65][1024];    // L <= 32: min(31, d + floor(s * L / 32)); above: s towards white
extern uint8_t g_SubTable[33][1024];    // max(0, d - ceil(s * L / 32))

// ---- 32-bit tables: constant data ----
using ByteTable256 = std::array<std::array<uint8_t, 256>, 256>;
using Words4 = std::array<uint16_t, 4>;
extern const ByteTable256 g_Mul255Table;                               // [a][x] = floor(x * a / 255)
extern const std::array<std::array<uint8_t, 256>, 257> g_Mul256Table;  // [b][x] = floor(x * b / 256)
extern const std::array<Words4, 256> g_MmxWeightByAlpha;               // [x] = wA(x) in lanes 0-2: 0 for 0, else x + 1
extern const std::array<Words4, 256> g_MmxWeightByT;                   // [T] = 256 - wA(T) in lanes 0-2
extern const std::array<Words4, 257> g_MmxLevel;                       // [i] = i in lanes 0-2
extern const std::array<Words4, 257> g_MmxLevelInv;                    // [i] = 256 - i in lanes 0-2
extern const Words4 g_MmxWhite;                                        // 255 in lanes 0-2
extern const Words4 g_MmxOne;                                          // 256 in all lanes
extern const ByteTable256 g_AlphaUnionT;                               // [Ts][Td] = 255 - min(255, as + ad)
extern const ByteTable256 g_AlphaCutT;                                 // [Td][Ts] = 255 - max(0, ad - as)
extern const std::array<uint8_t, 768> g_ClampLevel;                    // [i] = clamp(i - 256, 0, 255)

// The 256-based weight of an alpha-like byte: 0 stays 0, x becomes x + 1 (so 255 weighs 256).
constexpr int WeightA(int x) {
  return x == 0 ? 0 : x + 1;
}
// The weight of a source whose transparency byte is T.
constexpr int WeightT(int t) {
  return 256 - WeightA(t);
}
