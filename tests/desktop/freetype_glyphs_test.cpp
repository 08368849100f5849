// Tests of the FreeType glyph source: a glyph's descender stays inside its cell at every size.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/glyphs.h"
#include "platform/utf.h"

TEST(FreeTypeGlyphs, DescendersReachTheCellsBottomRowsAndNoFurther) {
  auto source = platform::CreateFreeTypeGlyphSource();
  if (!source) GTEST_SKIP() << "fontconfig could not be initialised";
  const auto fonts = source->ListFonts();
  for (const char16_t* face : {u"ＭＳ ゴシック", u"ＭＳ 明朝"}) {
    if (std::find(fonts.begin(), fonts.end(), face) == fonts.end()) {
      ADD_FAILURE() << "fontconfig does not find " << platform::WideToUtf8(face) << " (the IPA fonts)";
      continue;
    }
    // The message sizes, and four times them for the antialiased work image.
    for (int height : {12, 14, 16, 18, 20, 22, 24, 26, 28, 32, 64, 96}) {
      auto glyphs = source->OpenFace(face, height, 400);
      ASSERT_NE(glyphs, nullptr);
      for (char32_t ch : {U'g', U'j', U'y', U'p'}) {
        // Drawn into room below the cell as well: ink there would be cut off in the cell.
        const int width = height, rows = height * 2;
        std::vector<uint8_t> pixels(size_t(width) * size_t(rows), 0);
        glyphs->Render(ch, pixels.data(), width, rows, width, 15);
        int lowest = -1;
        for (int y = 0; y < rows; ++y)
          for (int x = 0; x < width; ++x)
            if (pixels[size_t(y) * size_t(width) + size_t(x)]) lowest = y;
        const std::string what = platform::WideToUtf8(face) + " at " + std::to_string(height) + ", '" + char(ch) + "'";
        EXPECT_LT(lowest, height) << what << ": the descender's last row lies below the cell";
        EXPECT_GE(lowest, height - std::max(2, height / 8))
            << what << ": the descender does not reach the cell's bottom";
      }
    }
  }
}
