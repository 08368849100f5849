// LZSS with a 4096-byte ring, 12-bit positions and lengths of 3 to 18 bytes: decoder and encoder.
#include "archive/lzss.h"

#include <cstring>

#include "archive/archive.h"

using namespace pux;

size_t DecodeLzss(uint8_t* dest, size_t destSize, const uint8_t* source, size_t sourceSize, bool* overflow) {
  // Each decode has its own, fully cleared ring: no stream can see what another one left,
  // and decodes on different threads cannot disturb each other.
  uint8_t ring[kLzssRingSize];
  std::memset(ring, 0, sizeof ring);
  size_t r = kLzssStart;
  unsigned flags = 0;
  size_t in = 0;
  size_t out = 0;
  bool over = false;
  for (;;) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      if (in >= sourceSize) break;
      flags = source[in++] | 0xFF00u;
    }
    if (flags & 1) {
      if (in >= sourceSize) break;
      const uint8_t c = source[in++];
      if (out >= destSize) {
        over = true;
        break;
      }
      dest[out++] = c;
      ring[r] = c;
      r = (r + 1) & (kLzssRingSize - 1);
    } else {
      if (sourceSize - in < 2) break;  // a reference cut short by the end is dropped
      const unsigned b0 = source[in];
      const unsigned b1 = source[in + 1];
      in += 2;
      const size_t p = b0 | ((b1 & 0xF0u) << 4);
      const size_t n = (b1 & 0x0Fu) + kLzssMinMatch;
      if (n > destSize - out) {
        over = true;
        break;
      }
      // Byte by byte: the copy may read what it has just written (a repeating pattern).
      for (size_t k = 0; k < n; ++k) {
        const uint8_t c = ring[(p + k) & (kLzssRingSize - 1)];
        dest[out++] = c;
        ring[r] = c;
        r = (r + 1) & (kLzssRingSize - 1);
      }
    }
  }
  if (overflow) *overflow = over;
  return out;
}

namespace pux {

std::vector<uint8_t> EncodeLzss(const uint8_t* data, size_t size) {
  // Greedy matching through hash chains over the last 4096 bytes of input. A reference names
  // the ring slot where the earlier byte was written: (4078 + its offset) mod 4096.
  constexpr size_t kHashSize = 1 << 14;
  constexpr int kMaxChain = 96;
  constexpr int64_t kNone = -1;
  std::vector<int64_t> head(kHashSize, kNone);
  std::vector<int64_t> prev(kLzssRingSize, kNone);
  auto hash = [&](size_t i) {
    return ((static_cast<size_t>(data[i]) << 8) ^ (static_cast<size_t>(data[i + 1]) << 4) ^ data[i + 2]) *
                   2654435761u >>
               18 &
           (kHashSize - 1);
  };
  auto insert = [&](size_t i) {
    if (i + kLzssMinMatch > size) return;
    const size_t h = hash(i);
    prev[i & (kLzssRingSize - 1)] = head[h];
    head[h] = static_cast<int64_t>(i);
  };

  std::vector<uint8_t> out;
  out.reserve(size + size / 8 + 16);
  size_t i = 0;
  while (i < size) {
    const size_t flagAt = out.size();
    out.push_back(0);
    uint8_t flags = 0;
    for (int item = 0; item < 8 && i < size; ++item) {
      size_t bestLen = 0;
      size_t bestPos = 0;
      if (i + kLzssMinMatch <= size) {
        const size_t limit = std::min(kLzssMaxMatch, size - i);
        int64_t cand = head[hash(i)];
        for (int chain = 0; chain < kMaxChain && cand != kNone; ++chain) {
          const size_t c = static_cast<size_t>(cand);
          if (i - c > kLzssRingSize) break;  // older slots have been overwritten
          size_t len = 0;
          while (len < limit && data[c + len] == data[i + len]) ++len;
          if (len > bestLen) {
            bestLen = len;
            bestPos = c;
            if (len == limit) break;
          }
          const int64_t next = prev[c & (kLzssRingSize - 1)];
          if (next >= cand) break;  // the chain slot was reused by a newer position
          cand = next;
        }
      }
      if (bestLen >= kLzssMinMatch) {
        const size_t p = (kLzssStart + bestPos) & (kLzssRingSize - 1);
        out.push_back(static_cast<uint8_t>(p & 0xFF));
        out.push_back(static_cast<uint8_t>(((p >> 4) & 0xF0) | (bestLen - kLzssMinMatch)));
        for (size_t k = 0; k < bestLen; ++k) insert(i + k);
        i += bestLen;
      } else {
        flags |= static_cast<uint8_t>(1u << item);
        out.push_back(data[i]);
        insert(i);
        ++i;
      }
    }
    out[flagAt] = flags;
  }
  return out;
}

}  // namespace pux
