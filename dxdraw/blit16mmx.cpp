// 16-bit blit routines of the MMX form, on SSE2: eight pixels per step (the mask XOR lanes repeat every four),
// then four, then the rest of the row one pixel at a time; the same bits as the scalar reference.
#include "dxdraw/blit16pixel.h"

#if defined(__SSE2__)
#include <emmintrin.h>

using namespace blitdetail;

namespace {

struct K16 {
  __m128i l, linv;   // level and 32 - level
  __m128i l64;       // 64 * level: the Add and Sub product scale
  __m128i hiA, hiB;  // Bright above 32: 64 - level and 31 * (level - 32)
  __m128i key, destKey, andMask, maskXor;
  int level;
};

inline __m128i S16(int v) {
  return _mm_set1_epi16(static_cast<int16_t>(v));
}
inline __m128i Select(__m128i m, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b));
}

inline __m128i BlendV(__m128i a, __m128i b, __m128i w, __m128i winv) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(a, w), _mm_mullo_epi16(b, winv)), 5);
}

struct Chans {
  __m128i b, g, r;
  explicit Chans(__m128i v) {
    const __m128i c31 = S16(31);
    b = _mm_and_si128(v, c31);
    g = _mm_and_si128(_mm_srli_epi16(v, 5), c31);
    r = _mm_and_si128(_mm_srli_epi16(v, 10), c31);
  }
};

inline __m128i Join(__m128i b, __m128i g, __m128i r) {
  return _mm_or_si128(b, _mm_or_si128(_mm_slli_epi16(g, 5), _mm_slli_epi16(r, 10)));
}

template <class F>
inline __m128i Per(const Chans& s, const Chans& d, F f) {
  return Join(f(s.b, d.b), f(s.g, d.g), f(s.r, d.r));
}

inline __m128i Blend3(const Chans& s, const Chans& d, __m128i w, __m128i winv) {
  return Per(s, d, [&](__m128i a, __m128i b) { return BlendV(a, b, w, winv); });
}
inline __m128i Add3(const Chans& s, const Chans& d, const K16& k) {
  return Per(s, d, [&](__m128i a, __m128i b) {
    return _mm_srli_epi16(_mm_adds_epu16(_mm_slli_epi16(b, 11), _mm_mullo_epi16(a, k.l64)), 11);
  });
}
inline __m128i Sub3(const Chans& s, const Chans& d, const K16& k) {
  return Per(s, d, [&](__m128i a, __m128i b) {
    return _mm_srli_epi16(_mm_subs_epu16(_mm_slli_epi16(b, 11), _mm_mullo_epi16(a, k.l64)), 11);
  });
}
inline __m128i Bright3(const Chans& s, const K16& k) {
  if (k.level <= 32) return Per(s, s, [&](__m128i a, __m128i) { return _mm_srli_epi16(_mm_mullo_epi16(a, k.l), 5); });
  return Per(s, s,
             [&](__m128i a, __m128i) { return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(a, k.hiA), k.hiB), 5); });
}

// Eight pixels; m is the mask already XORed with its lane words. Skipped lanes keep the destination.
template <int Op, int Row, int Skip>
inline __m128i Kernel16(__m128i s, __m128i d, __m128i m, const K16& k) {
  const __m128i c7fff = S16(0x7FFF);
  const __m128i sc = _mm_and_si128(s, c7fff), dc = _mm_and_si128(d, c7fff);
  const __m128i trans = _mm_srai_epi16(s, 15);
  __m128i skip = _mm_setzero_si128();
  if constexpr (Skip == 5) skip = _mm_or_si128(trans, _mm_cmpeq_epi16(sc, k.key));
  if constexpr (Skip == 4) skip = _mm_cmpeq_epi16(sc, k.key);
  if constexpr (Skip == 1) skip = trans;
  if constexpr (Op == kBltCopyOrBlend) skip = _mm_andnot_si128(trans, _mm_cmpeq_epi16(sc, k.key));
  __m128i colour;
  if constexpr (Op == kBltCopy) {
    colour = sc;
  } else if constexpr (Op == kBltXor) {
    colour = _mm_xor_si128(sc, dc);
  } else if constexpr (Op == kBltAndMask) {
    colour = _mm_and_si128(sc, k.andMask);
  } else {
    const Chans cs(sc), cd(dc);
    if constexpr (Op == kBltBright) {
      colour = Bright3(cs, k);
    } else if constexpr (Op == kBltBlend) {
      colour = Blend3(cs, cd, k.l, k.linv);
    } else if constexpr (Op == kBltAdd) {
      colour = Add3(cs, cd, k);
    } else if constexpr (Op == kBltSub) {
      colour = Sub3(cs, cd, k);
    } else if constexpr (Op == kBltMaskFade || Op == kBltMaskCut) {
      const __m128i mv = _mm_and_si128(m, S16(31));
      __m128i w;
      if constexpr (Op == kBltMaskFade) {
        const __m128i mp = _mm_add_epi16(_mm_add_epi16(mv, S16(1)), _mm_cmpeq_epi16(mv, _mm_setzero_si128()));
        w = _mm_add_epi16(mp, _mm_sub_epi16(k.l, S16(32)));
        w = _mm_min_epi16(_mm_max_epi16(w, _mm_setzero_si128()), S16(32));
      } else {
        w = _mm_and_si128(_mm_cmpgt_epi16(k.l, mv), S16(32));
      }
      colour = Blend3(cs, cd, w, _mm_sub_epi16(S16(32), w));
    } else if constexpr (Op == kBltBrightOrAdd) {
      colour = Select(trans, Add3(cs, cd, k), Bright3(cs, k));
    } else if constexpr (Op == kBltBrightOrSub) {
      colour = Select(trans, Sub3(cs, cd, k), Bright3(cs, k));
    } else if constexpr (Op == kBltCopyOrBlend) {
      colour = Select(trans, Blend3(cs, cd, k.l, k.linv), sc);
    } else if constexpr (Op == kBltBlendOnLayer) {
      colour = Select(_mm_srai_epi16(d, 15), sc, Blend3(cs, cd, k.l, k.linv));
    } else {  // BlendDestKey
      colour = Select(_mm_cmpeq_epi16(dc, k.destKey), Blend3(cs, cd, k.l, k.linv), sc);
    }
  }
  __m128i top;
  if constexpr (Row == 0)
    top = _mm_and_si128(s, S16(0x8000));
  else if constexpr (Row == 1)
    top = _mm_setzero_si128();
  else if constexpr (Row == 2)
    top = S16(0x8000);
  else
    top = _mm_andnot_si128(d, S16(0x8000));
  return Select(skip, d, _mm_or_si128(colour, top));
}

template <int Op, int Row, int Skip>
void Run16(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const K16& k, const Ctx16& c, ptrdiff_t dp,
           ptrdiff_t sp, ptrdiff_t mp, int height) {
  constexpr bool kMask = Op == kBltMaskFade || Op == kBltMaskCut;
  for (int y = 0; y < height; ++y) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
      const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * x));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 2 * x));
      const __m128i m =
          kMask ? _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + 2 * x)), k.maskXor) : d;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * x), Kernel16<Op, Row, Skip>(s, d, m, k));
    }
    if (x + 4 <= width) {
      const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + 2 * x));
      const __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst + 2 * x));
      const __m128i m =
          kMask ? _mm_xor_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(mask + 2 * x)), k.maskXor) : d;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 2 * x), Kernel16<Op, Row, Skip>(s, d, m, k));
      x += 4;
    }
    for (; x < width; ++x) {  // the rest of the row, with the first mask word
      const uint16_t s = Load16(src + 2 * x), d = Load16(dst + 2 * x);
      const uint16_t m = kMask ? static_cast<uint16_t>(Load16(mask + 2 * x) ^ c.maskXor[0]) : 0;
      uint16_t out;
      if (Pixel16<Op, Row, Skip, false>(s, d, m, c, out)) Store16(dst + 2 * x, out);
    }
    dst += dp;
    src += sp;
    if (kMask) mask += mp;
  }
}

template <int Op, int Row>
void BltMmx16(VARN_BLT_ARGS) {
  const Ctx16 c = MakeCtx16(Op, params);
  K16 k;
  k.level = c.level;
  k.l = S16(c.level);
  k.linv = S16(32 - c.level);
  k.l64 = S16(64 * c.level);
  k.hiA = S16(64 - c.level);
  k.hiB = S16(c.level > 32 ? 31 * (c.level - 32) : 0);
  k.key = S16(c.key);
  k.destKey = S16(c.destKey);
  k.andMask = S16(c.andMask);
  k.maskXor = _mm_set_epi32(static_cast<int>(params->maskXor[1]), static_cast<int>(params->maskXor[0]),
                            static_cast<int>(params->maskXor[1]), static_cast<int>(params->maskXor[0]));
  switch (SkipRule16(Op, params->mode)) {
    case 5:
      return Run16<Op, Row, 5>(dst, src, mask, width, k, c, dstPitch, srcPitch, maskPitch, height);
    case 4:
      return Run16<Op, Row, 4>(dst, src, mask, width, k, c, dstPitch, srcPitch, maskPitch, height);
    case 1:
      return Run16<Op, Row, 1>(dst, src, mask, width, k, c, dstPitch, srcPitch, maskPitch, height);
    default:
      return Run16<Op, Row, 0>(dst, src, mask, width, k, c, dstPitch, srcPitch, maskPitch, height);
  }
}

// Ops 5 and 6 without a rule image read every mask value as 0: the scalar reference of the same
// entry handles that case.
template <int Op, int Row>
void BltMmx16Checked(VARN_BLT_ARGS) {
  if ((Op == kBltMaskFade || Op == kBltMaskCut) && mask == nullptr) {
    const BltFunc ref = g_BltTable16MmxRef[static_cast<size_t>(Row * 16 + Op)];
    return ref(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height);
  }
  BltMmx16<Op, Row>(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height);
}

}  // namespace

VARN_BLT16_ROUTINES(VARN_BLT_DEFINE, Blt16Mmx, BltMmx16Checked)

// ---- direct entry points ----

void Fill16Mmx(uint8_t* dst, int width, ptrdiff_t pitch, uint16_t value, int height) {
  const __m128i v = _mm_set1_epi16(static_cast<int16_t>(value));
  for (int y = 0; y < height; ++y, dst += pitch) {
    int x = 0;
    for (; x + 8 <= width; x += 8) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * x), v);
    for (; x < width; ++x) Store16(dst + 2 * x, value);
  }
}

void SetTransparent16Mmx(uint8_t* dst, int width, ptrdiff_t pitch, int height) {
  const __m128i v = S16(0x8000);
  for (int y = 0; y < height; ++y, dst += pitch) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
      __m128i* p = reinterpret_cast<__m128i*>(dst + 2 * x);
      _mm_storeu_si128(p, _mm_or_si128(_mm_loadu_si128(p), v));
    }
    for (; x < width; ++x) Store16(dst + 2 * x, static_cast<uint16_t>(Load16(dst + 2 * x) | 0x8000));
  }
}

void SetOpaque16Mmx(uint8_t* dst, int width, ptrdiff_t pitch, int height) {
  const __m128i v = S16(0x7FFF);
  for (int y = 0; y < height; ++y, dst += pitch) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
      __m128i* p = reinterpret_cast<__m128i*>(dst + 2 * x);
      _mm_storeu_si128(p, _mm_and_si128(_mm_loadu_si128(p), v));
    }
    for (; x < width; ++x) Store16(dst + 2 * x, static_cast<uint16_t>(Load16(dst + 2 * x) & 0x7FFF));
  }
}

#endif  // __SSE2__
