// The sample's texts: UTF-8 sources turned into the Shift-JIS the game's readers take.
#include <string_view>

#include "lib/sjis.h"
#include "platform/utf.h"
#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {
namespace {

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const uint8_t b = static_cast<uint8_t>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    uint32_t cp = n == 1 ? b : b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
      const uint8_t c = static_cast<uint8_t>(s[i + k]);
      if ((c >> 6) != 2) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

}  // namespace

bool ConvertTextToSjis(const std::vector<uint8_t>& utf8, std::vector<uint8_t>& out, std::string& error) {
  std::string_view text(reinterpret_cast<const char*>(utf8.data()), utf8.size());
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark is not text
  out.clear();
  int line = 1;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view piece = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
    text.remove_prefix(piece.size());
    if (!IsUtf8(piece)) {
      error = "line " + std::to_string(line) + ": not UTF-8";
      return false;
    }
    const std::u16string wide = platform::Utf8ToWide(piece);
    if (!IsSjisRepresentable(wide)) {
      error = "line " + std::to_string(line) + ": a character that Shift-JIS cannot hold";
      return false;
    }
    const std::string sjis = WideToSjis(wide);
    out.insert(out.end(), sjis.begin(), sjis.end());
    ++line;
  }
  return true;
}

}  // namespace samplebuild
