// Pieces shared by the 256-bit vector versions of the 32-bit MMX-form routines (AVX2 and AVX-512).
//
// Layout: a pixel's four bytes are split over two vectors of 16-bit lanes without any shuffle,
// "BR" = (B, R) = the even bytes and "GT" = (G, T) = the odd bytes. Each lane holds one channel in its low
// byte, so the arithmetic is the same per lane as in the four-lane form; per-pixel weights are computed
// with the pixel's value in both 16-bit halves of its 32-bit lane, which is what both vectors need.
// Every product fits 16 bits (a byte times a weight of at most 256), so the lane multiplies are exact.
// Blend, Add, Sub and Xor take M256(L, as) as the high half of (as << 8) * L, which is the same floor.
//
// Only for translation units that test the processor before calling in: every function here carries the
// AVX2 target attribute, and the rest of the library stays at the baseline instruction set.
#pragma once

#if defined(__SSE2__)
#include <immintrin.h>

#include "dxdraw/blit32vector.h"
#include "dxdraw/blitroutines.h"

#define VARN_AVX2 __attribute__((target("avx2")))

namespace blitdetail::lanes256 {

using V = __m256i;

VARN_AVX2 inline V Set16(int v) {
  return _mm256_set1_epi16(static_cast<int16_t>(v));
}
VARN_AVX2 inline V Set32(uint32_t v) {
  return _mm256_set1_epi32(static_cast<int>(v));
}
// Lane pattern of the GT vector: c in the G lane (even words), t in the T lane (odd words).
VARN_AVX2 inline V GtLanes(int c, int t) {
  return Set32(static_cast<uint32_t>(c & 0xFFFF) | (static_cast<uint32_t>(t & 0xFFFF) << 16));
}

// The byte at offset Byte of every pixel, in the low byte of both 16-bit halves of the pixel's lane.
// With At = 1, in the high byte instead (the byte times 256).
template <int Byte, int At = 0>
VARN_AVX2 inline V Spread(V p) {
  constexpr char z = static_cast<char>(0x80);
  constexpr char b0 = Byte, b1 = Byte + 4, b2 = Byte + 8, b3 = Byte + 12;
  const V ctrl = At == 0 ? _mm256_setr_epi8(b0, z, b0, z, b1, z, b1, z, b2, z, b2, z, b3, z, b3, z,  //
                                            b0, z, b0, z, b1, z, b1, z, b2, z, b2, z, b3, z, b3, z)
                         : _mm256_setr_epi8(z, b0, z, b0, z, b1, z, b1, z, b2, z, b2, z, b3, z, b3,  //
                                            z, b0, z, b0, z, b1, z, b1, z, b2, z, b2, z, b3, z, b3);
  return _mm256_shuffle_epi8(p, ctrl);
}

// 0 stays 0, x (at most 255) becomes x + 1.
VARN_AVX2 inline V WA16(V x) {
  return _mm256_sub_epi16(x, _mm256_cmpgt_epi16(x, _mm256_setzero_si256()));
}
VARN_AVX2 inline V WT16(V t) {
  return _mm256_sub_epi16(Set16(256), WA16(t));
}
// floor(a * b / 256) for lanes whose product fits 16 bits.
VARN_AVX2 inline V MulShr8(V a, V b) {
  return _mm256_srli_epi16(_mm256_mullo_epi16(a, b), 8);
}

// The low byte of every 16-bit lane of the two halves, back in pixel order (the high bytes must be 0).
VARN_AVX2 inline V LowBytes(V br, V gt) {
  return _mm256_or_si256(br, _mm256_slli_epi16(gt, 8));
}
// The high byte of every 16-bit lane of the two halves, back in pixel order.
VARN_AVX2 inline V HighBytes(V br, V gt) {
  return _mm256_or_si256(_mm256_srli_epi16(br, 8), _mm256_and_si256(gt, Set32(0xFF00FF00u)));
}

// Per-call constants.
struct K {
  V cmask;                           // the colour mask, T byte forced to 0xFF
  V l16;                             // the level in every lane
  V wbr, wgt;                        // constant weights of the two halves (the T lane by the row)
  V bfa_br, bfa_gt, bfb_br, bfb_gt;  // brighten: factor and addend (the T lane kept)
  V tw;                              // T-lane weight of per-pixel mixes, in the odd words
};

// The constants of one call at level l.
template <int Op, int Row, bool UseT, bool High>
VARN_AVX2 inline K MakeK(uint32_t colorMask, int l) {
  constexpr int t3 = IsMix<Op, UseT, High>() ? MixTWeight<Op, Row>() : 0;
  K k;
  k.cmask = Set32(colorMask | 0xFF000000u);
  k.l16 = Set16(l);
  k.tw = GtLanes(0, t3);
  k.wbr = Set16(l);
  k.wgt = GtLanes(l, t3);  // add, sub, xor: no product in the T lane
  const int f = l > 256 ? 512 - l : l, a = l > 256 ? 255 * (l - 256) : 0;
  k.bfa_br = Set16(f), k.bfa_gt = GtLanes(f, 256);
  k.bfb_br = Set16(a), k.bfb_gt = GtLanes(a, 0);
  return k;
}

// The per-pixel weight of an operation whose weight is not the constant level, in every 16-bit lane of
// the pixel. s is the source after the colour mask, d the destination, m the rule image.
template <int Op, bool UseT, bool High>
VARN_AVX2 inline V PixelWeight(V s, V d, V m, const K& k) {
  const V ts = Spread<3>(s);
  if constexpr (Op == kBltMaskFade) {
    V w = _mm256_min_epi16(_mm256_subs_epu16(_mm256_add_epi16(Spread<0>(m), k.l16), Set16(256)), Set16(255));
    if constexpr (UseT) w = MulShr8(w, WA16(_mm256_xor_si256(ts, Set16(255))));
    return WA16(w);
  } else if constexpr (Op == kBltBlendOnLayer) {
    const V td = Spread<3>(d);
    if constexpr (UseT) return WA16(MulShr8(MulShr8(_mm256_xor_si256(ts, Set16(255)), k.l16), WT16(td)));
    return WA16(MulShr8(_mm256_xor_si256(td, Set16(255)), k.l16));
  } else if constexpr ((Op == kBltBlend && !High) || Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
    // M256(L, as) as the high half of (as << 8) * L, with the source's T moved to the high bytes.
    return WA16(_mm256_mulhi_epu16(_mm256_xor_si256(Spread<3, 1>(s), Set16(0xFF00)), k.l16));
  } else {
    return WT16(ts);
  }
}

// The source as the operation sees it, in its two halves: brightened for Bright and for Blend above 256.
template <int Op, bool High>
VARN_AVX2 inline void SourceHalves(V sbr, V sgt, const K& k, V& xbr, V& xgt) {
  if constexpr (Op == kBltBright || (Op == kBltBlend && High)) {
    xbr = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(sbr, k.bfa_br), k.bfb_br), 8);
    xgt = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(sgt, k.bfa_gt), k.bfb_gt), 8);
  } else {
    xbr = sbr, xgt = sgt;
  }
}

// The T byte that the row rule stores, in the T byte of every pixel (the other bytes are not used).
template <int Row>
VARN_AVX2 inline V RowT(V s, V d) {
  if constexpr (Row == 0)
    return s;
  else if constexpr (Row == 1)
    return _mm256_subs_epu8(s, _mm256_xor_si256(d, Set32(0xFFFFFFFFu)));
  else if constexpr (Row == 2)
    return _mm256_xor_si256(_mm256_subs_epu8(s, d), Set32(0xFFFFFFFFu));
  else
    return d;
}

}  // namespace blitdetail::lanes256

#endif
