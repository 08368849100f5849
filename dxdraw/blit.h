// The pixel routines: the blit parameter block, the four routine tables, fills, the processor switch.
//
// How a surface runs an operation (what every Blt does around a routine):
//   1. Clip; with a clipped width or height below 1 draw nothing.
//   2. BltParams p = PrepareBltParams32(callerParams) (or ...16); a null caller block is mode 0.
//   3. When BltUsesMask(p.mode), point `mask` at the mask image's pixel at the source rectangle's
//      top-left coordinates (p.maskImage, same depth as the destination) and pass its pitch;
//      otherwise mask = nullptr and maskPitch = 0.
//   4. BltResult r = CallBlt32(dst, src, mask, width, p, dstPitch, srcPitch, maskPitch, height)
//      (or CallBlt16). It applies the 32-bit blend shortcut, picks the table by g_UseMmx, splits an
//      odd 32-bit width between the MMX routine and the plain one, and never reads past a table.
//   5. kNoRoutine: the Blt returns 0 and marks nothing. kSkipped: returns 1 and marks nothing.
//      kDrawn: mark the destination rectangle as updated and return 1.
// Fills go through CallFill32 / CallFill16 / CallSetTransparent16 / CallSetOpaque16 / OrAlpha32C.
// The MMX forms are built on SSE2, which leaves no MMX state behind: no EMMS is needed after a call.
//
// Pixel formats: 16-bit 5-5-5 (blue bits 0-4, green 5-9, red 10-14) with bit 15 = transparent;
// 32-bit B, G, R, T in memory order, where T = 255 - alpha (0 opaque, 255 fully transparent).
// Every routine takes the top-left pixel of its rectangle and walks down by adding the signed pitch.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace DxDraw {
class DxSurface;
}

// The blit parameter block: eight words (the mask image is pointer-sized).
struct BltParams {
  uint32_t mode = 0;       // bits 0-3 op, 4-5 row, 16 source transparency, 17 invert mask, 18 key/mask, 28 keep blend
  uint32_t level = 0;      // low 16 bits, signed: the operation's strength
  uint32_t colorKey = 0;   // 16-bit: the source colour skipped under bit 18
  uint32_t destKey = 0;    // 16-bit: the destination colour op 12 compares against
  uint32_t colorMask = 0;  // 32-bit: AND masks of B, G, R (bit 18); 16-bit: op 13's mask
  DxDraw::DxSurface* maskImage = nullptr;  // the rule image of ops 5 and 6 (not owned)
  uint32_t maskXor[2] = {0, 0};            // 16-bit: XOR words applied to the mask by ops 5 and 6
};

// Every blit operation, written once: X(Name, code, rows16, rows32, ...) where rowsN says what the
// N-bit routine tables hold for it: Rows (a routine of its own in each of the four rows), One (one
// routine standing in all four rows) or None (the depth lacks it). The operation codes, the routine
// declarations and definitions, the tables, the benchmarks and the tests are all made from it.
// Extra arguments are handed to X after the four fields.
#define VARN_BLT_OPERATIONS(X, ...)            \
  X(Copy, 0, Rows, Rows, __VA_ARGS__)          \
  X(Bright, 1, Rows, Rows, __VA_ARGS__)        \
  X(Blend, 2, Rows, Rows, __VA_ARGS__)         \
  X(Add, 3, Rows, Rows, __VA_ARGS__)           \
  X(Sub, 4, Rows, Rows, __VA_ARGS__)           \
  X(MaskFade, 5, Rows, Rows, __VA_ARGS__)      \
  X(MaskCut, 6, Rows, None, __VA_ARGS__)       \
  X(BrightOrAdd, 7, Rows, None, __VA_ARGS__)   \
  X(BrightOrSub, 8, Rows, None, __VA_ARGS__)   \
  X(CopyOrBlend, 9, Rows, None, __VA_ARGS__)   \
  X(Xor, 10, Rows, Rows, __VA_ARGS__)          \
  X(BlendOnLayer, 11, Rows, One, __VA_ARGS__)  \
  X(BlendDestKey, 12, Rows, None, __VA_ARGS__) \
  X(AndMask, 13, Rows, None, __VA_ARGS__)

// Operations (bits 0-3 of the mode): kBltCopy = 0 ... kBltAndMask = 13.
#define VARN_BLT_OP_CODE(name, code, ...) kBlt##name = code,
enum BltOp : uint32_t { VARN_BLT_OPERATIONS(VARN_BLT_OP_CODE) };
#undef VARN_BLT_OP_CODE

// What the list says of one operation.
struct BltOperation {
  BltOp op;
  const char* name;
  bool in16, in32;  // the depth's tables hold it
};
#define VARN_BLT_HAS_Rows true
#define VARN_BLT_HAS_One true
#define VARN_BLT_HAS_None false
#define VARN_BLT_OP_INFO(name, code, rows16, rows32, ...) \
  BltOperation{kBlt##name, #name, VARN_BLT_HAS_##rows16, VARN_BLT_HAS_##rows32},
inline constexpr BltOperation kBltOperations[] = {VARN_BLT_OPERATIONS(VARN_BLT_OP_INFO)};
#undef VARN_BLT_OP_INFO
#undef VARN_BLT_HAS_Rows
#undef VARN_BLT_HAS_One
#undef VARN_BLT_HAS_None

// The operation of a code, or null for a code no depth has.
constexpr const BltOperation* FindBltOperation(uint32_t op) {
  for (const BltOperation& o : kBltOperations)
    if (o.op == op) return &o;
  return nullptr;
}
// The name of an operation ("Copy", "Blend", ...), or "" for a code no depth has.
constexpr const char* BltOperationName(uint32_t op) {
  const BltOperation* o = FindBltOperation(op);
  return o ? o->name : "";
}
// The codes of the operations a depth (16 or 32) has, in order.
std::vector<uint32_t> BltOperationsOf(int depth);

// Mode flags.
inline constexpr uint32_t kBltSrcAlpha = 0x10000;      // use the source's transparency
inline constexpr uint32_t kBltInvertMask = 0x20000;    // 16-bit: invert the mask (the surface turns it into words 6, 7)
inline constexpr uint32_t kBltKeyOrMask = 0x40000;     // 16-bit: colour key; 32-bit: channel masks of word 4
inline constexpr uint32_t kBltKeepBlend = 0x10000000;  // 32-bit: op 2 at levels 0 and 256 stays a blend

// Mode word from an operation, a row (destination-transparency rule, 0-3) and flags.
constexpr uint32_t BltMode(uint32_t op, uint32_t row, uint32_t flags = 0) {
  return (op & 15) | ((row & 3) << 4) | flags;
}

// A blit routine: height rows of width pixels of dst, src and (ops 5, 6) mask, top row first.
// width >= 1 (even and >= 2 for a 32-bit MMX routine), height >= 1; params is only read.
// Every routine clamps the level to its operation's range on entry, and ops 5 and 6 read a null
// mask as all zeros, so no call indexes a lookup table out of bounds or reads through null.
using BltFunc = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const BltParams* params,
                         ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height);

// The routine tables, indexed by the mode's low byte (row * 16 + op). Null = no such operation.
inline constexpr int kBltTableSize = 64;
extern const std::array<BltFunc, kBltTableSize> g_BltTable32;
extern const std::array<BltFunc, kBltTableSize> g_BltTable32Mmx;
extern const std::array<BltFunc, kBltTableSize> g_BltTable16;
extern const std::array<BltFunc, kBltTableSize> g_BltTable16Mmx;
// The scalar reference of the MMX forms (the formulas one pixel at a time); the MMX tables hold
// vector routines that give the same bits, or these where no vector unit is available.
extern const std::array<BltFunc, kBltTableSize> g_BltTable32MmxRef;
extern const std::array<BltFunc, kBltTableSize> g_BltTable16MmxRef;

// The entry of a table for a mode; a low byte beyond the table (bits 6-7 set) is a null entry.
inline BltFunc LookupBlt(const std::array<BltFunc, kBltTableSize>& table, uint32_t mode) {
  const uint32_t index = mode & 0xFF;
  return index < static_cast<uint32_t>(kBltTableSize) ? table[index] : nullptr;
}

// Process-wide switches: written at start-up, read by every surface call.
extern int g_HasMmx;  // 1 when the processor has MMX (DxDraw::DetectCpu)
extern int g_UseMmx;  // 1 when the MMX tables and fills are used

// 1 when the processor offers the MMX form (always on x86-64; elsewhere the scalar reference stands in).
int CpuHasMmx();

namespace DxDraw {
// g_HasMmx = g_UseMmx = CpuHasMmx(), and the MMX form's vector version chosen by the processor.
// Called once by the graphics start-up before any surface exists.
void DetectCpu();
// With g_HasMmx set, g_UseMmx = flag; otherwise nothing.
void EnableMMX(int flag);
// Fills g_BlendTable, g_AddTable, g_SubTable and g_SpreadTable (once, before the first 16-bit blit).
void BuildBlendTables();

// The routines a blit runs: the plain form, or the MMX form in one of its vector versions (the
// 16-bit MMX form has one version, which every MMX version uses). DetectCpu picks the widest the
// processor has.
enum class BlitVersion { kPlain, kSse2, kAvx2, kAvx512 };
inline constexpr BlitVersion kBlitVersions[] = {BlitVersion::kPlain, BlitVersion::kSse2, BlitVersion::kAvx2,
                                                BlitVersion::kAvx512};
// The version the next blit runs: kPlain while g_UseMmx is 0.
BlitVersion GetBlitVersion();
// For tests and benchmarks: every later blit runs the given version (kPlain turns the MMX form off,
// fills included). False, with nothing changed, when the processor lacks it. DetectCpu goes back to
// the processor's choice.
bool SetBlitVersion(BlitVersion version);
bool BlitVersionAvailable(BlitVersion version);
// "plain", "sse2", "avx2", "avx512": the names the benchmarks' VARN_BLIT_VERSION takes.
const char* BlitVersionName(BlitVersion version);
bool ParseBlitVersion(std::string_view name, BlitVersion& version);
}  // namespace DxDraw

// Direct entry points. height >= 1; width may be 0 except for the MMX fills (even, >= 2 for Fill32Mmx).
void Fill32C(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height);
void Fill32Mmx(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height);
void OrAlpha32C(uint8_t* dst, int width, ptrdiff_t pitch, uint8_t byte, int height);  // T |= byte
void Fill16C(uint8_t* dst, int width, ptrdiff_t pitch, uint16_t value, int height);
void Fill16Mmx(uint8_t* dst, int width, ptrdiff_t pitch, uint16_t value, int height);
void SetTransparent16C(uint8_t* dst, int width, ptrdiff_t pitch, int height);  // |= 0x8000
void SetTransparent16Mmx(uint8_t* dst, int width, ptrdiff_t pitch, int height);
void SetOpaque16C(uint8_t* dst, int width, ptrdiff_t pitch, int height);  // &= 0x7FFF
void SetOpaque16Mmx(uint8_t* dst, int width, ptrdiff_t pitch, int height);

// ---- What the surfaces apply around a routine ----

// The private copy of the caller's block, prepared for the 32-bit routines: word 4 gets 0xFF000000
// (and becomes 0xFFFFFFFF without bit 18), bit 17 is cleared. Null gives mode 0.
BltParams PrepareBltParams32(const BltParams* caller);
// The same for the 16-bit routines: word 4 gets 0x8000, words 6 and 7 become all ones when bit 17
// was set and 0 otherwise, then bit 17 is cleared.
BltParams PrepareBltParams16(const BltParams* caller);
// Operations 5 and 6 read a mask image.
constexpr bool BltUsesMask(uint32_t mode) {
  return (mode & 15) == kBltMaskFade || (mode & 15) == kBltMaskCut;
}

enum class BltResult {
  kNoRoutine,  // the operation does not exist at this depth: nothing drawn, the Blt returns 0
  kSkipped,    // nothing to draw (blend at level 0, or an empty rectangle): returns 1, marks nothing
  kDrawn,      // the rectangle was processed: mark it updated, return 1
};
// Runs a prepared 32-bit call: the blend shortcut (op 2 in row 0 without bit 28: level 0 draws
// nothing, 256 copies), then with g_UseMmx the MMX routine for the even part of each row and the
// plain routine for an odd last column, else the plain routine for the whole width.
BltResult CallBlt32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, BltParams& params,
                    ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height);
// Runs a prepared 16-bit call through the MMX or the plain table, whole width.
BltResult CallBlt16(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width, const BltParams& params,
                    ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height);
// Fills with the MMX split of the 32-bit side, or the 16-bit form chosen by g_UseMmx.
void CallFill32(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height);
void CallFill16(uint8_t* dst, int width, ptrdiff_t pitch, uint16_t value, int height);
void CallSetTransparent16(uint8_t* dst, int width, ptrdiff_t pitch, int height);
void CallSetOpaque16(uint8_t* dst, int width, ptrdiff_t pitch, int height);
