// The dispatch shared by the vector versions of the 32-bit MMX-form routines (SSE2, AVX2): the
// level clamp, the plain-copy shortcut and the choice of kernel, and the routine definitions.
#pragma once

#include <cstring>

#include "dxdraw/blitroutines.h"

namespace blitdetail {

// How an operation's kernel is shaped, the same for every instruction set.

// What the colour arithmetic leaves in the T lane.
enum TLane { kTSource, kTDest };

// Which weight an operation uses per pixel.
enum WeightKind {
  kWConst,      // the level, the same for every pixel
  kWBySourceT,  // a function of the source's T only: table or arithmetic
  kWArith,      // needs the mask or the destination: arithmetic
  kWNone,       // no weight (copy, brighten without transparency)
};

template <int Op, bool UseT, bool High>
constexpr WeightKind KindOf() {
  if (Op == kBltMaskFade || Op == kBltBlendOnLayer) return kWArith;
  if (UseT) return kWBySourceT;
  if (Op == kBltBlend && !High) return kWConst;
  if (Op == kBltAdd || Op == kBltSub || Op == kBltXor) return kWConst;
  return kWNone;
}

template <int Op, bool UseT, bool High>
constexpr bool IsMix() {
  return Op == kBltMaskFade || Op == kBltBlendOnLayer || (Op == kBltBlend && !High) ||
         (UseT && Op != kBltAdd && Op != kBltSub && Op != kBltXor);
}

// The T-lane weight of a mix: 256 makes the lane the source's T, 0 the destination's (the row's
// byte where the row takes one; merged later).
template <int Op, int Row>
constexpr int MixTWeight() {
  return (Op == kBltBlendOnLayer || Row == 3) ? 0 : 256;
}

template <int Op, int Row, bool UseT, bool High>
constexpr TLane TLaneOf() {
  if (IsMix<Op, UseT, High>()) return MixTWeight<Op, Row>() == 0 ? kTDest : kTSource;
  if (Op == kBltAdd || Op == kBltSub || Op == kBltXor) return kTDest;
  return kTSource;  // copy, brightened source
}

// Isa provides `template <int Op, int Row, bool UseT, bool High> static void Go(VARN_BLT_ARGS, int level)`,
// the kernel loop of one instruction set.
template <class Isa, int Op, int Row>
void DispatchVector32(VARN_BLT_ARGS) {
  const int l = ClampedLevel(params, 0, kLevelMax32(Op));
  const bool useT = (params->mode & kBltSrcAlpha) != 0;
  if (Op == kBltCopy && Row == 0 && !useT && (params->colorMask | 0xFF000000u) == 0xFFFFFFFFu) {
    // Nothing masked and the source's T kept: the rows are copied as they are.
    for (int y = 0; y < height; ++y, dst += dstPitch, src += srcPitch)
      std::memmove(dst, src, static_cast<size_t>(width) * 4);
    return;
  }
  const bool high = (Op == kBltBright || Op == kBltBlend) && l > 256;
#define VARN_GO(T, H) \
  Isa::template Go<Op, Row, T, H>(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height, l)
  if (high)
    useT ? VARN_GO(true, true) : VARN_GO(false, true);
  else
    useT ? VARN_GO(true, false) : VARN_GO(false, false);
#undef VARN_GO
}

}  // namespace blitdetail

#define VARN_VECTOR32_ROW(prefix, Isa, name, op, row)                                                                 \
  void prefix##_##name##_##row(VARN_BLT_ARGS) {                                                                       \
    blitdetail::DispatchVector32<Isa, op, row>(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height); \
  }
#define VARN_VECTOR32_ROWS(prefix, Isa, name, op) \
  VARN_VECTOR32_ROW(prefix, Isa, name, op, 0)     \
  VARN_VECTOR32_ROW(prefix, Isa, name, op, 1)     \
  VARN_VECTOR32_ROW(prefix, Isa, name, op, 2)     \
  VARN_VECTOR32_ROW(prefix, Isa, name, op, 3)
// MaskFade without a rule image reads every mask value as 0: the reference handles that case.
#define VARN_VECTOR32_MASKFADE(prefix, Isa, row)                                                              \
  void prefix##_MaskFade_##row(VARN_BLT_ARGS) {                                                               \
    if (mask == nullptr)                                                                                      \
      Blt32MmxRef_MaskFade_##row(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height);       \
    else                                                                                                      \
      blitdetail::DispatchVector32<Isa, kBltMaskFade, row>(dst, src, mask, width, params, dstPitch, srcPitch, \
                                                           maskPitch, height);                                \
  }

// Defines every 32-bit routine of one vector version, named prefix_Op_Row and prefix_BlendOnLayer.
#define VARN_DEFINE_VECTOR32_ROUTINES(prefix, Isa)                                                            \
  VARN_VECTOR32_ROWS(prefix, Isa, Copy, kBltCopy)                                                             \
  VARN_VECTOR32_ROWS(prefix, Isa, Bright, kBltBright)                                                         \
  VARN_VECTOR32_ROWS(prefix, Isa, Blend, kBltBlend)                                                           \
  VARN_VECTOR32_ROWS(prefix, Isa, Add, kBltAdd)                                                               \
  VARN_VECTOR32_ROWS(prefix, Isa, Sub, kBltSub)                                                               \
  VARN_VECTOR32_ROWS(prefix, Isa, Xor, kBltXor)                                                               \
  void prefix##_BlendOnLayer(VARN_BLT_ARGS) {                                                                 \
    blitdetail::DispatchVector32<Isa, kBltBlendOnLayer, 3>(dst, src, mask, width, params, dstPitch, srcPitch, \
                                                           maskPitch, height);                                \
  }                                                                                                           \
  VARN_VECTOR32_MASKFADE(prefix, Isa, 0)                                                                      \
  VARN_VECTOR32_MASKFADE(prefix, Isa, 1)                                                                      \
  VARN_VECTOR32_MASKFADE(prefix, Isa, 2)                                                                      \
  VARN_VECTOR32_MASKFADE(prefix, Isa, 3)
