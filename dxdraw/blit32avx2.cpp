// 32-bit blit routines of the MMX form on AVX2: eight pixels per step, the same bits as the scalar reference.
//
// Chosen at run time (CpuHasAvx2) by the MMX-form entry points; the rest of the library stays at the
// baseline instruction set, so every function here that touches a 256-bit register carries the target
// attribute and none of them is visible outside this file.
//
// Layout: a pixel's four bytes are split over two vectors of 16-bit lanes without any shuffle,
// "BR" = (B, R) = the even bytes and "GT" = (G, T) = the odd bytes. Each lane holds one channel in its low
// byte, so the arithmetic is the same per lane as in the four-lane form; per-pixel weights are computed
// with the pixel's value in both 16-bit halves of its 32-bit lane, which is what both vectors need.
// Every product fits 16 bits (a byte times a weight of at most 256), so the lane multiplies are exact.
// Blend, Add, Sub and Xor take M256(L, as) as the high half of (as << 8) * L, which is the same floor.
#include <cstring>

#include "dxdraw/blit32vector.h"
#include "dxdraw/blitroutines.h"
#include "dxdraw/pixeltables.h"

#if defined(__SSE2__)
#include <immintrin.h>

#define VARN_AVX2 __attribute__((target("avx2")))

using namespace blitdetail;

namespace {

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
// mix(x, d, w) = d + floor((x - d) * w / 256), as the high half of ((x - d) << 7) * (2 * w).
VARN_AVX2 inline V Mix16(V x, V d, V w2) {
  return _mm256_add_epi16(d, _mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_sub_epi16(x, d), 7), w2));
}

struct K {
  V cmask;                           // the colour mask, T byte forced to 0xFF
  V l16;                             // the level in every lane
  V wbr, wgt;                        // constant weights of the two halves (doubled for a mix; the T lane by the row)
  V bfa_br, bfa_gt, bfb_br, bfb_gt;  // brighten: factor and addend (the T lane kept)
  V tw;                              // doubled T-lane weight of per-pixel mixes, in the odd words
};

template <int Op, int Row, bool UseT, bool High, bool Masked>
VARN_AVX2 inline V Kernel(V s, V d, V m, const K& k) {
  constexpr WeightKind kKind = KindOf<Op, UseT, High>();
  constexpr bool kMix = IsMix<Op, UseT, High>();
  if constexpr (Masked) s = _mm256_and_si256(s, k.cmask);
  V colour;
  if constexpr (Op == kBltCopy && !UseT) {
    colour = s;
  } else {
    const V lowBytes = Set32(0x00FF00FFu);
    const V sbr = _mm256_and_si256(s, lowBytes), sgt = _mm256_srli_epi16(s, 8);
    const V dbr = _mm256_and_si256(d, lowBytes), dgt = _mm256_srli_epi16(d, 8);
    V wbr = k.wbr, wgt = k.wgt;
    if constexpr (kKind == kWBySourceT || kKind == kWArith) {
      const V ts = Spread<3>(s);
      V w;
      if constexpr (Op == kBltMaskFade) {
        w = _mm256_min_epi16(_mm256_subs_epu16(_mm256_add_epi16(Spread<0>(m), k.l16), Set16(256)), Set16(255));
        if constexpr (UseT) w = MulShr8(w, WA16(_mm256_xor_si256(ts, Set16(255))));
        w = WA16(w);
      } else if constexpr (Op == kBltBlendOnLayer) {
        const V td = Spread<3>(d);
        if constexpr (UseT)
          w = WA16(MulShr8(MulShr8(_mm256_xor_si256(ts, Set16(255)), k.l16), WT16(td)));
        else
          w = WA16(MulShr8(_mm256_xor_si256(td, Set16(255)), k.l16));
      } else if constexpr ((Op == kBltBlend && !High) || Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
        // M256(L, as) as the high half of (as << 8) * L, with the source's T moved to the high bytes.
        w = WA16(_mm256_mulhi_epu16(_mm256_xor_si256(Spread<3, 1>(s), Set16(0xFF00)), k.l16));
      } else {
        w = WT16(ts);
      }
      if constexpr (kMix) {
        w = _mm256_add_epi16(w, w);
        wbr = w;
        wgt = _mm256_blend_epi16(w, k.tw, 0xAA);
      } else {
        wbr = w;
        wgt = _mm256_blend_epi16(w, _mm256_setzero_si256(), 0xAA);
      }
    }
    // The source as the operation sees it: brightened for Bright and for Blend above 256.
    V xbr = sbr, xgt = sgt;
    if constexpr (Op == kBltBright || (Op == kBltBlend && High)) {
      xbr = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(sbr, k.bfa_br), k.bfb_br), 8);
      xgt = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(sgt, k.bfa_gt), k.bfb_gt), 8);
    }
    V rbr, rgt;
    if constexpr (Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
      const V pbr = _mm256_mullo_epi16(sbr, wbr), pgt = _mm256_mullo_epi16(sgt, wgt);
      if constexpr (Op == kBltAdd) {
        rbr = _mm256_srli_epi16(_mm256_adds_epu16(_mm256_slli_epi16(dbr, 8), pbr), 8);
        rgt = _mm256_srli_epi16(_mm256_adds_epu16(_mm256_slli_epi16(dgt, 8), pgt), 8);
      } else if constexpr (Op == kBltSub) {
        rbr = _mm256_srli_epi16(_mm256_subs_epu16(_mm256_slli_epi16(dbr, 8), pbr), 8);
        rgt = _mm256_srli_epi16(_mm256_subs_epu16(_mm256_slli_epi16(dgt, 8), pgt), 8);
      } else {
        rbr = _mm256_xor_si256(dbr, _mm256_srli_epi16(pbr, 8));
        rgt = _mm256_xor_si256(dgt, _mm256_srli_epi16(pgt, 8));
      }
    } else if constexpr (kMix) {
      rbr = Mix16(xbr, dbr, wbr);
      rgt = Mix16(xgt, dgt, wgt);
    } else {
      rbr = xbr, rgt = xgt;
    }
    // Every lane holds a value of 0..255: put the halves back together.
    colour = _mm256_or_si256(rbr, _mm256_slli_epi16(rgt, 8));
  }
  // The T byte by the row, where the arithmetic did not already leave it.
  constexpr TLane kHave = TLaneOf<Op, Row, UseT, High>();
  constexpr bool kOk = Op == kBltBlendOnLayer || (Row == 0 && kHave == kTSource) || (Row == 3 && kHave == kTDest);
  if constexpr (kOk) {
    return colour;
  } else {
    V t;
    if constexpr (Row == 0)
      t = s;
    else if constexpr (Row == 1)
      t = _mm256_subs_epu8(s, _mm256_xor_si256(d, Set32(0xFFFFFFFFu)));
    else if constexpr (Row == 2)
      t = _mm256_xor_si256(_mm256_subs_epu8(s, d), Set32(0xFFFFFFFFu));
    else
      t = d;
    return _mm256_blendv_epi8(colour, t, Set32(0xFF000000u));
  }
}

template <int Op, int Row, bool UseT, bool High, bool Masked>
VARN_AVX2 void Run(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const K& k, ptrdiff_t dp,
                   ptrdiff_t sp, ptrdiff_t mp, int height) {
  constexpr bool kMask = Op == kBltMaskFade;
  for (int y = 0; y < height; ++y) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
      const V s = _mm256_loadu_si256(reinterpret_cast<const V*>(src + 4 * x));
      const V d = _mm256_loadu_si256(reinterpret_cast<const V*>(dst + 4 * x));
      const V m = kMask ? _mm256_loadu_si256(reinterpret_cast<const V*>(mask + 4 * x)) : _mm256_setzero_si256();
      _mm256_storeu_si256(reinterpret_cast<V*>(dst + 4 * x), Kernel<Op, Row, UseT, High, Masked>(s, d, m, k));
    }
    // The last pixels (fewer than eight) through a block whose unused pixels are copies of the first.
    if (x < width) {
      alignas(32) uint8_t sb[32], db[32], mb[32];
      const int n = width - x;
      for (int i = 0; i < 8; ++i) {
        const int j = i < n ? i : 0;
        Store32(sb + 4 * i, Load32(src + 4 * (x + j)));
        Store32(db + 4 * i, Load32(dst + 4 * (x + j)));
        Store32(mb + 4 * i, kMask ? Load32(mask + 4 * (x + j)) : 0);
      }
      const V r = Kernel<Op, Row, UseT, High, Masked>(_mm256_load_si256(reinterpret_cast<const V*>(sb)),
                                                      _mm256_load_si256(reinterpret_cast<const V*>(db)),
                                                      _mm256_load_si256(reinterpret_cast<const V*>(mb)), k);
      _mm256_store_si256(reinterpret_cast<V*>(db), r);
      for (int i = 0; i < n; ++i) Store32(dst + 4 * (x + i), Load32(db + 4 * i));
    }
    dst += dp;
    src += sp;
    if (kMask) mask += mp;
  }
}

template <int Op, int Row, bool UseT, bool High>
VARN_AVX2 void Go(VARN_BLT_ARGS, int l) {
  constexpr bool kMix = IsMix<Op, UseT, High>();
  constexpr int t3 = kMix ? MixTWeight<Op, Row>() : 0;
  const uint32_t cmask = params->colorMask | 0xFF000000u;
  K k;
  k.cmask = Set32(cmask);
  k.l16 = Set16(l);
  k.tw = GtLanes(0, 2 * t3);
  if constexpr (kMix) {
    k.wbr = Set16(2 * l);
    k.wgt = GtLanes(2 * l, 2 * t3);
  } else {
    k.wbr = Set16(l);
    k.wgt = GtLanes(l, 0);  // add, sub, xor: no product in the T lane
  }
  const int f = l > 256 ? 512 - l : l, a = l > 256 ? 255 * (l - 256) : 0;
  k.bfa_br = Set16(f), k.bfa_gt = GtLanes(f, 256);
  k.bfb_br = Set16(a), k.bfb_gt = GtLanes(a, 0);
  if (cmask == 0xFFFFFFFFu)
    Run<Op, Row, UseT, High, false>(dst, src, mask, width, k, dstPitch, srcPitch, maskPitch, height);
  else
    Run<Op, Row, UseT, High, true>(dst, src, mask, width, k, dstPitch, srcPitch, maskPitch, height);
}

// The kernel loop of this instruction set, for the shared dispatch.
struct Avx2Kernels {
  template <int Op, int Row, bool UseT, bool High>
  VARN_AVX2 static void Go(VARN_BLT_ARGS, int l) {
    ::Go<Op, Row, UseT, High>(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height, l);
  }
};

}  // namespace

VARN_DEFINE_VECTOR32_ROUTINES(Blt32MmxAvx2, Avx2Kernels)

#endif
