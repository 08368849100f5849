// 32-bit blit routines of the MMX form on SSE2 (four pixels per step, the same bits as the scalar reference),
// and the MMX-form entry points, which run the vector version in force (the widest the processor has, unless a
// test or benchmark chose another).
//
// Every product below fits 16 bits (a byte times a weight of at most 256, or two such products whose
// weights sum to 256), so the 16-bit lane multiplies are exact and the results equal the formulas.
// Pixels are unpacked to four 16-bit lanes (B, G, R, T). The T lane rides along in the colour
// arithmetic with a weight that yields the byte the row wants (256: the source's T, 0: the
// destination's), so that rows 0 and 3 need no separate merge of the transparency byte.
// Weights that depend only on the source's T come from a 256-entry table made once per large call.
#include <atomic>
#include <cstring>

#include "dxdraw/blit32vector.h"
#include "dxdraw/blitroutines.h"
#include "dxdraw/pixeltables.h"

#if defined(__SSE2__)
#include <cpuid.h>
#include <emmintrin.h>

using namespace blitdetail;

namespace {

// Calls of at least this many pixels build the per-call weight tables.
constexpr long kTableMinPixels = 1024;

inline __m128i Set32(int v) {
  return _mm_set1_epi32(v);
}
inline __m128i Lanes(int c, int t) {
  return _mm_set_epi16(static_cast<int16_t>(t), static_cast<int16_t>(c), static_cast<int16_t>(c),
                       static_cast<int16_t>(c), static_cast<int16_t>(t), static_cast<int16_t>(c),
                       static_cast<int16_t>(c), static_cast<int16_t>(c));
}

// 0 stays 0, x becomes x + 1, in 32-bit lanes.
inline __m128i WA32(__m128i x) {
  return _mm_add_epi32(x, _mm_add_epi32(Set32(1), _mm_cmpeq_epi32(x, _mm_setzero_si128())));
}
inline __m128i WT32(__m128i t) {
  return _mm_sub_epi32(Set32(256), WA32(t));
}
// Product of two 32-bit lanes whose values and product fit 16 bits.
inline __m128i Mul32(__m128i a, __m128i b) {
  return _mm_mullo_epi16(a, b);
}

// mix(x, d, w) = floor((x * w + d * (256 - w)) / 256) = d + floor((x - d) * w / 256), taken as the high
// half of ((x - d) << 7) * (2 * w): both factors fit signed 16 bits and the high half is the exact floor.
inline __m128i Mix16(__m128i x, __m128i d, __m128i w2) {
  return _mm_add_epi16(d, _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(x, d), 7), w2));
}

struct K {
  __m128i cmask;       // the colour mask, T byte forced to 0xFF
  __m128i l32;         // level in the low half of every 32-bit lane
  __m128i w16;         // constant weights: the level (twice it for mixes; the T lane by the row)
  __m128i b16a, b16b;  // brighten: factor and addend per lane (the T lane kept)
  __m128i t3w;         // twice the T-lane weight of per-pixel mixes, in lane 3 of each pixel
  const Words4* wtab;  // per-call weights by source T (twice them for mixes; null: arithmetic)
};

// Weight of the by-source-T operations for one pixel whose T byte is t (the scalar form of the table).
template <int Op, bool High>
inline int WeightBySourceT(int t, int l) {
  if constexpr (Op == kBltBlend && !High) return WeightA(g_Mul256Table[l][255 - t]);
  if constexpr (Op == kBltAdd || Op == kBltSub || Op == kBltXor) return WeightA(g_Mul256Table[l][255 - t]);
  return WeightT(t);  // copy, bright, blend above 256
}

inline void Spread(__m128i w, __m128i& lo, __m128i& hi) {
  const __m128i x = _mm_or_si128(w, _mm_slli_epi32(w, 16));
  lo = _mm_unpacklo_epi32(x, x);
  hi = _mm_unpackhi_epi32(x, x);
}

// Per-pixel weights of four pixels (32-bit lanes) spread to their 16-bit lanes, T lane replaced.
template <bool Mix>
inline void SpreadWithT(__m128i w32, const K& k, __m128i& w0, __m128i& w1) {
  Spread(w32, w0, w1);
  if constexpr (Mix) {
    const __m128i keep = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    w0 = _mm_or_si128(_mm_and_si128(w0, keep), k.t3w);
    w1 = _mm_or_si128(_mm_and_si128(w1, keep), k.t3w);
  } else {
    const __m128i keep = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    w0 = _mm_and_si128(w0, keep);
    w1 = _mm_and_si128(w1, keep);
  }
}

inline __m128i LoadPair(const Words4* tab, const uint8_t* p) {
  const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&tab[p[3]]));
  return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(a), reinterpret_cast<const double*>(&tab[p[7]])));
}

template <int Op, int Row, bool UseT, bool High, bool Table>
inline __m128i Kernel(const uint8_t* sp, __m128i s, __m128i d, __m128i m, const K& k) {
  constexpr WeightKind kKind = KindOf<Op, UseT, High>();
  constexpr bool kMix = IsMix<Op, UseT, High>();
  const __m128i zero = _mm_setzero_si128();
  s = _mm_and_si128(s, k.cmask);
  __m128i colour;
  if constexpr (Op == kBltCopy && !UseT) {
    colour = s;
  } else {
    const __m128i s0 = _mm_unpacklo_epi8(s, zero), s1 = _mm_unpackhi_epi8(s, zero);
    const __m128i d0 = _mm_unpacklo_epi8(d, zero), d1 = _mm_unpackhi_epi8(d, zero);
    // The weights of each pixel's lanes (doubled for a mix).
    __m128i w0 = k.w16, w1 = k.w16;
    if constexpr (kKind == kWBySourceT && Table) {
      w0 = LoadPair(k.wtab, sp), w1 = LoadPair(k.wtab, sp + 8);
    } else if constexpr (kKind == kWBySourceT || kKind == kWArith) {
      const __m128i ts = _mm_srli_epi32(s, 24);
      const __m128i as = _mm_xor_si128(ts, Set32(255));
      __m128i w;
      if constexpr (Op == kBltMaskFade) {
        const __m128i mb = _mm_and_si128(m, Set32(0xFF));
        w = _mm_min_epi16(_mm_subs_epu16(_mm_add_epi16(mb, k.l32), Set32(256)), Set32(255));
        if constexpr (UseT) w = _mm_srli_epi32(Mul32(w, WA32(as)), 8);
        w = WA32(w);
      } else if constexpr (Op == kBltBlendOnLayer) {
        const __m128i td = _mm_srli_epi32(d, 24);
        if constexpr (UseT) {
          w = _mm_srli_epi32(Mul32(as, k.l32), 8);
          w = WA32(_mm_srli_epi32(Mul32(w, WT32(td)), 8));
        } else {
          w = WA32(_mm_srli_epi32(Mul32(_mm_xor_si128(td, Set32(255)), k.l32), 8));
        }
      } else if constexpr ((Op == kBltBlend && !High) || Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
        w = WA32(_mm_srli_epi32(Mul32(as, k.l32), 8));
      } else {
        w = WT32(ts);
      }
      if constexpr (kMix) w = _mm_add_epi32(w, w);
      SpreadWithT<kMix>(w, k, w0, w1);
    }
    // The source as the operation sees it: brightened for Bright and for Blend above 256.
    __m128i x0 = s0, x1 = s1;
    if constexpr (Op == kBltBright || (Op == kBltBlend && High)) {
      x0 = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(s0, k.b16a), k.b16b), 8);
      x1 = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(s1, k.b16a), k.b16b), 8);
    }
    __m128i r0, r1;
    if constexpr (Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
      const __m128i p0 = _mm_mullo_epi16(s0, w0), p1 = _mm_mullo_epi16(s1, w1);
      if constexpr (Op == kBltAdd) {
        r0 = _mm_srli_epi16(_mm_adds_epu16(_mm_slli_epi16(d0, 8), p0), 8);
        r1 = _mm_srli_epi16(_mm_adds_epu16(_mm_slli_epi16(d1, 8), p1), 8);
      } else if constexpr (Op == kBltSub) {
        r0 = _mm_srli_epi16(_mm_subs_epu16(_mm_slli_epi16(d0, 8), p0), 8);
        r1 = _mm_srli_epi16(_mm_subs_epu16(_mm_slli_epi16(d1, 8), p1), 8);
      } else {
        r0 = _mm_xor_si128(d0, _mm_srli_epi16(p0, 8));
        r1 = _mm_xor_si128(d1, _mm_srli_epi16(p1, 8));
      }
    } else if constexpr (kMix) {
      r0 = Mix16(x0, d0, w0);
      r1 = Mix16(x1, d1, w1);
    } else {
      r0 = x0, r1 = x1;
    }
    colour = _mm_packus_epi16(r0, r1);
  }
  // The T byte by the row, where the arithmetic did not already leave it.
  constexpr TLane kHave = TLaneOf<Op, Row, UseT, High>();
  constexpr bool kOk = Op == kBltBlendOnLayer || (Row == 0 && kHave == kTSource) || (Row == 3 && kHave == kTDest);
  if constexpr (kOk) {
    return colour;
  } else {
    __m128i t;
    if constexpr (Row == 0)
      t = s;
    else if constexpr (Row == 1)
      t = _mm_subs_epu8(s, _mm_xor_si128(d, Set32(-1)));
    else if constexpr (Row == 2)
      t = _mm_xor_si128(_mm_subs_epu8(s, d), Set32(-1));
    else
      t = d;
    const __m128i tbyte = Set32(static_cast<int>(0xFF000000u));
    return _mm_or_si128(_mm_andnot_si128(tbyte, colour), _mm_and_si128(tbyte, t));
  }
}

template <int Op, int Row, bool UseT, bool High, bool Table>
void Run(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const K& k, ptrdiff_t dp, ptrdiff_t sp,
         ptrdiff_t mp, int height) {
  constexpr bool kMask = Op == kBltMaskFade;
  for (int y = 0; y < height; ++y) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
      const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * x));
      const __m128i m = kMask ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + 4 * x)) : _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x),
                       Kernel<Op, Row, UseT, High, Table>(src + 4 * x, s, d, m, k));
    }
    // The last pair (and a single pixel for a caller that breaks the even-width rule) through a
    // four-pixel block whose unused pixels are copies of the first.
    if (x < width) {
      alignas(16) uint8_t sb[16], db[16], mb[16];
      const int n = width - x;
      for (int i = 0; i < 4; ++i) {
        const int j = i < n ? i : 0;
        Store32(sb + 4 * i, Load32(src + 4 * (x + j)));
        Store32(db + 4 * i, Load32(dst + 4 * (x + j)));
        Store32(mb + 4 * i, kMask ? Load32(mask + 4 * (x + j)) : 0);
      }
      const __m128i r = Kernel<Op, Row, UseT, High, Table>(sb, _mm_load_si128(reinterpret_cast<const __m128i*>(sb)),
                                                           _mm_load_si128(reinterpret_cast<const __m128i*>(db)),
                                                           _mm_load_si128(reinterpret_cast<const __m128i*>(mb)), k);
      _mm_store_si128(reinterpret_cast<__m128i*>(db), r);
      for (int i = 0; i < n; ++i) Store32(dst + 4 * (x + i), Load32(db + 4 * i));
    }
    dst += dp;
    src += sp;
    if (kMask) mask += mp;
  }
}

template <int Op, int Row, bool UseT, bool High>
void Prepare(K& k, int l, uint32_t colorMask, Words4* wtab, bool table) {
  constexpr bool kMix = IsMix<Op, UseT, High>();
  constexpr int t3 = kMix ? MixTWeight<Op, Row>() : 0;
  k.cmask = Set32(static_cast<int>(colorMask | 0xFF000000u));
  k.l32 = Set32(l);
  k.t3w = _mm_set_epi16(static_cast<int16_t>(2 * t3), 0, 0, 0, static_cast<int16_t>(2 * t3), 0, 0, 0);
  if constexpr (kMix)
    k.w16 = Lanes(2 * l, 2 * t3);
  else
    k.w16 = Lanes(l, 0);  // add, sub, xor: no product in the T lane
  if (l > 256) {
    k.b16a = Lanes(512 - l, 256);
    k.b16b = Lanes(255 * (l - 256), 0);
  } else {
    k.b16a = Lanes(l, 256);
    k.b16b = _mm_setzero_si128();
  }
  k.wtab = nullptr;
  if (KindOf<Op, UseT, High>() == kWBySourceT && table) {
    constexpr int kScale = kMix ? 2 : 1;
    for (int t = 0; t < 256; ++t) {
      const auto w = static_cast<uint16_t>(kScale * WeightBySourceT<Op, High>(t, l));
      wtab[t] = Words4{w, w, w, static_cast<uint16_t>(kScale * t3)};
    }
    k.wtab = wtab;
  }
}

template <int Op, int Row, bool UseT, bool High>
void Go(VARN_BLT_ARGS, int l) {
  K k;
  alignas(16) Words4 wtab[256];
  const bool table = KindOf<Op, UseT, High>() == kWBySourceT && static_cast<long>(width) * height >= kTableMinPixels;
  Prepare<Op, Row, UseT, High>(k, l, params->colorMask, wtab, table);
  if (table)
    Run<Op, Row, UseT, High, true>(dst, src, mask, width, k, dstPitch, srcPitch, maskPitch, height);
  else
    Run<Op, Row, UseT, High, false>(dst, src, mask, width, k, dstPitch, srcPitch, maskPitch, height);
}

// The kernel loop of this instruction set, for the shared dispatch.
struct Sse2Kernels {
  template <int Op, int Row, bool UseT, bool High>
  static void Go(VARN_BLT_ARGS, int l) {
    ::Go<Op, Row, UseT, High>(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height, l);
  }
};

}  // namespace

VARN_DEFINE_VECTOR32_ROUTINES(Blt32MmxSse2, Sse2Kernels)

namespace {

// The operating system's saved register state (XCR0), or 0 when it does not say.
unsigned SavedState() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 27))) return 0;  // OSXSAVE
  unsigned lo = 0, hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return lo;
}

}  // namespace

int CpuHasAvx2() {
  // AVX2 needs the instructions (leaf 7), AVX (leaf 1) and the operating system saving the 256-bit
  // registers (XCR0 with the SSE and AVX state bits).
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid_max(0, nullptr) < 7) return 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 28))) return 0;
  if ((SavedState() & 6u) != 6u) return 0;
  __cpuid_count(7, 0, a, b, c, d);
  return (b & (1u << 5)) ? 1 : 0;
}

int CpuHasAvx512() {
  // AVX-512F and BW (leaf 7 EBX bits 16 and 30), and the operating system saving the mask and 512-bit
  // registers as well (XCR0 bits 5 to 7).
  if (!CpuHasAvx2()) return 0;
  if ((SavedState() & 0xE6u) != 0xE6u) return 0;
  unsigned a = 0, b = 0, c = 0, d = 0;
  __cpuid_count(7, 0, a, b, c, d);
  const unsigned need = (1u << 16) | (1u << 30);
  return (b & need) == need ? 1 : 0;
}

constinit const BltTable g_BltTable32MmxSse2 = VARN_BLT32_TABLE(Blt32MmxSse2);
constinit const BltTable g_BltTable32MmxAvx2 = VARN_BLT32_TABLE(Blt32MmxAvx2);
constinit const BltTable g_BltTable32MmxAvx512 = VARN_BLT32_TABLE(Blt32MmxAvx512);

namespace {

// The vector version the MMX form runs: the processor's choice until a test or benchmark sets one.
// Every call reads it (one load); it is only written before drawing starts.
std::atomic<const BltTable*> g_Vector32{nullptr};

const BltTable* ProcessorVector32() {
  return CpuHasAvx512() ? &g_BltTable32MmxAvx512 : CpuHasAvx2() ? &g_BltTable32MmxAvx2 : &g_BltTable32MmxSse2;
}

}  // namespace

void SetBltVector32(const BltTable* table) {
  g_Vector32.store(table ? table : ProcessorVector32(), std::memory_order_relaxed);
}

const BltTable& BltVector32() {
  const BltTable* t = g_Vector32.load(std::memory_order_relaxed);
  if (!t) {
    t = ProcessorVector32();
    g_Vector32.store(t, std::memory_order_relaxed);
  }
  return *t;
}

// The MMX-form entry points that the routine tables hold: the same entry of the version in force.
#define VARN_BLT_DISPATCH(suffix, code, row, prefix)                                                           \
  void prefix##_##suffix(VARN_BLT_ARGS) {                                                                      \
    BltVector32()[static_cast<size_t>(VARN_BLT_ROW(row) * 16 + code)](dst, src, mask, width, params, dstPitch, \
                                                                      srcPitch, maskPitch, height);            \
  }
VARN_BLT32_ROUTINES(VARN_BLT_DISPATCH, Blt32Mmx)
#undef VARN_BLT_DISPATCH

void Fill32Mmx(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height) {
  const __m128i v = _mm_set1_epi32(static_cast<int>(value));
  for (int y = 0; y < height; ++y, dst += pitch) {
    int x = 0;
    for (; x + 4 <= width; x += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), v);
    for (; x < width; ++x) Store32(dst + 4 * x, value);
  }
}

#endif  // __SSE2__
