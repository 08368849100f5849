// 16-bit blit routines: the plain form (channel results looked up in the start-up tables) and the scalar
// reference of the MMX form (the same results by lane arithmetic), plus the 16-bit fills.
#include "dxdraw/blit16pixel.h"

using namespace blitdetail;

namespace {

// Walks the rectangle; pixel x of a row takes its mask XOR word from xorFor(x, width).
template <int Op, int Row, int Skip, bool Tables>
void Run16(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const Ctx16& c, ptrdiff_t dp, ptrdiff_t sp,
           ptrdiff_t mp, int height) {
  const int groups = Tables ? 0 : width & ~3;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint16_t s = Load16(src + 2 * x), d = Load16(dst + 2 * x);
      uint16_t m = 0;
      if constexpr (Op == kBltMaskFade || Op == kBltMaskCut) {
        if (mask) m = Load16(mask + 2 * x) ^ (x < groups ? c.maskXor[x & 3] : c.maskXor[0]);
      }
      uint16_t out;
      if (Pixel16<Op, Row, Skip, Tables>(s, d, m, c, out)) Store16(dst + 2 * x, out);
    }
    dst += dp;
    src += sp;
    if (mask) mask += mp;
  }
}

template <int Op, int Row, bool Tables>
void Blt16(VARN_BLT_ARGS) {
  const Ctx16 c = MakeCtx16(Op, params);
  switch (SkipRule16(Op, params->mode)) {
    case 5:
      return Run16<Op, Row, 5, Tables>(dst, src, mask, width, c, dstPitch, srcPitch, maskPitch, height);
    case 4:
      return Run16<Op, Row, 4, Tables>(dst, src, mask, width, c, dstPitch, srcPitch, maskPitch, height);
    case 1:
      return Run16<Op, Row, 1, Tables>(dst, src, mask, width, c, dstPitch, srcPitch, maskPitch, height);
    default:
      return Run16<Op, Row, 0, Tables>(dst, src, mask, width, c, dstPitch, srcPitch, maskPitch, height);
  }
}

template <int Op, int Row>
void BltC16(VARN_BLT_ARGS) {
  Blt16<Op, Row, true>(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height);
}
template <int Op, int Row>
void BltRef16(VARN_BLT_ARGS) {
  Blt16<Op, Row, false>(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height);
}

}  // namespace

VARN_BLT16_ROUTINES(VARN_BLT_DEFINE, Blt16C, BltC16)
VARN_BLT16_ROUTINES(VARN_BLT_DEFINE, Blt16MmxRef, BltRef16)

// ---- direct entry points ----

void Fill16C(uint8_t* dst, int width, ptrdiff_t pitch, uint16_t value, int height) {
  for (int y = 0; y < height; ++y, dst += pitch)
    for (int x = 0; x < width; ++x) Store16(dst + 2 * x, value);
}

void SetTransparent16C(uint8_t* dst, int width, ptrdiff_t pitch, int height) {
  for (int y = 0; y < height; ++y, dst += pitch)
    for (int x = 0; x < width; ++x) Store16(dst + 2 * x, static_cast<uint16_t>(Load16(dst + 2 * x) | 0x8000));
}

void SetOpaque16C(uint8_t* dst, int width, ptrdiff_t pitch, int height) {
  for (int y = 0; y < height; ++y, dst += pitch)
    for (int x = 0; x < width; ++x) Store16(dst + 2 * x, static_cast<uint16_t>(Load16(dst + 2 * x) & 0x7FFF));
}
