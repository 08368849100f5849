// Shift-JIS script text to UTF-16 through a table filled once from the code page converter.
#include "textscript/sjistext.h"

#include <cstdint>
#include <memory>

#include "lib/sjis.h"

namespace TextScript {

namespace {

constexpr char16_t kNotConvertible = 0;
constexpr char16_t kReplacement = u'\u30FB';  // what the converter gives for a bad byte

// For every double-byte pair (lead, trail) and every single byte, the one UTF-16 unit the
// converter gives for it, or 0 when it gives anything else (a bad pair, a pair outside the
// basic plane): such text goes to the converter whole.
struct ConversionTable {
  std::unique_ptr<char16_t[]> pairs = std::make_unique<char16_t[]>(65536);
  char16_t singles[256] = {};

  ConversionTable() {
    for (int b = 0; b < 256; ++b) {
      if (IsSjisLeadByte(static_cast<uint8_t>(b))) continue;
      const char one[1] = {static_cast<char>(b)};
      const std::u16string w = SjisToWide(std::string_view(one, 1));
      if (w.size() == 1 && w[0] != kReplacement) singles[b] = w[0];
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsSjisLeadByte(static_cast<uint8_t>(lead))) continue;
      for (int trail = 0; trail < 256; ++trail) {
        const char two[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        const std::u16string w = SjisToWide(std::string_view(two, 2));
        const bool real = w.size() == 1 && (w[0] != kReplacement || (lead == 0x81 && trail == 0x45));
        pairs[lead << 8 | trail] = real ? w[0] : kNotConvertible;
      }
    }
  }
};

const ConversionTable& Table() {
  static const ConversionTable table;
  return table;
}

}  // namespace

std::u16string ScriptTextToWide(std::string_view sjis) {
  const ConversionTable& t = Table();
  std::u16string out;
  out.resize(sjis.size());
  size_t n = 0;
  const auto* p = reinterpret_cast<const uint8_t*>(sjis.data());
  const size_t size = sjis.size();
  for (size_t i = 0; i < size;) {
    const uint8_t b = p[i];
    char16_t c;
    if (b < 0x80) {
      c = b;
      ++i;
    } else if (IsSjisLeadByte(b)) {
      if (i + 1 >= size) return SjisToWide(sjis);
      c = t.pairs[b << 8 | p[i + 1]];
      i += 2;
    } else {
      c = t.singles[b];
      ++i;
    }
    if (c == kNotConvertible && b != 0) return SjisToWide(sjis);
    out[n++] = c;
  }
  out.resize(n);
  return out;
}

}  // namespace TextScript
