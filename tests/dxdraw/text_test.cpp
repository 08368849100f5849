// Antialiased text: cell widths, coverage and blending, layout with wrap and scroll, effects; and
// the FreeType glyph source with the real IPA Gothic.
#include <gtest/gtest.h>

#include <vector>

#include "dxdraw/dxtext.h"
#include "dxdraw/surface.h"
#include "platform/glyphs.h"
#include "surface_util.h"

using namespace testutil;
using namespace DxDraw;
using platform::Rect;

namespace {

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box = platform::CreateBoxGlyphSource();
    previous = platform::SetGlyphSource(box.get());
    font = new FontDC;
    font->SetFace(u"ＭＳ ゴシック", 16);
    ctx.Reset();
    ctx.m_pFont = font;
    ctx.m_Style = TEXT_ANTIALIAS;
  }
  void TearDown() override {
    font->Release();
    platform::SetGlyphSource(previous);
  }
  // A 32-bit surface filled with colour and alpha, and the text area over all of it.
  SurfaceRef Canvas(int w, int h, uint32_t color, uint32_t alpha) {
    SurfaceRef s = MakeSurface(32, w, h);
    s->Fill(nullptr, color, alpha);
    s->ClearUpdateRect();
    ctx.m_Area = Rect{0, 0, w, h};
    return s;
  }
  void Put(DxSurface* s, const char16_t* text) {
    for (; *text; ++text) s->PutChar(&ctx, *text);
  }

  std::unique_ptr<platform::GlyphSource> box;
  platform::GlyphSource* previous = nullptr;
  FontDC* font = nullptr;
  TextContext ctx;
};

TEST_F(TextTest, FixedCellWidths) {
  SurfaceRef s = Canvas(8, 8, 0, 0);
  ctx.BeginDC(s.Get());
  const struct {
    char32_t ch;
    int w;
  } cases[] = {{U'A', 8}, {U'あ', 16}, {0xFF71, 8}, {0xFF, 8}, {0x100, 16}};
  for (const auto& c : cases) {
    CharSize size;
    ctx.GetCharExtent(&size, nullptr, c.ch);
    EXPECT_EQ(size.cx, c.w) << std::hex << uint32_t(c.ch);
    EXPECT_EQ(size.cy, 16);
  }
  ctx.m_SpacingX = 2;
  EXPECT_EQ(ctx.GetTextWidth(nullptr, u"Aあ", 2), 28);
  ctx.EndDC();
}

TEST_F(TextTest, FullCoverageIs240AndTransparentPixelsTakeTheColour) {
  SurfaceRef black = Canvas(20, 20, 0, 255);
  ctx.m_TextColor = 0xFFFFFF;
  black->PutChar(&ctx, U'A');
  EXPECT_EQ(Px(black.Get(), 3, 3), 0x00F0F0F0u) << "one pass never reaches full opacity";
  EXPECT_EQ(Px(black.Get(), 8, 3), 0x00000000u) << "outside the 8-pixel cell";
  EXPECT_EQ(black->GetUpdateRect(), (Rect{0, 0, 8, 16}));

  SurfaceRef clear = Canvas(20, 20, 0, 0);
  ctx.m_CursorX = 0;
  ctx.m_TextColor = 0x563412;  // red 0x12, green 0x34, blue 0x56
  clear->PutChar(&ctx, U'A');
  EXPECT_EQ(Px(clear.Get(), 3, 3), 0x0F123456u) << "exact colour, coverage 240 as alpha";

  ctx.m_Style = 0;  // plain rule
  ctx.m_CursorX = 0;
  SurfaceRef plain = Canvas(20, 20, 0, 255);
  ctx.m_TextColor = 0xFFFFFF;
  plain->PutChar(&ctx, U'A');
  EXPECT_EQ(Px(plain.Get(), 3, 3), 0x00F0F0F0u);
}

TEST_F(TextTest, WrapAdvancesWithSpacingAndNewLineWithout) {
  SurfaceRef s = Canvas(20, 100, 0, 0);
  ctx.m_SpacingY = 2;
  Put(s.Get(), u"AA");
  EXPECT_EQ(ctx.m_CursorX, 16);
  Put(s.Get(), u"A");
  EXPECT_EQ(ctx.m_CursorY, 18) << "a wrap moves by height + spacing";
  EXPECT_EQ(ctx.m_CursorX, 8) << "the wrapped character starts at x = 0";
  EXPECT_EQ(Px(s.Get(), 0, 18) >> 24, 15u);
  Put(s.Get(), u"\n");
  EXPECT_EQ(ctx.m_CursorY, 34) << "a new line moves by the height alone";
  EXPECT_EQ(ctx.m_CursorX, 0);
}

TEST_F(TextTest, ScrollingFreesATransparentStripUnlessTheCallbackKeepsThePixels) {
  for (uint32_t keep : {0u, 1u}) {
    SCOPED_TRACE(keep);
    SurfaceRef s = Canvas(16, 32, 0, 0);
    static uint32_t answer;
    answer = keep;
    ctx.m_pCallback = [](TextContext*, DxSurface*, uint32_t ev, char32_t) -> uint32_t {
      return ev == TEXT_EV_SCROLL ? answer : 0;
    };
    ctx.m_CursorX = ctx.m_CursorY = 0;
    ctx.m_TextColor = 0x0000FF;  // red
    Put(s.Get(), u"A\n");
    ctx.m_TextColor = 0x00FF00;
    Put(s.Get(), u"A\n");
    EXPECT_EQ(ctx.m_CursorY, 32);
    ctx.m_TextColor = 0xFF0000;
    s->ClearUpdateRect();
    Put(s.Get(), u"A");
    EXPECT_EQ(ctx.m_CursorY, 16) << "the cursor moves up either way";
    const uint32_t top = Px(s.Get(), 2, 2) & 0xFFFFFF;
    EXPECT_EQ(top, keep ? 0xFF0000u : 0x00FF00u) << "the second line scrolled to the top";
    EXPECT_EQ(Px(s.Get(), 2, 20), 0x0F0000FFu) << "the new character in the freed strip";
    EXPECT_EQ(Px(s.Get(), 12, 20), 0xFF000000u) << "the rest of the strip is transparent";
    EXPECT_EQ(s->GetUpdateRect(), (Rect{0, 0, 16, 32}));
  }
}

TEST_F(TextTest, ScrollStripStaysInsideAShortArea) {
  SurfaceRef s = Canvas(20, 60, 0xFFFFFF, 255);
  ctx.m_Area = Rect{0, 20, 20, 30};  // shorter than one 16-pixel line
  Put(s.Get(), u"A\nA");
  EXPECT_EQ(Px(s.Get(), 0, 19), 0x00FFFFFFu) << "nothing above the area is touched";
  EXPECT_EQ(Px(s.Get(), 15, 25), 0xFF000000u) << "the area's strip is cleared";
  EXPECT_EQ(Px(s.Get(), 0, 30), 0x00FFFFFFu) << "nor below it";
}

TEST_F(TextTest, EffectsAndTheirUpdateRectangles) {
  SurfaceRef s = Canvas(40, 40, 0, 0);
  ctx.m_CursorX = 4;
  ctx.m_CursorY = 4;
  ctx.m_Style = TEXT_ANTIALIAS | TEXT_BOLD | TEXT_SHADOW;
  s->PutChar(&ctx, U'A');
  EXPECT_EQ(s->GetUpdateRect(), (Rect{4, 4, 14, 21}));
  EXPECT_EQ(ctx.m_CursorX, 12) << "effects do not widen the advance";

  SurfaceRef o = Canvas(40, 40, 0, 255);
  ctx.m_CursorX = 4;
  ctx.m_CursorY = 4;
  ctx.m_Style = TEXT_ANTIALIAS | TEXT_OUTLINE_ONLY;
  ctx.m_TextColor = 0xFFFFFF;
  ctx.m_OutlineColor = 0x0000FF;
  o->PutChar(&ctx, U'A');
  EXPECT_EQ(o->GetUpdateRect(), (Rect{3, 3, 13, 21}));
  const uint32_t inside = Px(o.Get(), 6, 8);
  EXPECT_EQ(inside & 0xFF, 0u) << "no blue: the body was not painted in the text colour";
  EXPECT_GT((inside >> 16) & 0xFF, 0u) << "the outline colour is there";
}

TEST_F(TextTest, RefusedHeightAndMissingFontDrawNothing) {
  SurfaceRef s = Canvas(20, 20, 0, 0);
  font->SetFace(u"ＭＳ ゴシック", 0);
  EXPECT_FALSE(font->HasFonts());
  EXPECT_EQ(font->GetWorkImage(), nullptr);
  s->PutChar(&ctx, U'A');
  EXPECT_TRUE(s->GetUpdateRect().IsEmpty() || Px(s.Get(), 1, 1) == 0xFF000000u);
  int reports = 0;
  platform::SetAssertHook([&](const platform::AssertionReport& r) {
    ++reports;
    EXPECT_STREQ(r.expression, "pData->pFont");
  });
  ctx.m_pFont = nullptr;
  s->PutChar(&ctx, U'A');
  platform::SetAssertHook({});
  ctx.m_pFont = font;
  EXPECT_EQ(reports, 1);
}

TEST_F(TextTest, BeginEndNestAndUnbalancedCallsAreReported) {
  SurfaceRef s = Canvas(8, 8, 0, 0);
  std::vector<std::string> reports;
  platform::SetAssertHook([&](const platform::AssertionReport& r) { reports.push_back(r.expression); });
  ctx.BeginDC(s.Get());
  ctx.BeginDC(s.Get());
  EXPECT_EQ(font->GetBeginCount(), 1u) << "only the outermost BeginDC begins the font";
  ctx.EndDC();
  EXPECT_EQ(font->GetBeginCount(), 1u);
  ctx.EndDC();
  EXPECT_EQ(font->GetBeginCount(), 0u);
  ctx.EndDC();
  font->End(&ctx.m_Begin);
  CharSize size;
  ctx.GetCharExtent(&size, nullptr, U'A');
  platform::SetAssertHook({});
  EXPECT_EQ(reports, (std::vector<std::string>{"m_BeginCount", "m_nBeginCount", "hdc!=NULL || m_BeginCount!=0"}));
}

TEST_F(TextTest, ChangingTheFontInsideABeginDrawsWithTheNewFaces) {
  SurfaceRef s = Canvas(40, 20, 0, 0);
  ctx.m_Style = TEXT_ANTIALIAS | TEXT_PROPORTIONAL;
  ctx.BeginDC(s.Get());
  font->SetFace(u"ＭＳ ゴシック", 12);  // the faces Begin selected are gone
  s->PutChar(&ctx, U'A');
  ctx.EndDC();
  EXPECT_EQ(ctx.m_CursorX, 6) << "the new 12-pixel face measured the character";
  EXPECT_EQ(Px(s.Get(), 1, 1), 0x0FFFFFFFu) << "and drew it";
  EXPECT_EQ(font->GetBeginCount(), 0u);
}

// A face whose advances far exceed its cell: the engine must keep to its work image.
class WideFace : public platform::GlyphFace {
 public:
  explicit WideFace(int h) : m_H(h) {}
  void Render(char32_t, uint8_t* p, int w, int h, ptrdiff_t pitch, uint8_t ink) override {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p[y * pitch + x] = ink;
  }
  int Advance(char32_t) override { return 4000; }
  int CellHeight() const override { return m_H; }

 private:
  int m_H;
};
class WideSource : public platform::GlyphSource {
 public:
  std::unique_ptr<platform::GlyphFace> OpenFace(const std::u16string&, int h, int) override {
    return std::make_unique<WideFace>(h);
  }
  std::vector<std::u16string> ListFonts() override { return {}; }
};

TEST_F(TextTest, CellsWiderThanTheWorkImageAreClamped) {
  WideSource wide;
  platform::SetGlyphSource(&wide);
  font->SetFace(u"x", 8);
  ctx.m_Style = TEXT_ANTIALIAS | TEXT_PROPORTIONAL;
  SurfaceRef s = Canvas(2000, 16, 0, 0);
  s->PutChar(&ctx, U'W');
  EXPECT_EQ(ctx.m_CursorX, 1000);
  EXPECT_EQ(Px(s.Get(), 1, 1), 0x0FFFFFFFu);
  EXPECT_EQ(Px(s.Get(), 500, 1), 0xFF000000u) << "beyond the work image there is no ink";
  platform::SetGlyphSource(box.get());
}

TEST(FreeTypeGlyphs, IpaGothicRendersJapanese) {
  auto source = platform::CreateFreeTypeGlyphSource();
  if (!source) GTEST_SKIP() << "fontconfig could not be initialised";
  const auto fonts = source->ListFonts();
  if (std::find(fonts.begin(), fonts.end(), u"IPAGothic") == fonts.end())
    GTEST_SKIP() << "fontconfig does not find IPA Gothic (fonts-ipafont-gothic)";
  EXPECT_NE(std::find(fonts.begin(), fonts.end(), u"ＭＳ ゴシック"), fonts.end());
  platform::GlyphSource* prev = platform::SetGlyphSource(source.get());
  auto* font = new FontDC;
  font->SetFace(u"ＭＳ ゴシック", 32);
  ASSERT_TRUE(font->HasFonts());
  TextContext ctx;
  ctx.Reset();
  ctx.m_pFont = font;
  ctx.m_Style = TEXT_ANTIALIAS;
  ctx.m_Area = Rect{0, 0, 64, 32};
  SurfaceRef s = MakeSurface(32, 64, 32);
  s->Fill(nullptr, 0, 0);
  s->PutChar(&ctx, U'あ');
  int inked = 0, partial = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      const uint32_t t = Px(s.Get(), x, y) >> 24;
      if (t != 255) {
        ++inked;
        EXPECT_LT(x, 32) << "ink stays inside the 32-pixel cell";
        if (t > 15) ++partial;
      }
    }
  EXPECT_GT(inked, 50);
  EXPECT_GT(partial, 0) << "antialiasing gives partial coverage at the edges";
  font->Release();
  platform::SetGlyphSource(prev);
}

}  // namespace
