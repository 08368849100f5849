// The routine tables, the processor check, the MMX switch and version choice, and the preparation a surface
// applies around a routine.
#include "dxdraw/blit.h"

#include "dxdraw/blitroutines.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

using namespace blitdetail;

int g_HasMmx = 0;
int g_UseMmx = 0;

constinit const BltTable g_BltTable32 = VARN_BLT32_TABLE(Blt32C);
constinit const BltTable g_BltTable32MmxRef = VARN_BLT32_TABLE(Blt32MmxRef);
constinit const BltTable g_BltTable16 = VARN_BLT16_TABLE(Blt16C);
constinit const BltTable g_BltTable16MmxRef = VARN_BLT16_TABLE(Blt16MmxRef);
#if defined(__SSE2__)
constinit const BltTable g_BltTable32Mmx = VARN_BLT32_TABLE(Blt32Mmx);
constinit const BltTable g_BltTable16Mmx = VARN_BLT16_TABLE(Blt16Mmx);
#else
// No vector unit: the scalar reference is the MMX form, so results match every other build.
constinit const BltTable g_BltTable32Mmx = VARN_BLT32_TABLE(Blt32MmxRef);
constinit const BltTable g_BltTable16Mmx = VARN_BLT16_TABLE(Blt16MmxRef);

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

std::vector<uint32_t> BltOperationsOf(int depth) {
  std::vector<uint32_t> ops;
  for (const BltOperation& o : kBltOperations)
    if (depth == 16 ? o.in16 : depth == 32 && o.in32) ops.push_back(o.op);
  return ops;
}

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
#if defined(__SSE2__)
  SetBltVector32(nullptr);
#endif
}

void EnableMMX(int flag) {
  if (g_HasMmx) g_UseMmx = flag;
}

namespace {

struct VersionName {
  BlitVersion version;
  std::string_view name;
};
constexpr VersionName kVersionNames[] = {{BlitVersion::kPlain, "plain"},
                                         {BlitVersion::kSse2, "sse2"},
                                         {BlitVersion::kAvx2, "avx2"},
                                         {BlitVersion::kAvx512, "avx512"}};

}  // namespace

const char* BlitVersionName(BlitVersion version) {
  for (const VersionName& v : kVersionNames)
    if (v.version == version) return v.name.data();
  return "";
}

bool ParseBlitVersion(std::string_view name, BlitVersion& version) {
  for (const VersionName& v : kVersionNames)
    if (v.name == name) {
      version = v.version;
      return true;
    }
  return false;
}

bool BlitVersionAvailable(BlitVersion version) {
  switch (version) {
    case BlitVersion::kPlain:
      return true;
#if defined(__SSE2__)
    case BlitVersion::kSse2:
      return CpuHasMmx() != 0;
    case BlitVersion::kAvx2:
      return CpuHasMmx() && CpuHasAvx2();
    case BlitVersion::kAvx512:
      return CpuHasMmx() && CpuHasAvx512();
#endif
    default:
      return false;
  }
}

bool SetBlitVersion(BlitVersion version) {
  if (!BlitVersionAvailable(version)) return false;
  if (version == BlitVersion::kPlain) {
    g_UseMmx = 0;
    return true;
  }
#if defined(__SSE2__)
  g_HasMmx = g_UseMmx = 1;
  SetBltVector32(&BlitVersionTable32(version));
#endif
  return true;
}

BlitVersion GetBlitVersion() {
  if (!g_UseMmx) return BlitVersion::kPlain;
#if defined(__SSE2__)
  const BltTable& t = BltVector32();
  if (&t == &g_BltTable32MmxAvx512) return BlitVersion::kAvx512;
  if (&t == &g_BltTable32MmxAvx2) return BlitVersion::kAvx2;
#endif
  // Without a vector unit the MMX form is its scalar reference, in the place of the base version.
  return BlitVersion::kSse2;
}

}  // namespace DxDraw

const BltTable& BlitVersionTable32(DxDraw::BlitVersion version) {
  switch (version) {
#if defined(__SSE2__)
    case DxDraw::BlitVersion::kSse2:
      return g_BltTable32MmxSse2;
    case DxDraw::BlitVersion::kAvx2:
      return g_BltTable32MmxAvx2;
    case DxDraw::BlitVersion::kAvx512:
      return g_BltTable32MmxAvx512;
#else
    case DxDraw::BlitVersion::kSse2:
      return g_BltTable32Mmx;
#endif
    default:
      return g_BltTable32;
  }
}

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
