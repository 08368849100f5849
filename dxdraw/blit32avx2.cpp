// 32-bit blit routines of the MMX form on AVX2: eight pixels per step, the same bits as the scalar reference.
//
// Chosen at run time (CpuHasAvx2) by the MMX-form entry points. The lane layout and the pieces shared with
// the AVX-512 version are in blit32lanes.h. Here the T lane rides along in a mix with the weight the row
// wants (256: the source's T, 0: the destination's), so that rows 0 and 3 need no separate merge.
#include <cstring>

#include "dxdraw/blit32vector.h"
#include "dxdraw/blitroutines.h"

#if defined(__SSE2__)

#define VARN_AVX2 __attribute__((target("avx2")))
#define VARN_LANES_FN VARN_AVX2 inline
#include "dxdraw/blit32lanes.h"

using namespace blitdetail;

namespace {

using V = __m256i;
using K = blitdetail::K<32>;

template <int Op, int Row, bool UseT, bool High, bool Masked>
VARN_AVX2 inline V Kernel(V s, V d, V m, const K& k) {
  constexpr WeightKind kKind = KindOf<Op, UseT, High>();
  constexpr bool kMix = IsMix<Op, UseT, High>();
  if constexpr (Masked) s = _mm256_and_si256(s, k.cmask);
  V colour;
  if constexpr (Op == kBltCopy && !UseT) {
    colour = s;
  } else {
    const V lowBytes = Set32<V>(0x00FF00FFu);
    const V sbr = _mm256_and_si256(s, lowBytes), sgt = _mm256_srli_epi16(s, 8);
    const V dbr = _mm256_and_si256(d, lowBytes), dgt = _mm256_srli_epi16(d, 8);
    V wbr = k.wbr, wgt = k.wgt;
    if constexpr (kKind == kWBySourceT || kKind == kWArith) {
      V w = PixelWeight<Op, UseT, High>(s, d, m, k);
      wbr = w;
      wgt = _mm256_blend_epi16(w, kMix ? k.tw : _mm256_setzero_si256(), 0xAA);
    }
    V xbr, xgt;
    SourceHalves<Op, High>(sbr, sgt, k, xbr, xgt);
    if constexpr (kMix) {
      // mix(x, d, w) = d + floor((x - d) * w / 256): the low 16 bits of (x - d) * w hold that floor (mod 256)
      // in their high byte, and d plus it is 0..255, so a bytewise add to d gives the exact result.
      colour = _mm256_add_epi8(d, HighBytes(_mm256_mullo_epi16(_mm256_sub_epi16(xbr, dbr), wbr),
                                            _mm256_mullo_epi16(_mm256_sub_epi16(xgt, dgt), wgt)));
    } else if constexpr (Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
      // The product P = s * w per channel; Add stores min(255, d + floor(P / 256)), Sub
      // max(0, d - ceil(P / 256)) and Xor d ^ floor(P / 256), each a bytewise operation on d.
      const V pbr = _mm256_mullo_epi16(sbr, wbr), pgt = _mm256_mullo_epi16(sgt, wgt);
      if constexpr (Op == kBltAdd) {
        colour = _mm256_adds_epu8(d, HighBytes(pbr, pgt));
      } else if constexpr (Op == kBltSub) {
        const V round = Set16<V>(255);
        colour = _mm256_subs_epu8(d, HighBytes(_mm256_add_epi16(pbr, round), _mm256_add_epi16(pgt, round)));
      } else {
        colour = _mm256_xor_si256(d, HighBytes(pbr, pgt));
      }
    } else {
      // Every lane holds a value of 0..255: put the halves back together.
      colour = LowBytes(xbr, xgt);
    }
  }
  // The T byte by the row, where the arithmetic did not already leave it.
  constexpr TLane kHave = TLaneOf<Op, Row, UseT, High>();
  constexpr bool kOk = Op == kBltBlendOnLayer || (Row == 0 && kHave == kTSource) || (Row == 3 && kHave == kTDest);
  if constexpr (kOk) {
    return colour;
  } else {
    return _mm256_blendv_epi8(colour, RowT<Row>(s, d), Set32<V>(0xFF000000u));
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

// The kernel loop of this instruction set, for the shared dispatch.
struct Avx2Kernels {
  template <int Op, int Row, bool UseT, bool High>
  VARN_AVX2 static void Go(VARN_BLT_ARGS, int l) {
    RunCall<V, Op, Row, UseT, High>(Run<Op, Row, UseT, High, false>, Run<Op, Row, UseT, High, true>, dst, src, mask,
                                    width, params, dstPitch, srcPitch, maskPitch, height, l);
  }
};

}  // namespace

VARN_DEFINE_VECTOR32_ROUTINES(Blt32MmxAvx2, Avx2Kernels)

#endif
