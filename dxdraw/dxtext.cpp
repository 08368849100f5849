// Antialiased text: 4x4 coverage from the glyph source's work image, blending that keeps alpha
// right, and the layout of characters with wrap, scroll, shadow, outline and bold.
#include "dxdraw/dxtext.h"

#include <algorithm>
#include <cstring>

#include "dxdraw/surface.h"
#include "lib/wstring.h"
#include "platform/assert.h"

namespace DxDraw {

namespace {

constexpr uint8_t kInk = 15;  // the work image's text colour 0x0F0F0F
constexpr int32_t kMaxFontHeight = 1024;

uint8_t Channel(uint32_t color, int shift) {
  return static_cast<uint8_t>((color >> shift) & 0xFF);
}

// dst B, G, R, T blended with colour col at coverage c (1..255).
void BlendPixel(uint8_t* p, const uint8_t col[3], uint32_t c, bool aware) {
  const uint32_t s = p[3];
  const uint32_t a = aware ? std::min<uint32_t>(s + c, 255) : c;
  for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>((p[k] * (255 - a) + a * col[k]) / 255);
  const uint32_t alpha = 255 - s;
  const uint32_t na = (alpha * (255 - c) + 255 * c) / 255;
  p[3] = static_cast<uint8_t>(255 - na);
}

}  // namespace

FontDC::FontDC() {
  CopyWideTruncated(m_LogFont.faceName, 32, u"ＭＳ 明朝");
}

FontDC::~FontDC() {
  if (m_nBeginCount != 0) platform::ReportAssertion("m_nBeginCount==0", "dxdraw/dxdraw", 920);
}

uint32_t FontDC::Release() {
  if (m_RefCount == 0) return 0;
  if (--m_RefCount == 0) {
    delete this;
    return 0;
  }
  return m_RefCount;
}

void FontDC::SetFace(const char16_t* face, int32_t height) {
  LogFont f;
  f.height = height;
  f.weight = 400;
  f.charset = 1;
  CopyWideTruncated(f.faceName, 32, face ? std::u16string_view(face) : std::u16string_view());
  SetFont(&f);
}

void FontDC::SetFont(const LogFont* font) {
  if (!font) return;
  m_CacheValid = false;
  m_pWork.reset();
  m_pFont.reset();
  m_pFont4.reset();
  m_LogFont = *font;
  const int32_t h = font->height;
  if (h <= 0 || h > kMaxFontHeight) return;
  platform::GlyphSource* source = platform::GetGlyphSource();
  if (source) {
    const std::u16string face(font->faceName, WideLength(font->faceName));
    m_pFont = source->OpenFace(face, h, font->weight);
    m_pFont4 = source->OpenFace(face, h * 4, font->weight);
  }
  auto work = std::make_unique<DxImage>(8);
  if (work->Create((h + h / 2) * 4, 4 * h)) m_pWork = std::move(work);
}

void FontDC::Begin(TextBeginState* state, DxSurface* target, bool antialiased) {
  if (!state) return;
  if (m_nBeginCount == 0) {
    state->antialiased = antialiased;
    state->target = target;
    if (m_pWork) m_pWork->GetDC();
    state->previous = state->selected;
    state->selected = antialiased ? m_pFont4.get() : m_pFont.get();
  }
  ++m_nBeginCount;
}

void FontDC::End(TextBeginState* state) {
  if (m_nBeginCount == 0) {
    platform::ReportAssertion("m_nBeginCount", "dxdraw/dxdraw", 1025);
    return;
  }
  if (--m_nBeginCount == 0 && state) {
    state->selected = state->previous;
    state->previous = nullptr;
    if (m_pWork) m_pWork->ReleaseDC();
  }
}

void FontDC::BuildCoverage(platform::GlyphFace* face, char32_t ch, bool aa, int32_t w, int32_t h) {
  DxImage& work = *m_pWork;
  const int32_t ww = work.GetWidth(), wh = work.GetAbsHeight();
  // Coverage exists only where the cell lies over the work image; beyond it the cell is empty.
  const int32_t cw = std::min(w, aa ? (ww + 3) / 4 : ww), chh = std::min(h, aa ? (wh + 3) / 4 : wh);
  if (m_CacheValid && m_CacheFace == face && m_CacheChar == ch && m_CacheAA == aa && m_CacheW == cw && m_CacheH == chh)
    return;
  const ptrdiff_t pitch = work.GetPitch();
  uint8_t* base = work.GetPixelAddress(0, 0);
  for (int32_t j = 0; j < wh; ++j) std::memset(base + j * pitch, 0, static_cast<size_t>(ww));
  if (face) face->Render(ch, base, ww, wh, pitch, kInk);
  m_Coverage.assign(static_cast<size_t>(cw) * chh, 0);
  for (int32_t j = 0; j < chh; ++j) {
    uint8_t* out = m_Coverage.data() + static_cast<size_t>(j) * cw;
    if (aa) {
      // The block is read only where it lies inside the work image.
      const int32_t y1 = std::min(4 * j + 4, wh);
      for (int32_t by = 4 * j; by < y1; ++by) {
        const uint8_t* row = base + by * pitch;
        for (int32_t i = 0; i < cw; ++i) {
          const int32_t x0 = 4 * i, x1 = std::min(x0 + 4, ww);
          uint32_t c = out[i];
          for (int32_t bx = x0; bx < x1; ++bx) c += row[bx];
          out[i] = static_cast<uint8_t>(std::min<uint32_t>(c, 255));
        }
      }
    } else {
      const uint8_t* row = base + j * pitch;
      for (int32_t i = 0; i < cw; ++i) out[i] = static_cast<uint8_t>(std::min<uint32_t>(row[i] * 16u, 255));
    }
  }
  m_CacheValid = true;
  m_CacheFace = face;
  m_CacheChar = ch;
  m_CacheAA = aa;
  m_CacheW = cw;
  m_CacheH = chh;
}

platform::GlyphFace* FontDC::SelectedFace(const TextBeginState* state) const {
  // Begin selected exactly this one; asking again rather than keeping the pointer stays right
  // when SetFont has replaced the faces since.
  const bool aa = state ? state->antialiased : false;
  return aa ? m_pFont4.get() : m_pFont.get();
}

platform::Rect FontDC::DrawGlyph(TextBeginState* state, DxSurface32* surface, char32_t ch, int32_t x, int32_t y,
                                 uint32_t color, int32_t w, int32_t h) {
  if (!surface || !surface->GetBits() || !m_pWork || w <= 0 || h <= 0) return platform::Rect();
  const platform::Rect cell{x, y, x + w, y + h};
  const platform::Rect r = IntersectRect(cell, surface->Bounds());
  if (r.IsEmpty()) return r;
  const bool aa = state ? state->antialiased : false;
  platform::GlyphFace* face = SelectedFace(state);
  // The same character in the same face gives the same work image: shadow, outline and body
  // passes render it once.
  BuildCoverage(face, ch, aa, w, h);
  const uint8_t col[3] = {Channel(color, 16), Channel(color, 8), Channel(color, 0)};
  const int32_t right = std::min(r.right, x + m_CacheW), bottom = std::min(r.bottom, y + m_CacheH);
  for (int32_t dy = r.top; dy < bottom; ++dy) {
    const uint8_t* cov = m_Coverage.data() + static_cast<size_t>(dy - y) * m_CacheW + (r.left - x);
    uint8_t* p = surface->GetPixelAddress(r.left, dy);
    for (int32_t dx = r.left; dx < right; ++dx, p += 4, ++cov)
      if (*cov) BlendPixel(p, col, *cov, aa);
  }
  return r;
}

void TextContext::Reset() {
  *this = TextContext();
  m_TextColor = 0xFFFFFF;
  m_ShadowColor = 0;
  m_OutlineColor = 0;
}

void TextContext::BeginDC(DxSurface* surface) {
  if (m_BeginCount == 0 && m_pFont) m_pFont->Begin(&m_Begin, surface, (m_Style & TEXT_ANTIALIAS) != 0);
  ++m_BeginCount;
}

void TextContext::EndDC() {
  if (m_BeginCount == 0) {
    platform::ReportAssertion("m_BeginCount", "dxdraw/dxsurface", 518);
    return;
  }
  if (--m_BeginCount == 0 && m_pFont) m_pFont->End(&m_Begin);
}

void TextContext::GetCharExtent(CharSize* size, platform::GlyphFace* face, char32_t character) {
  if (!size) return;
  if (!face && m_BeginCount == 0) platform::ReportAssertion("hdc!=NULL || m_BeginCount!=0", "dxdraw/dxsurface", 528);
  if (!face && m_pFont) face = m_pFont->SelectedFace(&m_Begin);
  const int32_t h = m_pFont ? m_pFont->GetLogFont().height : 0;
  size->cy = h;
  if (!(m_Style & TEXT_PROPORTIONAL)) {
    const bool half = character < 0x100 || (character >= 0xFF61 && character <= 0xFF9F);
    size->cx = half ? h / 2 : h;
  } else {
    const int32_t adv = face ? face->Advance(character) : 0;
    size->cx = (m_Style & TEXT_ANTIALIAS) ? adv / 4 : adv;
  }
}

int32_t TextContext::GetTextWidth(platform::GlyphFace* face, const char16_t* text, int32_t length) {
  int32_t width = 0;
  if (!text) return 0;
  for (int32_t i = 0; i < length; ++i) {
    char32_t ch = text[i];
    if (ch >= 0xD800 && ch <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ch = 0x10000 + ((ch - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    CharSize s;
    GetCharExtent(&s, face, ch);
    width += s.cx + m_SpacingX;
  }
  return width;
}

namespace {

// One glyph with its own begin/end, its cell added to the surface's update rectangle.
void Glyph(DxSurface32* surface, TextContext* c, char32_t ch, int32_t x, int32_t y, uint32_t color, int32_t w,
           int32_t h) {
  if (!c->m_pFont) {
    platform::ReportAssertion("pData->pFont", "dxdraw/dxsurface", 335);
    return;
  }
  c->BeginDC(surface);
  const platform::Rect r = c->m_pFont->DrawGlyph(&c->m_Begin, surface, ch, x, y, color, w, h);
  if (!r.IsEmpty()) surface->AddUpdateRect(&r);
  c->EndDC();
}

// Moves the pixels of area up by dy rows (inside the surface).
void ScrollUp(DxSurface32* surface, const platform::Rect& area, int32_t dy) {
  const platform::Rect a = IntersectRect(area, surface->Bounds());
  if (a.IsEmpty() || dy <= 0) return;
  const size_t bytes = static_cast<size_t>(a.Width()) * 4;
  for (int32_t y = a.top; y + dy < a.bottom; ++y)
    std::memmove(surface->GetPixelAddress(a.left, y), surface->GetPixelAddress(a.left, y + dy), bytes);
}

}  // namespace

uint32_t PutCharText(DxSurface32* surface, TextContext* c, char32_t ch) {
  if (!surface || !c) return 0;
  if (c->m_pCallback && c->m_pCallback(c, surface, TEXT_EV_BEFORE, ch) == 1) return 0;
  if (!c->m_pFont) {
    platform::ReportAssertion("pData->pFont", "dxdraw/dxsurface", 544);
    return 0;
  }
  c->BeginDC(surface);
  CharSize cs;
  c->GetCharExtent(&cs, nullptr, ch);
  const int32_t w = cs.cx, h = cs.cy;
  const int32_t lineStep = h + c->m_SpacingY;
  const platform::Rect& area = c->m_Area;
  if (c->m_CursorX + w + c->m_SpacingX > area.Width()) {
    c->m_CursorY += lineStep;
    c->m_CursorX = 0;
    if (c->m_pCallback) c->m_pCallback(c, surface, TEXT_EV_WRAP, ch);
  }
  if (c->m_CursorY >= area.Height()) {
    const uint32_t keep = c->m_pCallback ? c->m_pCallback(c, surface, TEXT_EV_SCROLL, ch) : 0;
    if (!keep) ScrollUp(surface, area, lineStep);
    c->m_CursorY -= lineStep;
    const platform::Rect strip{area.left, std::max(area.bottom - lineStep, area.top), area.right, area.bottom};
    surface->Fill(&strip, 0, 0);
    surface->AddUpdateRect(&area);
  }
  const int32_t x = area.left + c->m_CursorX, y = area.top + c->m_CursorY;
  if (ch == 10) {
    c->m_CursorX = 0;
    c->m_CursorY += h;
    if (c->m_pCallback) c->m_pCallback(c, surface, TEXT_EV_NEWLINE, ch);
  } else {
    const uint32_t st = c->m_Style;
    const bool bold = st & TEXT_BOLD, shadow = st & TEXT_SHADOW, outline = st & (TEXT_OUTLINE | TEXT_OUTLINE_ONLY);
    if (shadow) {
      const uint32_t col = c->m_ShadowColor;
      Glyph(surface, c, ch, x + 1, y + 1, col, w, h);
      if (outline) {
        for (int32_t j = 0; j < 3; ++j)
          for (int32_t i = 0; i < 3; ++i) Glyph(surface, c, ch, x + i, y + j, col, w, h);
        if (bold)
          for (int32_t j = 0; j < 3; ++j) Glyph(surface, c, ch, x + 3, y + j, col, w, h);
      } else if (bold) {
        Glyph(surface, c, ch, x + 2, y + 1, col, w, h);
      }
    }
    if (outline) {
      const uint32_t col = c->m_OutlineColor;
      for (int32_t j = -1; j <= 1; ++j)
        for (int32_t i = -1; i <= 1; ++i)
          if (i || j) Glyph(surface, c, ch, x + i, y + j, col, w, h);
      if (bold)
        for (int32_t j = -1; j <= 1; ++j) Glyph(surface, c, ch, x + 2, y + j, col, w, h);
    }
    if (!(st & TEXT_OUTLINE_ONLY)) {
      Glyph(surface, c, ch, x, y, c->m_TextColor, w, h);
      if (bold) Glyph(surface, c, ch, x + 1, y, c->m_TextColor, w, h);
    }
    c->m_CursorX += w;
    const int32_t uw = w + (bold ? 1 : 0) + (shadow ? 1 : 0), uh = h + (shadow ? 1 : 0);
    platform::Rect u =
        outline ? platform::Rect{x - 1, y - 1, x - 1 + uw + 2, y - 1 + uh + 2} : platform::Rect{x, y, x + uw, y + uh};
    surface->AddUpdateRect(&u);
    if (c->m_pCallback) c->m_pCallback(c, surface, TEXT_EV_DRAWN, ch);
  }
  c->EndDC();
  return 0;
}

uint32_t DxSurface32::PutChar(TextContext* context, char32_t character) {
  return PutCharText(this, context, character);
}

}  // namespace DxDraw
