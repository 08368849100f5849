// Japanese text on the sample's pictures, drawn with the IPA fonts through the game's own
// FreeType glyph source ("ＭＳ 明朝" and "ＭＳ ゴシック" resolve to them).
#include <memory>
#include <vector>

#include "platform/glyphs.h"
#include "platform/utf.h"
#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {

bool DrawFontText(Canvas& canvas, std::u16string_view text, int x, int y, int height, bool mincho, Colour colour,
                  std::string& error) {
  static const std::unique_ptr<platform::GlyphSource> source = platform::CreateFreeTypeGlyphSource();
  const std::u16string face = mincho ? u"ＭＳ 明朝" : u"ＭＳ ゴシック";
  std::unique_ptr<platform::GlyphFace> glyphs = source ? source->OpenFace(face, height, 400) : nullptr;
  if (!glyphs) {
    error = "no font for '" + platform::WideToUtf8(face) + "' (the IPA fonts are not installed)";
    return false;
  }
  for (char16_t ch : text) {
    const int advance = glyphs->Advance(ch);
    if (advance <= 0) continue;
    std::vector<uint8_t> cell(size_t(advance) * size_t(height), 0);
    glyphs->Render(ch, cell.data(), advance, height, advance, 255);
    // The coverage as a shape: the canvas antialiases at distance 0.5 - coverage.
    const int left = x, top = y;
    const Shape shape = [&cell, advance, height, left, top](float px, float py) {
      const int cx = int(px) - left, cy = int(py) - top;
      if (cx < 0 || cy < 0 || cx >= advance || cy >= height) return 1.0f;
      return 0.5f - float(cell[size_t(cy) * size_t(advance) + size_t(cx)]) / 255.0f;
    };
    canvas.Fill(shape, colour, Box{left, top, left + advance, top + height});
    x += advance;
  }
  return true;
}

int FontTextWidth(std::u16string_view text, int height) {
  int width = 0;
  for (char16_t ch : text) width += (ch < 0x100 || (ch >= 0xFF61 && ch <= 0xFF9F)) ? height / 2 : height;
  return width;
}

}  // namespace samplebuild
