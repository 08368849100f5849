// The dispatch shared by the vector versions of the 32-bit MMX-form routines (SSE2, AVX2, AVX-512): the
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
  if constexpr (Op == kBltMaskFade) {
    // MaskFade without a rule image reads every mask value as 0: the reference handles that case.
    if (mask == nullptr)
      return g_BltTable32MmxRef[static_cast<size_t>(Row * 16 + Op)](dst, src, mask, width, params, dstPitch, srcPitch,
                                                                    maskPitch, height);
  }
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

// The routines of one instruction set, as the operation list's definitions take them.
template <class Isa>
struct VectorRoutines32 {
  template <int Op, int Row>
  static void Run(VARN_BLT_ARGS) {
    DispatchVector32<Isa, Op, Row>(dst, src, mask, width, params, dstPitch, srcPitch, maskPitch, height);
  }
};

}  // namespace blitdetail

// Defines every 32-bit routine of one vector version, named prefix_Op_Row and prefix_BlendOnLayer.
#define VARN_DEFINE_VECTOR32_ROUTINES(prefix, Isa) \
  VARN_BLT32_ROUTINES(VARN_BLT_DEFINE, prefix, blitdetail::VectorRoutines32<Isa>::Run)
