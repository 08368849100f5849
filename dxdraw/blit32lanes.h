// Pieces shared by the wide vector versions of the 32-bit MMX-form routines: AVX2 on 256-bit vectors and
// AVX-512 on 512-bit vectors, written once over the vector type.
//
// Layout: a pixel's four bytes are split over two vectors of 16-bit lanes without any shuffle,
// "BR" = (B, R) = the even bytes and "GT" = (G, T) = the odd bytes. Each lane holds one channel in its low
// byte, so the arithmetic is the same per lane as in the four-lane form; per-pixel weights are computed
// with the pixel's value in both 16-bit halves of its 32-bit lane, which is what both vectors need.
// Every product fits 16 bits (a byte times a weight of at most 256), so the lane multiplies are exact.
// Blend, Add, Sub and Xor take M256(L, as) as the high half of (as << 8) * L, which is the same floor.
//
// Only for the translation units of those versions, which test the processor before calling in. Such a
// unit defines VARN_LANES_FN as `inline` with its target attribute (and VARN_LANES_512 for the 512-bit
// primitives) before including this file. Everything here has internal linkage, so each unit gets its own
// copy compiled for its instruction set and the linker never mixes them up.
#pragma once

#if defined(__SSE2__)
#include <immintrin.h>

#include "dxdraw/blit32vector.h"
#include "dxdraw/blitroutines.h"

#ifndef VARN_LANES_FN
#error "define VARN_LANES_FN before including blit32lanes.h"
#endif

namespace blitdetail {
namespace {

// The lane primitives, one set per vector type.
template <class V>
V Set16(int v);
template <class V>
V Set32(uint32_t v);
// The four 32-bit words a, b, c, d in every 128-bit lane.
template <class V>
V Repeat4(uint32_t a, uint32_t b, uint32_t c, uint32_t d);

#define VARN_LANES_BINARY(V, name, intrinsic) \
  VARN_LANES_FN V name(V a, V b) {            \
    return intrinsic(a, b);                   \
  }
// The set for V, from the intrinsics with prefix P and whole-register suffix SI.
#define VARN_LANES_PRIMITIVES(V, P, SI)             \
  template <>                                       \
  VARN_LANES_FN V Set16<V>(int v) {                 \
    return P##_set1_epi16(static_cast<int16_t>(v)); \
  }                                                 \
  template <>                                       \
  VARN_LANES_FN V Set32<V>(uint32_t v) {            \
    return P##_set1_epi32(static_cast<int>(v));     \
  }                                                 \
  VARN_LANES_BINARY(V, And, P##_and_##SI)           \
  VARN_LANES_BINARY(V, Or, P##_or_##SI)             \
  VARN_LANES_BINARY(V, Xor, P##_xor_##SI)           \
  VARN_LANES_BINARY(V, Add16, P##_add_epi16)        \
  VARN_LANES_BINARY(V, Sub16, P##_sub_epi16)        \
  VARN_LANES_BINARY(V, MulLo16, P##_mullo_epi16)    \
  VARN_LANES_BINARY(V, MulHiU16, P##_mulhi_epu16)   \
  VARN_LANES_BINARY(V, Min16, P##_min_epi16)        \
  VARN_LANES_BINARY(V, MinU16, P##_min_epu16)       \
  VARN_LANES_BINARY(V, SubsU16, P##_subs_epu16)     \
  VARN_LANES_BINARY(V, SubsU8, P##_subs_epu8)       \
  VARN_LANES_BINARY(V, Shuffle8, P##_shuffle_epi8)  \
  template <int N>                                  \
  VARN_LANES_FN V Srl16(V a) {                      \
    return P##_srli_epi16(a, N);                    \
  }                                                 \
  template <int N>                                  \
  VARN_LANES_FN V Sll16(V a) {                      \
    return P##_slli_epi16(a, N);                    \
  }

VARN_LANES_PRIMITIVES(__m256i, _mm256, si256)
template <>
VARN_LANES_FN __m256i Repeat4<__m256i>(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return _mm256_setr_epi32(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c), static_cast<int>(d),
                           static_cast<int>(a), static_cast<int>(b), static_cast<int>(c), static_cast<int>(d));
}

#if defined(VARN_LANES_512)
VARN_LANES_PRIMITIVES(__m512i, _mm512, si512)
template <>
VARN_LANES_FN __m512i Repeat4<__m512i>(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return _mm512_setr4_epi32(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c), static_cast<int>(d));
}
#endif
#undef VARN_LANES_PRIMITIVES
#undef VARN_LANES_BINARY

// Lane pattern of the GT vector: c in the G lane (even words), t in the T lane (odd words).
template <class V>
VARN_LANES_FN V GtLanes(int c, int t) {
  return Set32<V>(static_cast<uint32_t>(c & 0xFFFF) | (static_cast<uint32_t>(t & 0xFFFF) << 16));
}

// The byte at offset Byte of every pixel, in the low byte of both 16-bit halves of the pixel's lane.
// With At = 1, in the high byte instead (the byte times 256).
template <int Byte, int At = 0, class V>
VARN_LANES_FN V Spread(V p) {
  // Shuffle indexes of pixel i of each 128-bit lane: its byte in one byte of each half, zero (0x80) in the
  // other.
  constexpr auto word = [](uint32_t i) {
    const uint32_t b = Byte + 4 * i, half = At == 0 ? (b | 0x8000u) : (0x80u | (b << 8));
    return half | (half << 16);
  };
  return Shuffle8(p, Repeat4<V>(word(0), word(1), word(2), word(3)));
}

// 0 stays 0, x (at most 255) becomes x + 1.
template <class V>
VARN_LANES_FN V WA16(V x) {
  return Add16(x, MinU16(x, Set16<V>(1)));
}
template <class V>
VARN_LANES_FN V WT16(V t) {
  return Sub16(Set16<V>(256), WA16(t));
}
// floor(a * b / 256) for lanes whose product fits 16 bits.
template <class V>
VARN_LANES_FN V MulShr8(V a, V b) {
  return Srl16<8>(MulLo16(a, b));
}

// The low byte of every 16-bit lane of the two halves, back in pixel order (the high bytes must be 0).
template <class V>
VARN_LANES_FN V LowBytes(V br, V gt) {
  return Or(br, Sll16<8>(gt));
}
// The high byte of every 16-bit lane of the two halves, back in pixel order.
template <class V>
VARN_LANES_FN V HighBytes(V br, V gt) {
  return Or(Srl16<8>(br), And(gt, Set32<V>(0xFF00FF00u)));
}

// The vector type of a width in bytes, and the per-call constants of that width.
template <int Bytes>
struct VectorOf;
template <>
struct VectorOf<32> {
  using type = __m256i;
};
#if defined(VARN_LANES_512)
template <>
struct VectorOf<64> {
  using type = __m512i;
};
#endif

template <int Bytes>
struct K {
  using V = typename VectorOf<Bytes>::type;
  V cmask;                           // the colour mask, T byte forced to 0xFF
  V l16;                             // the level in every lane
  V wbr, wgt;                        // constant weights of the two halves (the T lane by the row)
  V bfa_br, bfa_gt, bfb_br, bfb_gt;  // brighten: factor and addend (the T lane kept)
  V tw;                              // T-lane weight of per-pixel mixes, in the odd words
};

// The constants of one call at level l.
template <class V, int Op, int Row, bool UseT, bool High>
VARN_LANES_FN K<sizeof(V)> MakeK(uint32_t colorMask, int l) {
  constexpr int t3 = IsMix<Op, UseT, High>() ? MixTWeight<Op, Row>() : 0;
  K<sizeof(V)> k;
  k.cmask = Set32<V>(colorMask | 0xFF000000u);
  k.l16 = Set16<V>(l);
  k.tw = GtLanes<V>(0, t3);
  k.wbr = Set16<V>(l);
  k.wgt = GtLanes<V>(l, t3);  // add, sub, xor: no product in the T lane
  const int f = l > 256 ? 512 - l : l, a = l > 256 ? 255 * (l - 256) : 0;
  k.bfa_br = Set16<V>(f), k.bfa_gt = GtLanes<V>(f, 256);
  k.bfb_br = Set16<V>(a), k.bfb_gt = GtLanes<V>(a, 0);
  return k;
}

// The row loop of a wide version, with or without the colour-mask step.
template <int Bytes>
using RowLoop = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const K<Bytes>& k,
                         ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height);

// One call of a wide version at level l: its constants, then the row loop, the one without the colour-mask
// step when the mask keeps every bit.
template <class V, int Op, int Row, bool UseT, bool High>
VARN_LANES_FN void RunCall(RowLoop<sizeof(V)> unmasked, RowLoop<sizeof(V)> masked, VARN_BLT_ARGS, int l) {
  const uint32_t cmask = params->colorMask | 0xFF000000u;
  const K<sizeof(V)> k = MakeK<V, Op, Row, UseT, High>(cmask, l);
  (cmask == 0xFFFFFFFFu ? unmasked : masked)(dst, src, mask, width, k, dstPitch, srcPitch, maskPitch, height);
}

// The per-pixel weight of an operation whose weight is not the constant level, in every 16-bit lane of
// the pixel. s is the source after the colour mask, d the destination, m the rule image.
template <int Op, bool UseT, bool High, class V>
VARN_LANES_FN V PixelWeight(V s, V d, V m, const K<sizeof(V)>& k) {
  const V ts = Spread<3>(s);
  const V b255 = Set16<V>(255);
  if constexpr (Op == kBltMaskFade) {
    V w = Min16(SubsU16(Add16(Spread<0>(m), k.l16), Set16<V>(256)), b255);
    if constexpr (UseT) w = MulShr8(w, WA16(Xor(ts, b255)));
    return WA16(w);
  } else if constexpr (Op == kBltBlendOnLayer) {
    const V td = Spread<3>(d);
    if constexpr (UseT) return WA16(MulShr8(MulShr8(Xor(ts, b255), k.l16), WT16(td)));
    return WA16(MulShr8(Xor(td, b255), k.l16));
  } else if constexpr ((Op == kBltBlend && !High) || Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
    // M256(L, as) as the high half of (as << 8) * L, with the source's T moved to the high bytes.
    return WA16(MulHiU16(Xor(Spread<3, 1>(s), Set16<V>(0xFF00)), k.l16));
  } else {
    return WT16(ts);
  }
}

// The source as the operation sees it, in its two halves: brightened for Bright and for Blend above 256.
template <int Op, bool High, class V>
VARN_LANES_FN void SourceHalves(V sbr, V sgt, const K<sizeof(V)>& k, V& xbr, V& xgt) {
  if constexpr (Op == kBltBright || (Op == kBltBlend && High)) {
    xbr = Srl16<8>(Add16(MulLo16(sbr, k.bfa_br), k.bfb_br));
    xgt = Srl16<8>(Add16(MulLo16(sgt, k.bfa_gt), k.bfb_gt));
  } else {
    xbr = sbr, xgt = sgt;
  }
}

// The T byte that the row rule stores, in the T byte of every pixel (the other bytes are not used).
template <int Row, class V>
VARN_LANES_FN V RowT(V s, V d) {
  const V ones = Set32<V>(0xFFFFFFFFu);
  if constexpr (Row == 0)
    return s;
  else if constexpr (Row == 1)
    return SubsU8(s, Xor(d, ones));
  else if constexpr (Row == 2)
    return Xor(SubsU8(s, d), ones);
  else
    return d;
}

}  // namespace
}  // namespace blitdetail

#endif
