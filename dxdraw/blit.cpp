// The routine tables, the processor check and MMX switch, and the preparation a surface applies around a routine.
#include "dxdraw/blit.h"

#include "dxdraw/blitroutines.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

using namespace blitdetail;

int g_HasMmx = 0;
int g_UseMmx = 0;

namespace {

using Table = std::array<BltFunc, kBltTableSize>;

#define VARN_ROWS(prefix, name) \
  { prefix##_##name##_0, prefix##_##name##_1, prefix##_##name##_2, prefix##_##name##_3 }

// One operation's four routines, placed at row * 16 + op.
struct OpRows {
  int op;
  BltFunc rows[4];
};

template <size_t N>
constexpr Table MakeTable(const OpRows (&ops)[N]) {
  Table t{};
  for (const OpRows& o : ops)
    for (int row = 0; row < 4; ++row) t[static_cast<size_t>(row * 16 + o.op)] = o.rows[row];
  return t;
}

#define VARN_TABLE32(prefix)                                 \
  MakeTable<8>({{kBltCopy, VARN_ROWS(prefix, Copy)},         \
                {kBltBright, VARN_ROWS(prefix, Bright)},     \
                {kBltBlend, VARN_ROWS(prefix, Blend)},       \
                {kBltAdd, VARN_ROWS(prefix, Add)},           \
                {kBltSub, VARN_ROWS(prefix, Sub)},           \
                {kBltMaskFade, VARN_ROWS(prefix, MaskFade)}, \
                {kBltXor, VARN_ROWS(prefix, Xor)},           \
                {kBltBlendOnLayer,                           \
                 {prefix##_BlendOnLayer, prefix##_BlendOnLayer, prefix##_BlendOnLayer, prefix##_BlendOnLayer}}})

#define VARN_TABLE16(prefix)                                          \
  MakeTable<14>({{kBltCopy, VARN_ROWS(prefix, Copy)},                 \
                 {kBltBright, VARN_ROWS(prefix, Bright)},             \
                 {kBltBlend, VARN_ROWS(prefix, Blend)},               \
                 {kBltAdd, VARN_ROWS(prefix, Add)},                   \
                 {kBltSub, VARN_ROWS(prefix, Sub)},                   \
                 {kBltMaskFade, VARN_ROWS(prefix, MaskFade)},         \
                 {kBltMaskCut, VARN_ROWS(prefix, MaskCut)},           \
                 {kBltBrightOrAdd, VARN_ROWS(prefix, BrightOrAdd)},   \
                 {kBltBrightOrSub, VARN_ROWS(prefix, BrightOrSub)},   \
                 {kBltCopyOrBlend, VARN_ROWS(prefix, CopyOrBlend)},   \
                 {kBltXor, VARN_ROWS(prefix, Xor)},                   \
                 {kBltBlendOnLayer, VARN_ROWS(prefix, BlendOnLayer)}, \
                 {kBltBlendDestKey, VARN_ROWS(prefix, BlendDestKey)}, \
                 {kBltAndMask, VARN_ROWS(prefix, AndMask)}})

}  // namespace

constinit const Table g_BltTable32 = VARN_TABLE32(Blt32C);
constinit const Table g_BltTable32MmxRef = VARN_TABLE32(Blt32MmxRef);
constinit const Table g_BltTable16 = VARN_TABLE16(Blt16C);
constinit const Table g_BltTable16MmxRef = VARN_TABLE16(Blt16MmxRef);
#if defined(__SSE2__)
constinit const Table g_BltTable32Mmx = VARN_TABLE32(Blt32Mmx);
constinit const Table g_BltTable16Mmx = VARN_TABLE16(Blt16Mmx);
#else
// No vector unit: the scalar reference is the MMX form, so results match every other build.
constinit const Table g_BltTable32Mmx = VARN_TABLE32(Blt32MmxRef);
constinit const Table g_BltTable16Mmx = VARN_TABLE16(Blt16MmxRef);

void Fill32Mmx(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height) {
  Fill32C(dst, width, pitch, value, height);
}
void Fill16Mmx(uint8_t* dst, int width, ptrdiff_t pitch, uint16_t value, int height) {
  Fill16C(dst, width, pitch, value, height);
}
void SetTransparent16Mmx(uint8_t* dst, int width, ptrdiff_t pitch, int height) {
  SetTransparent16C(dst, width, pitch, height);
}
void SetOpaque16Mmx(uint8_t* dst, int width, ptrdiff_t pitch, int height) {
  SetOpaque16C(dst, width, pitch, height);
}
#endif

int CpuHasMmx() {
#if defined(__x86_64__) || defined(__i386__)
  // Every processor that runs this build has CPUID (the ID flag of the flags register can be
  // flipped on all of them); a highest function of 0 means no feature word.
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid_max(0, nullptr) == 0) return 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return 0;
  return (d & 0x800000) ? 1 : 0;
#else
  // The MMX form exists everywhere as its scalar reference.
  return 1;
#endif
}

namespace DxDraw {

void DetectCpu() {
  g_HasMmx = g_UseMmx = CpuHasMmx();
}

void EnableMMX(int flag) {
  if (g_HasMmx) g_UseMmx = flag;
}

}  // namespace DxDraw

BltParams PrepareBltParams32(const BltParams* caller) {
  BltParams p = caller ? *caller : BltParams{};
  p.colorMask |= 0xFF000000u;
  if (!(p.mode & kBltKeyOrMask)) p.colorMask = 0xFFFFFFFFu;
  p.mode &= ~kBltInvertMask;
  return p;
}

BltParams PrepareBltParams16(const BltParams* caller) {
  BltParams p = caller ? *caller : BltParams{};
  p.colorMask |= 0x8000;
  const uint32_t x = (p.mode & kBltInvertMask) ? 0xFFFFFFFFu : 0;
  p.maskXor[0] = p.maskXor[1] = x;
  p.mode &= ~kBltInvertMask;
  return p;
}

BltResult CallBlt32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, BltParams& params,
                    ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height) {
  if ((params.mode & 0xFF) == kBltBlend && !(params.mode & kBltKeepBlend)) {
    const int level = static_cast<int16_t>(static_cast<uint16_t>(params.level & 0xFFFF));
    if (level == 0) return BltResult::kSkipped;
    if (level == 256) params.mode &= ~0xFFu;  // a full-strength blend is a copy
  }
  const BltFunc plain = LookupBlt(g_BltTable32, params.mode);
  if (!plain) return BltResult::kNoRoutine;
  if (width < 1 || height < 1) return BltResult::kSkipped;
  const BltFunc mmx = g_UseMmx ? LookupBlt(g_BltTable32Mmx, params.mode) : nullptr;
  if (!mmx) {
    plain(dst, src, mask, width, &params, dstPitch, srcPitch, maskPitch, height);
    return BltResult::kDrawn;
  }
  // The MMX routine takes pixel pairs; the plain one finishes an odd last column.
  const int even = width & ~1;
  if (even >= 2) mmx(dst, src, mask, even, &params, dstPitch, srcPitch, maskPitch, height);
  if (width & 1) {
    const size_t off = static_cast<size_t>(even) * 4;
    plain(dst + off, src + off, mask ? mask + off : nullptr, 1, &params, dstPitch, srcPitch, maskPitch, height);
  }
  return BltResult::kDrawn;
}

BltResult CallBlt16(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const BltParams& params,
                    ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height) {
  const BltFunc f = LookupBlt(g_UseMmx ? g_BltTable16Mmx : g_BltTable16, params.mode);
  if (!f) return BltResult::kNoRoutine;
  if (width < 1 || height < 1) return BltResult::kSkipped;
  f(dst, src, mask, width, &params, dstPitch, srcPitch, maskPitch, height);
  return BltResult::kDrawn;
}

void CallFill32(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height) {
  if (width < 1 || height < 1) return;
  if (!g_UseMmx) return Fill32C(dst, width, pitch, value, height);
  const int even = width & ~1;
  if (even >= 2) Fill32Mmx(dst, even, pitch, value, height);
  if (width & 1) Fill32C(dst + static_cast<size_t>(even) * 4, 1, pitch, value, height);
}

void CallFill16(uint8_t* dst, int width, ptrdiff_t pitch, uint16_t value, int height) {
  if (width < 1 || height < 1) return;
  (g_UseMmx ? Fill16Mmx : Fill16C)(dst, width, pitch, value, height);
}

void CallSetTransparent16(uint8_t* dst, int width, ptrdiff_t pitch, int height) {
  if (width < 1 || height < 1) return;
  (g_UseMmx ? SetTransparent16Mmx : SetTransparent16C)(dst, width, pitch, height);
}

void CallSetOpaque16(uint8_t* dst, int width, ptrdiff_t pitch, int height) {
  if (width < 1 || height < 1) return;
  (g_UseMmx ? SetOpaque16Mmx : SetOpaque16C)(dst, width, pitch, height);
}
