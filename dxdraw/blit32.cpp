// 32-bit blit routines: the plain form (exact products through the /255 and /256 tables) and the scalar
// reference of the MMX form (256-based weights, one shift per sum), one pixel at a time.
#include <cstring>

#include "dxdraw/blitroutines.h"
#include "dxdraw/pixeltables.h"

using namespace blitdetail;

namespace {

inline int M255(int a, int x) {
  return g_Mul255Table[a][x];
}
inline int M256(int b, int x) {
  return g_Mul256Table[b][x];
}
inline int Mix(int x, int d, int w) {
  return (x * w + d * (256 - w)) >> 8;
}
inline int Chan(uint32_t p, int c) {
  return static_cast<int>((p >> (8 * c)) & 0xFF);
}

// The transparency byte a visited pixel gets under the row rule.
template <int Row>
inline uint32_t RowT(uint32_t s, uint32_t d) {
  const int ts = static_cast<int>(s >> 24), td = static_cast<int>(d >> 24);
  if constexpr (Row == 0) {
    return static_cast<uint32_t>(ts);
  } else if constexpr (Row == 1) {
    const int sum = (255 - ts) + (255 - td);
    return static_cast<uint32_t>(255 - (sum > 255 ? 255 : sum));
  } else if constexpr (Row == 2) {
    const int diff = (255 - td) - (255 - ts);
    return static_cast<uint32_t>(255 - (diff < 0 ? 0 : diff));
  } else {
    return static_cast<uint32_t>(td);
  }
}

// The same row rule as the MMX form reads it: rows 1 and 2 from the transparency tables.
template <int Row>
inline uint32_t RowTFromTables(uint32_t s, uint32_t d) {
  if constexpr (Row == 1)
    return g_AlphaUnionT[s >> 24][d >> 24];
  else if constexpr (Row == 2)
    return g_AlphaCutT[d >> 24][s >> 24];
  else
    return RowT<Row>(s, d);
}

// Walks height rows of width pixels, replacing each destination pixel by fn(s, d, m).
template <class Fn>
inline void Rows32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, ptrdiff_t dstPitch,
                   ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height, Fn fn) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t s = Load32(src + 4 * x);
      const uint32_t d = Load32(dst + 4 * x);
      const uint32_t m = mask ? mask[4 * x] : 0;
      Store32(dst + 4 * x, fn(s, d, m));
    }
    dst += dstPitch;
    src += srcPitch;
    if (mask) mask += maskPitch;
  }
}

// ---- plain form ----

struct Ctx {
  int level;
  uint32_t colorMask;
};

template <int Op, bool UseT, bool High>
inline uint32_t ColourC(uint32_t s, uint32_t d, uint32_t m, const Ctx& c) {
  const int as = 255 - static_cast<int>(s >> 24);
  const int ad = 255 - static_cast<int>(d >> 24);
  const int l = c.level;
  int w = 0;  // per-pixel weight of the weighted operations
  if constexpr (Op == kBltBlend && UseT && !High) w = M256(l, as);
  if constexpr (Op == kBltMaskFade) {
    int v = static_cast<int>(m) + l - 256;
    w = v < 0 ? 0 : v > 255 ? 255 : v;
    if constexpr (UseT) w = M255(w, as);
  }
  if constexpr (Op == kBltBlendOnLayer) w = UseT ? M256(l, M255(ad, as)) : M256(l, ad);
  uint32_t out = 0;
  for (int ch = 0; ch < 3; ++ch) {
    const int sc = Chan(s, ch), dc = Chan(d, ch);
    int r = 0;
    if constexpr (Op == kBltCopy) {
      r = UseT ? M255(as, sc) + M255(255 - as, dc) : sc;
    } else if constexpr (Op == kBltBright) {
      const int b = High ? M256(512 - l, sc) + M256(l - 256, 255) : M256(l, sc);
      r = UseT ? M255(as, b) + M255(255 - as, dc) : b;
    } else if constexpr (Op == kBltBlend) {
      if constexpr (!UseT) {
        r = High ? M256(512 - l, sc) + M256(l - 256, 255) : M256(l, sc) + M256(256 - l, dc);
      } else if constexpr (!High) {
        r = M255(w, sc) + M255(255 - w, dc);
      } else {
        const int b = M256(512 - l, sc) + M256(l - 256, 255);
        r = M255(as, b) + M255(255 - as, dc);
      }
    } else if constexpr (Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
      const int t = UseT ? M255(as, M256(l, sc)) : M256(l, sc);
      if constexpr (Op == kBltAdd) r = dc + t > 255 ? 255 : dc + t;
      if constexpr (Op == kBltSub) r = dc - t < 0 ? 0 : dc - t;
      if constexpr (Op == kBltXor) r = dc ^ t;
    } else {  // MaskFade, BlendOnLayer
      r = M255(w, sc) + M255(255 - w, dc);
    }
    out |= static_cast<uint32_t>(r) << (8 * ch);
  }
  return out;
}

template <int Op, int Row, bool UseT, bool UseMask, bool High>
void RunC(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const Ctx& c, ptrdiff_t dp, ptrdiff_t sp,
          ptrdiff_t mp, int height) {
  if constexpr (Op == kBltCopy && Row == 0 && !UseT && !UseMask) {
    for (int y = 0; y < height; ++y, dst += dp, src += sp) std::memmove(dst, src, static_cast<size_t>(width) * 4);
  } else {
    Rows32(dst, src, mask, width, dp, sp, mp, height, [&](uint32_t s, uint32_t d, uint32_t m) {
      if constexpr (UseMask) s &= c.colorMask;
      if constexpr (Op == kBltCopy && !UseT) {
        return (s & 0xFFFFFF) | (RowT<Row>(s, d) << 24);
      } else {
        const uint32_t t = Op == kBltBlendOnLayer ? d >> 24 : RowT<Row>(s, d);
        return ColourC<Op, UseT, High>(s, d, m, c) | (t << 24);
      }
    });
  }
}

template <int Op, int Row>
void BltC(VARN_BLT_ARGS) {
  const uint32_t flags = params->mode & 0xFF0000;
  Ctx c{ClampedLevel(params, 0, kLevelMax32(Op)), params->colorMask | 0xFF000000u};
  // The plain form rounds the image pitches toward zero to whole pixels.
  const ptrdiff_t dp = dstPitch / 4 * 4, sp = srcPitch / 4 * 4;
  bool useT, useMask;
  if constexpr (Op == kBltMaskFade) {
    useT = (params->mode & kBltSrcAlpha) != 0;
    useMask = true;
  } else {
    useT = flags == 0x10000 || flags == 0x50000;
    useMask = flags == 0x40000 || flags == 0x50000;
  }
  const bool high = (Op == kBltBright || Op == kBltBlend) && c.level > 256;
#define VARN_RUN(T, M, H) RunC<Op, Row, T, M, H>(dst, src, mask, width, c, dp, sp, maskPitch, height)
  if (high) {
    if (useT)
      useMask ? VARN_RUN(true, true, true) : VARN_RUN(true, false, true);
    else
      useMask ? VARN_RUN(false, true, true) : VARN_RUN(false, false, true);
  } else {
    if (useT)
      useMask ? VARN_RUN(true, true, false) : VARN_RUN(true, false, false);
    else
      useMask ? VARN_RUN(false, true, false) : VARN_RUN(false, false, false);
  }
#undef VARN_RUN
}

// ---- scalar reference of the MMX form ----

template <int Op, bool UseT, bool High>
inline uint32_t ColourRef(uint32_t s, uint32_t d, uint32_t m, int l) {
  const int ts = static_cast<int>(s >> 24), td = static_cast<int>(d >> 24);
  const int as = 255 - ts, ad = 255 - td;
  int w = 0;
  if constexpr (Op == kBltCopy || Op == kBltBright || (Op == kBltBlend && High)) w = g_MmxWeightByT[ts][0];
  if constexpr (Op == kBltBlend && !High) w = UseT ? WeightA(M256(l, as)) : l;
  if constexpr (Op == kBltAdd || Op == kBltSub || Op == kBltXor) w = UseT ? WeightA(M256(l, as)) : l;
  if constexpr (Op == kBltMaskFade) {
    int v = g_ClampLevel[m + l];
    if constexpr (UseT) v = (v * WeightA(as)) >> 8;
    w = WeightA(v);
  }
  if constexpr (Op == kBltBlendOnLayer) w = UseT ? WeightA((M256(l, as) * WeightT(td)) >> 8) : WeightA(M256(l, ad));
  uint32_t out = 0;
  for (int ch = 0; ch < 3; ++ch) {
    const int sc = Chan(s, ch), dc = Chan(d, ch);
    int r = 0;
    if constexpr (Op == kBltCopy) {
      r = UseT ? Mix(sc, dc, w) : sc;
    } else if constexpr (Op == kBltBright || (Op == kBltBlend && High)) {
      const int b = High ? (sc * (512 - l) + 255 * (l - 256)) >> 8 : (sc * l) >> 8;
      r = (Op == kBltBright && !UseT) || (Op == kBltBlend && !UseT) ? b : Mix(b, dc, w);
    } else if constexpr (Op == kBltAdd) {
      const int v = (dc << 8) + sc * w;
      r = (v > 0xFFFF ? 0xFFFF : v) >> 8;
    } else if constexpr (Op == kBltSub) {
      const int v = (dc << 8) - sc * w;
      r = (v < 0 ? 0 : v) >> 8;
    } else if constexpr (Op == kBltXor) {
      r = dc ^ ((sc * w) >> 8);
    } else {  // Blend at or below 256, MaskFade, BlendOnLayer
      r = Mix(sc, dc, w);
    }
    out |= static_cast<uint32_t>(r) << (8 * ch);
  }
  return out;
}

template <int Op, int Row, bool UseT, bool High>
void RunRef(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, int l, uint32_t cmask, ptrdiff_t dp,
            ptrdiff_t sp, ptrdiff_t mp, int height) {
  Rows32(dst, src, mask, width, dp, sp, mp, height, [=](uint32_t s, uint32_t d, uint32_t m) {
    s &= cmask;
    const uint32_t t = Op == kBltBlendOnLayer ? d >> 24 : RowTFromTables<Row>(s, d);
    return ColourRef<Op, UseT, High>(s, d, m, l) | (t << 24);
  });
}

template <int Op, int Row>
void BltRef(VARN_BLT_ARGS) {
  const int l = ClampedLevel(params, 0, kLevelMax32(Op));
  const uint32_t cmask = params->colorMask | 0xFF000000u;
  const bool useT = (params->mode & kBltSrcAlpha) != 0;
  const bool high = (Op == kBltBright || Op == kBltBlend) && l > 256;
#define VARN_RUN(T, H) RunRef<Op, Row, T, H>(dst, src, mask, width, l, cmask, dstPitch, srcPitch, maskPitch, height)
  if (high)
    useT ? VARN_RUN(true, true) : VARN_RUN(false, true);
  else
    useT ? VARN_RUN(true, false) : VARN_RUN(false, false);
#undef VARN_RUN
}

}  // namespace

VARN_BLT32_ROUTINES(VARN_BLT_DEFINE, Blt32C, BltC)
VARN_BLT32_ROUTINES(VARN_BLT_DEFINE, Blt32MmxRef, BltRef)

// ---- direct entry points ----

void Fill32C(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height) {
  for (int y = 0; y < height; ++y, dst += pitch)
    for (int x = 0; x < width; ++x) Store32(dst + 4 * x, value);
}

void OrAlpha32C(uint8_t* dst, int width, ptrdiff_t pitch, uint8_t byte, int height) {
  const uint32_t bits = static_cast<uint32_t>(byte) << 24;
  for (int y = 0; y < height; ++y, dst += pitch)
    for (int x = 0; x < width; ++x) Store32(dst + 4 * x, Load32(dst + 4 * x) | bits);
}
