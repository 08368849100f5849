// The box glyph source of the headless backend: deterministic solid cells for tests.
#include "platform/glyphs.h"

namespace platform {

namespace {

bool HalfWidth(char32_t ch) {
  return ch < 0x100 || (ch >= 0xFF61 && ch <= 0xFF9F);
}
bool Blank(char32_t ch) {
  return ch <= 0x20 || ch == 0x3000 || (ch >= 0x7F && ch <= 0xA0);
}

class BoxFace : public GlyphFace {
 public:
  explicit BoxFace(int height) : m_Height(height) {}

  void Render(char32_t ch, uint8_t* pixels, int width, int height, ptrdiff_t pitch, uint8_t ink) override {
    if (!pixels || Blank(ch)) return;
    const int w = Advance(ch) < width ? Advance(ch) : width;
    const int h = m_Height < height ? m_Height : height;
    for (int y = 0; y < h; ++y) {
      uint8_t* row = pixels + y * pitch;
      for (int x = 0; x < w; ++x) row[x] = ink;
    }
  }
  int Advance(char32_t ch) override { return HalfWidth(ch) ? m_Height / 2 : m_Height; }
  int CellHeight() const override { return m_Height; }

 private:
  int m_Height;
};

class BoxGlyphSource : public GlyphSource {
 public:
  std::unique_ptr<GlyphFace> OpenFace(const std::u16string&, int height, int) override {
    if (height <= 0) return nullptr;
    return std::make_unique<BoxFace>(height);
  }
  std::vector<std::u16string> ListFonts() override { return {u"ＭＳ 明朝", u"ＭＳ ゴシック"}; }
};

}  // namespace

std::unique_ptr<GlyphSource> CreateBoxGlyphSource() {
  return std::make_unique<BoxGlyphSource>();
}

}  // namespace platform
