// Antialiased text: a font at two sizes with its 8-bit work image (FontDC), and the context that
// says where, how and in which colours characters are laid out (TextContext).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dxdraw/image.h"
#include "platform/geometry.h"
#include "platform/glyphs.h"

namespace DxDraw {

class DxSurface;
class DxSurface32;

// The font description: height in pixels, weight, character set and face name.
struct LogFont {
  int32_t height = 16;
  int32_t width = 0;
  int32_t weight = 400;
  uint8_t charset = 1;
  char16_t faceName[32] = {};
};

// Colours are 0x00BBGGRR (red in the low byte).
enum : uint32_t {
  TEXT_BOLD = 1,
  TEXT_SHADOW = 2,
  TEXT_OUTLINE = 4,
  TEXT_OUTLINE_ONLY = 8,  // outline without the glyph body
  TEXT_PROPORTIONAL = 16,
  TEXT_ANTIALIAS = 0x8000,
};

// Callback events: before a character (1 = skip it), after one, wrapped, new line, about to scroll
// (non-zero = keep the pixels).
enum : uint32_t { TEXT_EV_BEFORE = 0, TEXT_EV_DRAWN = 1, TEXT_EV_WRAP = 2, TEXT_EV_NEWLINE = 3, TEXT_EV_SCROLL = 4 };

struct TextBeginState {
  bool antialiased = false;
  DxSurface* target = nullptr;
  platform::GlyphFace* selected = nullptr;  // the font drawing in the work image
  platform::GlyphFace* previous = nullptr;
};

struct CharSize {
  int32_t cx = 0;
  int32_t cy = 0;
};

// A font at its height and at four times it, plus the work image they render into. Shared by
// reference count.
class FontDC {
 public:
  FontDC();
  FontDC(const FontDC&) = delete;
  FontDC& operator=(const FontDC&) = delete;

  void SetFace(const char16_t* face, int32_t height);
  // A height of 0 or less is refused: the record is left without fonts.
  void SetFont(const LogFont* font);
  void Begin(TextBeginState* state, DxSurface* target, bool antialiased);
  void End(TextBeginState* state);
  uint32_t AddRef() { return ++m_RefCount; }
  uint32_t Release();

  // Draws one glyph into a 32-bit surface, its cell w x h at (x, y); returns the clipped cell.
  platform::Rect DrawGlyph(TextBeginState* state, DxSurface32* surface, char32_t ch, int32_t x, int32_t y,
                           uint32_t color, int32_t w, int32_t h);

  // The face a begun state draws with: the 4x face when it is antialiased, else the normal one
  // (SetFont inside a Begin replaces the faces Begin selected).
  platform::GlyphFace* SelectedFace(const TextBeginState* state) const;

  const LogFont& GetLogFont() const { return m_LogFont; }
  DxImage* GetWorkImage() const { return m_pWork.get(); }
  bool HasFonts() const { return m_pFont && m_pFont4; }
  uint32_t GetBeginCount() const { return m_nBeginCount; }

  LogFont m_LogFont;

 private:
  ~FontDC();

  // Renders ch into the work image and reduces it to the coverage of a w x h cell, unless the
  // last call did the same.
  void BuildCoverage(platform::GlyphFace* face, char32_t ch, bool aa, int32_t w, int32_t h);

  std::unique_ptr<DxImage> m_pWork;
  std::vector<uint8_t> m_Coverage;
  bool m_CacheValid = false;
  platform::GlyphFace* m_CacheFace = nullptr;
  char32_t m_CacheChar = 0;
  bool m_CacheAA = false;
  int32_t m_CacheW = 0, m_CacheH = 0;
  std::unique_ptr<platform::GlyphFace> m_pFont;
  std::unique_ptr<platform::GlyphFace> m_pFont4;
  uint32_t m_RefCount = 1;
  uint32_t m_nBeginCount = 0;
};

struct TextContext {
  using Callback = uint32_t (*)(TextContext* context, DxSurface* surface, uint32_t event, char32_t character);

  int32_t m_SpacingX = 0;
  int32_t m_SpacingY = 0;
  uint32_t m_BeginCount = 0;
  TextBeginState m_Begin;
  platform::Rect m_Area;
  int32_t m_CursorX = 0;
  int32_t m_CursorY = 0;
  uint32_t m_TextColor = 0xFFFFFF;
  uint32_t m_ShadowColor = 0;
  uint32_t m_OutlineColor = 0;
  uint32_t m_Style = 0;
  Callback m_pCallback = nullptr;
  FontDC* m_pFont = nullptr;  // not owned here: the context's owner holds the reference

  // Everything 0 but the text colour (white).
  void Reset();
  void BeginDC(DxSurface* surface);
  void EndDC();
  // The cell of a character: height = the font's height; width by the fixed rule, or the font's
  // advance with TEXT_PROPORTIONAL. face null = the one selected by BeginDC.
  void GetCharExtent(CharSize* size, platform::GlyphFace* face, char32_t character);
  // Widths plus the x spacing over the code points of text (surrogate pairs joined).
  int32_t GetTextWidth(platform::GlyphFace* face, const char16_t* text, int32_t length);
};

// Lays out one character at the cursor of a context (wrap, scroll, effects); used by
// DxSurface32::PutChar.
uint32_t PutCharText(DxSurface32* surface, TextContext* context, char32_t character);

}  // namespace DxDraw
