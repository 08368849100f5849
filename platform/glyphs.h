// Glyphs and the font list: renders one character into an 8-bit work image at a cell height, and
// lists the fixed-pitch Japanese fonts. The engine does coverage, blending and effects itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/service.h"

namespace platform {

// One face at one cell height (the height of a line: ascent plus descent).
class GlyphFace {
 public:
  virtual ~GlyphFace() = default;
  // Draws ch with its cell's top-left corner at (0, 0) into 8-bit pixels (row y at
  // pixels + y * pitch; the pitch may be negative), writing ink where the glyph covers a pixel
  // and leaving every other pixel alone. Nothing is written outside width x height.
  virtual void Render(char32_t ch, uint8_t* pixels, int width, int height, ptrdiff_t pitch, uint8_t ink) = 0;
  // The horizontal advance of ch in pixels.
  virtual int Advance(char32_t ch) = 0;
  virtual int CellHeight() const = 0;
};

class GlyphSource {
 public:
  virtual ~GlyphSource() = default;
  // A face by name (aliases allowed) at a cell height; weight 700 and above is bold.
  // Null when no font can serve it or the height is not positive.
  virtual std::unique_ptr<GlyphFace> OpenFace(const std::u16string& face, int height, int weight) = 0;
  // The fixed-pitch Japanese fonts by family name.
  virtual std::vector<std::u16string> ListFonts() = 0;
};

namespace detail {
inline ServiceSlot<GlyphSource>& GlyphSourceSlot() {
  static ServiceSlot<GlyphSource> slot("glyph source", nullptr);
  return slot;
}
}  // namespace detail

// The glyph slot (the null rule of every slot is in platform/service.h). It has no default: text
// drawn without glyphs would silently vanish, so GetGlyphSource raises MissingServiceError while
// no source is installed, and it never returns null. SetGlyphSource installs the backend's source
// (not owned; null empties the slot) and returns the previous one.
inline GlyphSource* SetGlyphSource(GlyphSource* source) {
  return detail::GlyphSourceSlot().Set(source);
}
inline GlyphSource* GetGlyphSource() {
  return detail::GlyphSourceSlot().Get();
}

// Tests: every visible character is a solid box filling its cell (half the height wide below
// U+0100 and for half-width katakana, the height wide otherwise); spaces and controls are empty.
std::unique_ptr<GlyphSource> CreateBoxGlyphSource();
// The desktop: FreeType over the fonts fontconfig finds (":lang=ja", spacing mono or dual);
// "ＭＳ 明朝" is IPAMincho and "ＭＳ ゴシック" IPAGothic. Null when fontconfig is unavailable.
std::unique_ptr<GlyphSource> CreateFreeTypeGlyphSource();

}  // namespace platform
