// 32-bit blit routines of the MMX form on AVX-512 (F and BW, on 512-bit vectors): sixteen pixels per step,
// the same bits as the scalar reference.
//
// Chosen at run time (CpuHasAvx512) by the MMX-form entry points. The lane layout and the weights are those
// of the AVX2 version (blit32lanes.h); what this instruction set adds:
// - twice the pixels per instruction, which is what these kernels are limited by;
// - every result is one bytewise operation on the destination (d + Q for a mix, saturated for Add and Sub,
//   XOR for Xor), with Q taken from the high bytes of the 16-bit products of both halves;
// - the T byte the row wants is merged by the mask of that same operation, so the arithmetic never needs
//   to carry it;
// - each row starts with a masked block up to the next 64-byte boundary of the destination, and ends with
//   a masked block, so the blocks between are whole-line stores and no pixel outside the row is touched.
#include <algorithm>

#include "dxdraw/blit32vector.h"
#include "dxdraw/blitroutines.h"

#if defined(__SSE2__)

#define VARN_AVX512 __attribute__((target("avx2,avx512f,avx512bw")))
#define VARN_LANES_FN VARN_AVX512 inline
#define VARN_LANES_512 1
#include "dxdraw/blit32lanes.h"

using namespace blitdetail;

namespace {

using V = __m512i;
using K = blitdetail::K<64>;

// The colour bytes (B, G, R) and the T byte of each of sixteen pixels, as byte masks.
constexpr __mmask64 kColourBytes = 0x7777777777777777ull;
constexpr __mmask64 kTBytes = 0x8888888888888888ull;

template <int Op, int Row, bool UseT, bool High, bool Masked>
VARN_AVX512 inline V Kernel(V s, V d, V m, const K& k) {
  constexpr WeightKind kKind = KindOf<Op, UseT, High>();
  constexpr bool kMix = IsMix<Op, UseT, High>();
  if constexpr (Masked) s = And(s, k.cmask);
  // The T byte that the row stores; BlendOnLayer never changes the destination's.
  const V t = Op == kBltBlendOnLayer ? d : RowT<Row>(s, d);
  // Copy and the brightened source carry the source's T byte, which is what row 0 stores.
  if constexpr (Op == kBltCopy && !UseT) return Row == 0 ? s : _mm512_mask_blend_epi8(kTBytes, s, t);
  const V lowBytes = Set32<V>(0x00FF00FFu);
  const V sbr = And(s, lowBytes), sgt = Srl16<8>(s);
  V w = k.wbr;
  if constexpr (kKind == kWBySourceT || kKind == kWArith) w = PixelWeight<Op, UseT, High>(s, d, m, k);
  V xbr, xgt;
  SourceHalves<Op, High>(sbr, sgt, k, xbr, xgt);
  if constexpr (kMix) {
    // mix(x, d, w) = d + floor((x - d) * w / 256): the low 16 bits of (x - d) * w hold that floor (mod 256)
    // in their high byte, and d plus it is 0..255, so a bytewise add to d gives the exact result.
    const V dbr = And(d, lowBytes), dgt = Srl16<8>(d);
    const V q = HighBytes(MulLo16(Sub16(xbr, dbr), w), MulLo16(Sub16(xgt, dgt), w));
    return _mm512_mask_add_epi8(t, kColourBytes, d, q);
  } else if constexpr (Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
    // The product P = s * w per channel; Add stores min(255, d + floor(P / 256)), Sub
    // max(0, d - ceil(P / 256)) and Xor d ^ floor(P / 256).
    const V pbr = MulLo16(sbr, w), pgt = MulLo16(sgt, w);
    if constexpr (Op == kBltAdd) {
      return _mm512_mask_adds_epu8(t, kColourBytes, d, HighBytes(pbr, pgt));
    } else if constexpr (Op == kBltSub) {
      const V round = Set16<V>(255);
      return _mm512_mask_subs_epu8(t, kColourBytes, d, HighBytes(Add16(pbr, round), Add16(pgt, round)));
    } else {
      return _mm512_mask_blend_epi8(kTBytes, Xor(d, HighBytes(pbr, pgt)), t);
    }
  } else {
    // The (brightened) source itself.
    static_assert(TLaneOf<Op, Row, UseT, High>() == kTSource);
    return Row == 0 ? LowBytes(xbr, xgt) : _mm512_mask_blend_epi8(kTBytes, LowBytes(xbr, xgt), t);
  }
}

// One block of sixteen pixels; a partial block reads and writes only the pixels of `lanes`.
template <int Op, int Row, bool UseT, bool High, bool Masked, bool Partial>
VARN_AVX512 inline void Block(uint8_t* dst, const uint8_t* src, const uint8_t* mask, __mmask16 lanes, const K& k) {
  constexpr bool kMask = Op == kBltMaskFade;
  if constexpr (Partial) {
    const V s = _mm512_maskz_loadu_epi32(lanes, src);
    const V d = _mm512_maskz_loadu_epi32(lanes, dst);
    const V m = kMask ? _mm512_maskz_loadu_epi32(lanes, mask) : _mm512_setzero_si512();
    _mm512_mask_storeu_epi32(dst, lanes, Kernel<Op, Row, UseT, High, Masked>(s, d, m, k));
  } else {
    const V s = _mm512_loadu_si512(src);
    const V d = _mm512_loadu_si512(dst);
    const V m = kMask ? _mm512_loadu_si512(mask) : _mm512_setzero_si512();
    _mm512_storeu_si512(dst, Kernel<Op, Row, UseT, High, Masked>(s, d, m, k));
  }
}

// The first n of sixteen pixels.
VARN_AVX512 inline __mmask16 FirstPixels(int n) {
  return static_cast<__mmask16>((1u << n) - 1);
}

template <int Op, int Row, bool UseT, bool High, bool Masked>
VARN_AVX512 void Run(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const K& k, ptrdiff_t dp,
                     ptrdiff_t sp, ptrdiff_t mp, int height) {
  constexpr bool kMask = Op == kBltMaskFade;
  for (int y = 0; y < height; ++y) {
    const uint8_t* m = kMask ? mask : nullptr;
    // Pixels up to the next 64-byte boundary of the destination (when its pixels are 4-byte aligned).
    const unsigned misalign = static_cast<unsigned>(reinterpret_cast<uintptr_t>(dst) & 63);
    int x = 0;
    if (misalign != 0 && (misalign & 3) == 0) {
      const int n = std::min(width, static_cast<int>(64 - misalign) / 4);
      Block<Op, Row, UseT, High, Masked, true>(dst, src, m, FirstPixels(n), k);
      x = n;
    }
    for (; x + 16 <= width; x += 16)
      Block<Op, Row, UseT, High, Masked, false>(dst + 4 * x, src + 4 * x, kMask ? m + 4 * x : nullptr, 0xFFFF, k);
    if (x < width)
      Block<Op, Row, UseT, High, Masked, true>(dst + 4 * x, src + 4 * x, kMask ? m + 4 * x : nullptr,
                                               FirstPixels(width - x), k);
    dst += dp;
    src += sp;
    if (kMask) mask += mp;
  }
}

// The kernel loop of this instruction set, for the shared dispatch.
struct Avx512Kernels {
  template <int Op, int Row, bool UseT, bool High>
  VARN_AVX512 static void Go(VARN_BLT_ARGS, int l) {
    RunCall<V, Op, Row, UseT, High>(Run<Op, Row, UseT, High, false>, Run<Op, Row, UseT, High, true>, dst, src, mask,
                                    width, params, dstPitch, srcPitch, maskPitch, height, l);
  }
};

}  // namespace

VARN_DEFINE_VECTOR32_ROUTINES(Blt32MmxAvx512, Avx512Kernels)

#endif
