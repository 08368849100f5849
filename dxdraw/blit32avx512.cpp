// 32-bit blit routines of the MMX form on AVX-512 (BW and VL, on 256-bit vectors): eight pixels per step,
// the same bits as the scalar reference.
//
// Chosen at run time (CpuHasAvx512) by the MMX-form entry points. The lane layout and the weights are those
// of the AVX2 version (blit32lanes256.h); what this instruction set adds:
// - every result is one bytewise operation on the destination (d + Q for a mix, saturated for Add and Sub,
//   XOR for Xor), with Q taken from the high bytes of the 16-bit products of both halves;
// - the T byte the row wants is merged by the mask of that same operation, so the arithmetic never needs
//   to carry it;
// - each row starts with a masked block up to the next 32-byte boundary of the destination, and ends with
//   a masked block, so the blocks between are aligned stores and no pixel outside the row is touched.
#include "dxdraw/blit32lanes256.h"
#include "dxdraw/blit32vector.h"
#include "dxdraw/blitroutines.h"

#if defined(__SSE2__)

#define VARN_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))

using namespace blitdetail;
using namespace blitdetail::lanes256;

namespace {

// The colour bytes (B, G, R) and the T byte of each of eight pixels, as byte masks.
constexpr __mmask32 kColourBytes = 0x77777777u;
constexpr __mmask32 kTBytes = 0x88888888u;

template <int Op, int Row, bool UseT, bool High, bool Masked>
VARN_AVX512 inline V Kernel(V s, V d, V m, const K& k) {
  constexpr WeightKind kKind = KindOf<Op, UseT, High>();
  constexpr bool kMix = IsMix<Op, UseT, High>();
  if constexpr (Masked) s = _mm256_and_si256(s, k.cmask);
  // The T byte that the row stores; BlendOnLayer never changes the destination's.
  const V t = Op == kBltBlendOnLayer ? d : RowT<Row>(s, d);
  // Copy and the brightened source carry the source's T byte, which is what row 0 stores.
  if constexpr (Op == kBltCopy && !UseT) return Row == 0 ? s : _mm256_mask_blend_epi8(kTBytes, s, t);
  const V lowBytes = Set32(0x00FF00FFu);
  const V sbr = _mm256_and_si256(s, lowBytes), sgt = _mm256_srli_epi16(s, 8);
  V w = k.wbr;
  if constexpr (kKind == kWBySourceT || kKind == kWArith) w = PixelWeight<Op, UseT, High>(s, d, m, k);
  V xbr, xgt;
  SourceHalves<Op, High>(sbr, sgt, k, xbr, xgt);
  if constexpr (kMix) {
    // mix(x, d, w) = d + floor((x - d) * w / 256): the low 16 bits of (x - d) * w hold that floor (mod 256)
    // in their high byte, and d plus it is 0..255, so a bytewise add to d gives the exact result.
    const V dbr = _mm256_and_si256(d, lowBytes), dgt = _mm256_srli_epi16(d, 8);
    const V q =
        HighBytes(_mm256_mullo_epi16(_mm256_sub_epi16(xbr, dbr), w), _mm256_mullo_epi16(_mm256_sub_epi16(xgt, dgt), w));
    return _mm256_mask_add_epi8(t, kColourBytes, d, q);
  } else if constexpr (Op == kBltAdd || Op == kBltSub || Op == kBltXor) {
    // The product P = s * w per channel; Add stores min(255, d + floor(P / 256)), Sub
    // max(0, d - ceil(P / 256)) and Xor d ^ floor(P / 256).
    const V pbr = _mm256_mullo_epi16(sbr, w), pgt = _mm256_mullo_epi16(sgt, w);
    if constexpr (Op == kBltAdd) {
      return _mm256_mask_adds_epu8(t, kColourBytes, d, HighBytes(pbr, pgt));
    } else if constexpr (Op == kBltSub) {
      const V round = Set16(255);
      return _mm256_mask_subs_epu8(t, kColourBytes, d,
                                   HighBytes(_mm256_add_epi16(pbr, round), _mm256_add_epi16(pgt, round)));
    } else {
      return _mm256_mask_blend_epi8(kTBytes, _mm256_xor_si256(d, HighBytes(pbr, pgt)), t);
    }
  } else {
    // The (brightened) source itself.
    static_assert(TLaneOf<Op, Row, UseT, High>() == kTSource);
    return Row == 0 ? LowBytes(xbr, xgt) : _mm256_mask_blend_epi8(kTBytes, LowBytes(xbr, xgt), t);
  }
}

// One block of eight pixels; a partial block reads and writes only the pixels of `lanes`.
template <int Op, int Row, bool UseT, bool High, bool Masked, bool Partial>
VARN_AVX512 inline void Block(uint8_t* dst, const uint8_t* src, const uint8_t* mask, __mmask8 lanes, const K& k) {
  constexpr bool kMask = Op == kBltMaskFade;
  if constexpr (Partial) {
    const V s = _mm256_maskz_loadu_epi32(lanes, src);
    const V d = _mm256_maskz_loadu_epi32(lanes, dst);
    const V m = kMask ? _mm256_maskz_loadu_epi32(lanes, mask) : _mm256_setzero_si256();
    _mm256_mask_storeu_epi32(dst, lanes, Kernel<Op, Row, UseT, High, Masked>(s, d, m, k));
  } else {
    const V s = _mm256_loadu_si256(reinterpret_cast<const V*>(src));
    const V d = _mm256_loadu_si256(reinterpret_cast<const V*>(dst));
    const V m = kMask ? _mm256_loadu_si256(reinterpret_cast<const V*>(mask)) : _mm256_setzero_si256();
    _mm256_storeu_si256(reinterpret_cast<V*>(dst), Kernel<Op, Row, UseT, High, Masked>(s, d, m, k));
  }
}

template <int Op, int Row, bool UseT, bool High, bool Masked>
VARN_AVX512 void Run(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const K& k, ptrdiff_t dp,
                     ptrdiff_t sp, ptrdiff_t mp, int height) {
  constexpr bool kMask = Op == kBltMaskFade;
  for (int y = 0; y < height; ++y) {
    const uint8_t* m = kMask ? mask : nullptr;
    // Pixels up to the next 32-byte boundary of the destination (when its pixels are 4-byte aligned).
    const unsigned misalign = static_cast<unsigned>(reinterpret_cast<uintptr_t>(dst) & 31);
    int x = 0;
    if (misalign != 0 && (misalign & 3) == 0) {
      const int n = std::min(width, static_cast<int>(32 - misalign) / 4);
      Block<Op, Row, UseT, High, Masked, true>(dst, src, m, static_cast<__mmask8>((1u << n) - 1), k);
      x = n;
    }
    for (; x + 8 <= width; x += 8)
      Block<Op, Row, UseT, High, Masked, false>(dst + 4 * x, src + 4 * x, kMask ? m + 4 * x : nullptr, 0xFF, k);
    if (x < width)
      Block<Op, Row, UseT, High, Masked, true>(dst + 4 * x, src + 4 * x, kMask ? m + 4 * x : nullptr,
                                               static_cast<__mmask8>((1u << (width - x)) - 1), k);
    dst += dp;
    src += sp;
    if (kMask) mask += mp;
  }
}

// The kernel loop of this instruction set, for the shared dispatch.
struct Avx512Kernels {
  template <int Op, int Row, bool UseT, bool High>
  VARN_AVX512 static void Go(VARN_BLT_ARGS, int l) {
    const uint32_t cmask = params->colorMask | 0xFF000000u;
    const K k = MakeK<Op, Row, UseT, High>(cmask, l);
    if (cmask == 0xFFFFFFFFu)
      Run<Op, Row, UseT, High, false>(dst, src, mask, width, k, dstPitch, srcPitch, maskPitch, height);
    else
      Run<Op, Row, UseT, High, true>(dst, src, mask, width, k, dstPitch, srcPitch, maskPitch, height);
  }
};

}  // namespace

VARN_DEFINE_VECTOR32_ROUTINES(Blt32MmxAvx512, Avx512Kernels)

#endif
