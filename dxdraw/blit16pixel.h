// The per-pixel rules of the 16-bit operations, shared by the plain form and the scalar reference of the MMX form.
#pragma once

#include "dxdraw/blitroutines.h"
#include "dxdraw/pixeltables.h"

namespace blitdetail {

// What a 16-bit routine reads of its parameter block, once per call.
struct Ctx16 {
  int level;            // clamped to the operation's range
  uint16_t key;         // word 2, 15 bits
  uint16_t destKey;     // word 3, 15 bits
  uint16_t andMask;     // word 4, bits 0-14
  uint16_t maskXor[4];  // lane k of a group of four: low/high half of word 6, low/high half of word 7
};

inline Ctx16 MakeCtx16(int op, const BltParams* p) {
  Ctx16 c;
  c.level = ClampedLevel(p, 0, kLevelMax16(op));
  c.key = static_cast<uint16_t>(p->colorKey & 0x7FFF);
  c.destKey = static_cast<uint16_t>(p->destKey & 0x7FFF);
  c.andMask = static_cast<uint16_t>(p->colorMask & 0x7FFF);
  c.maskXor[0] = static_cast<uint16_t>(p->maskXor[0]);
  c.maskXor[1] = static_cast<uint16_t>(p->maskXor[0] >> 16);
  c.maskXor[2] = static_cast<uint16_t>(p->maskXor[1]);
  c.maskXor[3] = static_cast<uint16_t>(p->maskXor[1] >> 16);
  return c;
}

// The skip rule of a call from the mode's third byte: 5 transparent or keyed, 4 keyed, 1 transparent,
// 0 never. Ops 7 and 8 honour only the key; op 9 has its own rule.
inline int SkipRule16(int op, uint32_t mode) {
  const uint32_t third = (mode >> 16) & 0xFF;
  if (op == kBltCopyOrBlend) return 0;
  if (op == kBltBrightOrAdd || op == kBltBrightOrSub) return third == 4 ? 4 : 0;
  return third == 5 || third == 4 || third == 1 ? static_cast<int>(third) : 0;
}

template <class F>
inline uint16_t PerChan(uint16_t s, uint16_t d, F f) {
  return static_cast<uint16_t>(f(s & 31, d & 31) | f((s >> 5) & 31, (d >> 5) & 31) << 5 |
                               f((s >> 10) & 31, (d >> 10) & 31) << 10);
}

// Three channel results of a 1024-entry table row at once, through the spread indices.
inline uint16_t Look(const uint8_t* row, uint16_t s, uint16_t d) {
  const uint32_t x = (g_SpreadTable[s] << 5) | g_SpreadTable[d];
  return static_cast<uint16_t>(row[x & 0x3FF] | row[(x >> 10) & 0x3FF] << 5 | row[(x >> 20) & 0x3FF] << 10);
}

// Channel operations on 15-bit colours; Tables picks lookups (plain) or lane arithmetic (MMX reference).
template <bool Tables>
inline uint16_t Blend15(uint16_t s, uint16_t d, int l) {
  if constexpr (Tables)
    return Look(g_BlendTable[l], s, d);
  else
    return PerChan(s, d, [l](int a, int b) { return (a * l + b * (32 - l)) >> 5; });
}
template <bool Tables>
inline uint16_t Add15(uint16_t s, uint16_t d, int l) {
  if constexpr (Tables)
    return Look(g_AddTable[l], s, d);
  else
    return PerChan(s, d, [l](int a, int b) {
      const int v = b * 2048 + a * 64 * l;
      return (v > 0xFFFF ? 0xFFFF : v) >> 11;
    });
}
template <bool Tables>
inline uint16_t Sub15(uint16_t s, uint16_t d, int l) {
  if constexpr (Tables)
    return Look(g_SubTable[l], s, d);
  else
    return PerChan(s, d, [l](int a, int b) {
      const int v = b * 2048 - a * 64 * l;
      return (v < 0 ? 0 : v) >> 11;
    });
}
template <bool Tables>
inline uint16_t Bright15(uint16_t s, int l) {
  if constexpr (Tables)
    return Look(g_AddTable[l], s, 0);
  else if (l <= 32)
    return PerChan(s, 0, [l](int a, int) { return (a * l) >> 5; });
  else
    return PerChan(s, 0, [l](int a, int) { return (a * (64 - l) + 31 * (l - 32)) >> 5; });
}

// One pixel: returns false when it is skipped (left unwritten), else the stored value in out.
// m is the mask pixel already XORed with its mask word (ops 5 and 6).
template <int Op, int Row, int Skip, bool Tables>
inline bool Pixel16(uint16_t s, uint16_t d, uint16_t m, const Ctx16& c, uint16_t& out) {
  const uint16_t sc = s & 0x7FFF, dc = d & 0x7FFF;
  const bool sTrans = (s & 0x8000) != 0;
  if constexpr (Skip == 5)
    if (sTrans || sc == c.key) return false;
  if constexpr (Skip == 4)
    if (sc == c.key) return false;
  if constexpr (Skip == 1)
    if (sTrans) return false;
  const int l = c.level;
  uint16_t colour;
  if constexpr (Op == kBltCopy) {
    colour = sc;
  } else if constexpr (Op == kBltBright) {
    colour = Bright15<Tables>(sc, l);
  } else if constexpr (Op == kBltBlend) {
    colour = Blend15<Tables>(sc, dc, l);
  } else if constexpr (Op == kBltAdd) {
    colour = Add15<Tables>(sc, dc, l);
  } else if constexpr (Op == kBltSub) {
    colour = Sub15<Tables>(sc, dc, l);
  } else if constexpr (Op == kBltMaskFade) {
    const int mv = m & 31;
    int w = (mv == 0 ? 0 : mv + 1) + l - 32;
    w = w < 0 ? 0 : w > 32 ? 32 : w;
    colour = Blend15<Tables>(sc, dc, w);
  } else if constexpr (Op == kBltMaskCut) {
    colour = Blend15<Tables>(sc, dc, (m & 31) < l ? 32 : 0);
  } else if constexpr (Op == kBltBrightOrAdd) {
    colour = sTrans ? Add15<Tables>(sc, dc, l) : Bright15<Tables>(sc, l);
  } else if constexpr (Op == kBltBrightOrSub) {
    colour = sTrans ? Sub15<Tables>(sc, dc, l) : Bright15<Tables>(sc, l);
  } else if constexpr (Op == kBltCopyOrBlend) {
    if (!sTrans && sc == c.key) return false;
    colour = sTrans ? Blend15<Tables>(sc, dc, l) : sc;
  } else if constexpr (Op == kBltXor) {
    colour = sc ^ dc;
  } else if constexpr (Op == kBltBlendOnLayer) {
    colour = (d & 0x8000) ? sc : Blend15<Tables>(sc, dc, l);
  } else if constexpr (Op == kBltBlendDestKey) {
    colour = dc == c.destKey ? Blend15<Tables>(sc, dc, l) : sc;
  } else {  // AndMask
    colour = sc & c.andMask;
  }
  uint16_t top;
  if constexpr (Row == 0)
    top = s & 0x8000;
  else if constexpr (Row == 1)
    top = 0;
  else if constexpr (Row == 2)
    top = 0x8000;
  else
    top = (~d) & 0x8000;
  out = static_cast<uint16_t>(colour | top);
  return true;
}

}  // namespace blitdetail
