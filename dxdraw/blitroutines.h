// Declarations of the individual blit routines that fill the routine tables (internal to the pixel code and its tests).
#pragma once

#include <cstring>

#include "dxdraw/blit.h"

#define VARN_BLT_ARGS                                                                                            \
  uint8_t *dst, const uint8_t *src, const uint8_t *mask, int width, const BltParams *params, ptrdiff_t dstPitch, \
      ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height

// F(Suffix, code, row, args...) once for every routine of one depth's tables, the depth taken from
// the operation list: Suffix is <Name>_<row> for an operation with a routine in each row, and <Name>
// with row -1 for the one routine that stands in all four rows (32-bit BlendOnLayer). The args (a
// name prefix, an implementation, ...) are handed through.
#define VARN_BLT_ROUTINES_Rows(F, name, code, ...) \
  F(name##_0, code, 0, __VA_ARGS__)                \
  F(name##_1, code, 1, __VA_ARGS__)                \
  F(name##_2, code, 2, __VA_ARGS__)                \
  F(name##_3, code, 3, __VA_ARGS__)
#define VARN_BLT_ROUTINES_One(F, name, code, ...) F(name, code, -1, __VA_ARGS__)
#define VARN_BLT_ROUTINES_None(F, name, code, ...)
#define VARN_BLT_PICK16(name, code, rows16, rows32, F, ...) VARN_BLT_ROUTINES_##rows16(F, name, code, __VA_ARGS__)
#define VARN_BLT_PICK32(name, code, rows16, rows32, F, ...) VARN_BLT_ROUTINES_##rows32(F, name, code, __VA_ARGS__)
#define VARN_BLT16_ROUTINES(F, ...) VARN_BLT_OPERATIONS(VARN_BLT_PICK16, F, __VA_ARGS__)
#define VARN_BLT32_ROUTINES(F, ...) VARN_BLT_OPERATIONS(VARN_BLT_PICK32, F, __VA_ARGS__)

// The row a routine is instantiated for: the one routine of all four rows is built as row 3.
#define VARN_BLT_ROW(row) ((row) < 0 ? 3 : (row))

// Declares prefix_Suffix.
#define VARN_BLT_DECLARE(suffix, code, row, prefix) void prefix##_##suffix(VARN_BLT_ARGS);
// Defines prefix_Suffix as impl<op, row> (a function template over the operation and the row).
#define VARN_BLT_DEFINE(suffix, code, row, prefix, impl)                                                 \
  void prefix##_##suffix(VARN_BLT_ARGS) {                                                                \
    impl<code, VARN_BLT_ROW(row)>(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height); \
  }

// 32-bit operations in the plain form, the MMX form (vector) and the scalar reference of the MMX form.
VARN_BLT32_ROUTINES(VARN_BLT_DECLARE, Blt32C)
VARN_BLT32_ROUTINES(VARN_BLT_DECLARE, Blt32Mmx)
VARN_BLT32_ROUTINES(VARN_BLT_DECLARE, Blt32MmxRef)

// 16-bit operations: plain, MMX (vector) and the scalar reference of the MMX form.
VARN_BLT16_ROUTINES(VARN_BLT_DECLARE, Blt16C)
VARN_BLT16_ROUTINES(VARN_BLT_DECLARE, Blt16Mmx)
VARN_BLT16_ROUTINES(VARN_BLT_DECLARE, Blt16MmxRef)

using BltTable = std::array<BltFunc, kBltTableSize>;

// One routine of a table: its operation, its row (-1: all four rows) and the routine.
struct BltEntry {
  uint32_t op;
  int row;
  BltFunc routine;
};
#define VARN_BLT_ENTRY(suffix, code, row, prefix) BltEntry{code, row, prefix##_##suffix},
// The table of one set of routines, built from the operation list.
#define VARN_BLT16_TABLE(prefix) MakeBltTable({VARN_BLT16_ROUTINES(VARN_BLT_ENTRY, prefix)})
#define VARN_BLT32_TABLE(prefix) MakeBltTable({VARN_BLT32_ROUTINES(VARN_BLT_ENTRY, prefix)})

template <size_t N>
constexpr BltTable MakeBltTable(const BltEntry (&entries)[N]) {
  BltTable t{};
  for (const BltEntry& e : entries)
    for (int row = 0; row < 4; ++row)
      if (e.row < 0 || e.row == row) t[static_cast<size_t>(row * 16) + e.op] = e.routine;
  return t;
}

#if defined(__SSE2__)
// The vector versions of the 32-bit MMX form. Blt32Mmx_* (what g_BltTable32Mmx holds) runs the one
// of the version in force (DxDraw::SetBlitVersion, else the widest the processor has); all give the
// bits of Blt32MmxRef_*. The AVX2 and AVX-512 routines may only be called when their check gives 1.
VARN_BLT32_ROUTINES(VARN_BLT_DECLARE, Blt32MmxSse2)
VARN_BLT32_ROUTINES(VARN_BLT_DECLARE, Blt32MmxAvx2)
VARN_BLT32_ROUTINES(VARN_BLT_DECLARE, Blt32MmxAvx512)
extern const BltTable g_BltTable32MmxSse2;
extern const BltTable g_BltTable32MmxAvx2;
extern const BltTable g_BltTable32MmxAvx512;
// 1 when the processor and the operating system support AVX2.
int CpuHasAvx2();
// 1 when they support AVX-512 (F) with its byte and word instructions (BW).
int CpuHasAvx512();
// The vector version the MMX-form entry points run: a table of the three above, or null for the
// processor's choice.
void SetBltVector32(const BltTable* table);
const BltTable& BltVector32();
#endif

// The 32-bit routines of a version: the plain table, or that vector version's own table (the
// version need not be the one in force; it must be available to be called).
const BltTable& BlitVersionTable32(DxDraw::BlitVersion version);

namespace blitdetail {

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}
inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, uint16_t v) {
  std::memcpy(p, &v, 2);
}

// The level: the low 16 bits of word 1, signed, clamped to [lo, hi] so that no table row is out of range.
inline int ClampedLevel(const BltParams* p, int lo, int hi) {
  const int l = static_cast<int16_t>(static_cast<uint16_t>(p->level & 0xFFFF));
  return l < lo ? lo : l > hi ? hi : l;
}

// Level ranges of the 32-bit operations.
constexpr int kLevelMax32(int op) {
  return (op == kBltBright || op == kBltBlend || op == kBltMaskFade) ? 512 : 256;
}
// Level ranges of the 16-bit operations.
constexpr int kLevelMax16(int op) {
  return (op == kBltBright || op == kBltMaskFade) ? 64 : 32;
}

}  // namespace blitdetail
