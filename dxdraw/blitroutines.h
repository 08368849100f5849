// Declarations of the individual blit routines that fill the routine tables (internal to the pixel code and its tests).
#pragma once

#include <cstring>

#include "dxdraw/blit.h"

#define VARN_BLT_ARGS                                                                                            \
  uint8_t *dst, const uint8_t *src, const uint8_t *mask, int width, const BltParams *params, ptrdiff_t dstPitch, \
      ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height

#define VARN_BLT_DECLARE_ROWS(prefix, op) \
  void prefix##_##op##_0(VARN_BLT_ARGS);  \
  void prefix##_##op##_1(VARN_BLT_ARGS);  \
  void prefix##_##op##_2(VARN_BLT_ARGS);  \
  void prefix##_##op##_3(VARN_BLT_ARGS);

// 32-bit operations in the plain form, the MMX form (vector) and the scalar reference of the MMX form.
#define VARN_BLT32_DECLARE(prefix)        \
  VARN_BLT_DECLARE_ROWS(prefix, Copy)     \
  VARN_BLT_DECLARE_ROWS(prefix, Bright)   \
  VARN_BLT_DECLARE_ROWS(prefix, Blend)    \
  VARN_BLT_DECLARE_ROWS(prefix, Add)      \
  VARN_BLT_DECLARE_ROWS(prefix, Sub)      \
  VARN_BLT_DECLARE_ROWS(prefix, MaskFade) \
  VARN_BLT_DECLARE_ROWS(prefix, Xor)      \
  void prefix##_BlendOnLayer(VARN_BLT_ARGS);

VARN_BLT32_DECLARE(Blt32C)
VARN_BLT32_DECLARE(Blt32Mmx)
VARN_BLT32_DECLARE(Blt32MmxRef)

#if defined(__SSE2__)
// The vector versions of the 32-bit MMX form. Blt32Mmx_* (what g_BltTable32Mmx holds) runs the AVX-512 one
// when CpuHasAvx512(), else the AVX2 one when CpuHasAvx2(), else the SSE2 one; all give the bits of
// Blt32MmxRef_*. The AVX2 and AVX-512 routines may only be called when their check gives 1.
VARN_BLT32_DECLARE(Blt32MmxSse2)
VARN_BLT32_DECLARE(Blt32MmxAvx2)
VARN_BLT32_DECLARE(Blt32MmxAvx512)
extern const std::array<BltFunc, kBltTableSize> g_BltTable32MmxSse2;
extern const std::array<BltFunc, kBltTableSize> g_BltTable32MmxAvx2;
extern const std::array<BltFunc, kBltTableSize> g_BltTable32MmxAvx512;
// 1 when the processor and the operating system support AVX2.
int CpuHasAvx2();
// 1 when they support AVX-512 (F) with its byte and word instructions (BW).
int CpuHasAvx512();
#endif

// 16-bit operations: plain, MMX (vector) and the scalar reference of the MMX form.
#define VARN_BLT16_DECLARE(prefix)            \
  VARN_BLT_DECLARE_ROWS(prefix, Copy)         \
  VARN_BLT_DECLARE_ROWS(prefix, Bright)       \
  VARN_BLT_DECLARE_ROWS(prefix, Blend)        \
  VARN_BLT_DECLARE_ROWS(prefix, Add)          \
  VARN_BLT_DECLARE_ROWS(prefix, Sub)          \
  VARN_BLT_DECLARE_ROWS(prefix, MaskFade)     \
  VARN_BLT_DECLARE_ROWS(prefix, MaskCut)      \
  VARN_BLT_DECLARE_ROWS(prefix, BrightOrAdd)  \
  VARN_BLT_DECLARE_ROWS(prefix, BrightOrSub)  \
  VARN_BLT_DECLARE_ROWS(prefix, CopyOrBlend)  \
  VARN_BLT_DECLARE_ROWS(prefix, Xor)          \
  VARN_BLT_DECLARE_ROWS(prefix, BlendOnLayer) \
  VARN_BLT_DECLARE_ROWS(prefix, BlendDestKey) \
  VARN_BLT_DECLARE_ROWS(prefix, AndMask)

VARN_BLT16_DECLARE(Blt16C)
VARN_BLT16_DECLARE(Blt16Mmx)
VARN_BLT16_DECLARE(Blt16MmxRef)

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
