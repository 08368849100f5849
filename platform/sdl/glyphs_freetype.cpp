// The desktop glyph source: FreeType faces found with fontconfig, rendered in monochrome into the
// engine's 8-bit work image; and the list of fixed-pitch Japanese fonts.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <future>
#include <string>

#include "platform/glyphs.h"
#include "platform/utf.h"

namespace platform {

namespace {

// The Windows face names the game asks for, served by the IPA fonts.
std::string FamilyFor(const std::u16string& face) {
  if (face == u"ＭＳ 明朝") return "IPAMincho";
  if (face == u"ＭＳ ゴシック") return "IPAGothic";
  return WideToUtf8(face);
}

// The FreeType library and fontconfig's caches, kept alive by the source and by every face.
struct Library {
  FT_Library ft = nullptr;
  static inline int live = 0;
  static inline bool fontconfig = false;  // fontconfig was started (it is, at the first need)
  explicit Library(FT_Library l) : ft(l) { ++live; }
  ~Library() {
    FT_Done_FreeType(ft);
    if (--live == 0 && fontconfig) {
      FcFini();
      fontconfig = false;
    }
  }
};

class FreeTypeFace : public GlyphFace {
 public:
  FreeTypeFace(std::shared_ptr<Library> library, FT_Face face, int height, bool bold)
      : m_Library(std::move(library)), m_Face(face), m_Height(height), m_Bold(bold), m_Baseline(Baseline(face)) {}
  ~FreeTypeFace() override { FT_Done_Face(m_Face); }

  void Render(char32_t ch, uint8_t* pixels, int width, int height, ptrdiff_t pitch, uint8_t ink) override {
    if (!pixels || width <= 0 || height <= 0) return;
    if (FT_Load_Char(m_Face, ch, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) return;
    FT_GlyphSlot slot = m_Face->glyph;
    if (m_Bold) FT_GlyphSlot_Embolden(slot);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_MONO) return;
    const int ox = slot->bitmap_left, oy = m_Baseline - slot->bitmap_top;
    for (unsigned r = 0; r < bm.rows; ++r) {
      const int y = oy + static_cast<int>(r);
      if (y < 0 || y >= height) continue;
      const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
      uint8_t* dst = pixels + y * pitch;
      for (unsigned c = 0; c < bm.width; ++c) {
        const int x = ox + static_cast<int>(c);
        if (x < 0 || x >= width) continue;
        if (src[c >> 3] & (0x80 >> (c & 7))) dst[x] = ink;
      }
    }
  }

  int Advance(char32_t ch) override {
    if (FT_Load_Char(m_Face, ch, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) return 0;
    return static_cast<int>((m_Face->glyph->advance.x + 32) >> 6) + (m_Bold ? 1 : 0);
  }
  int CellHeight() const override { return m_Height; }

 private:
  // The cell is the face's ascent plus descent, scaled to the cell height. FreeType rounds the
  // scaled ascent up and the descent down, so the two together can be a row taller than the
  // cell, and a baseline at the rounded-up ascent pushes the descenders' last row out of the
  // cell; the ascent rounded to the nearest row keeps both ends inside.
  static int Baseline(FT_Face face) {
    if (!FT_IS_SCALABLE(face)) return static_cast<int>(face->size->metrics.ascender >> 6);
    return static_cast<int>((FT_MulFix(face->ascender, face->size->metrics.y_scale) + 32) >> 6);
  }

  std::shared_ptr<Library> m_Library;
  FT_Face m_Face;
  int m_Height;
  bool m_Bold;
  int m_Baseline;  // rows from the cell's top to the baseline
};

// What fontconfig's start gives: whether it started, and the font list read with it.
struct FontConfigStart {
  bool ok = false;
  std::vector<std::u16string> fonts;
};

std::vector<std::u16string> ReadFontList();

class FreeTypeGlyphSource : public GlyphSource {
 public:
  // Fontconfig reads its configuration and caches (tens of milliseconds) when the first face or
  // the font list is asked for, not while the game starts: the first frame does not wait for it.
  explicit FreeTypeGlyphSource(FT_Library library)
      : m_Library(std::make_shared<Library>(library)), m_Start(std::async(std::launch::deferred, [] {
          FontConfigStart start;
          start.ok = Library::fontconfig = FcInit();
          if (start.ok) start.fonts = ReadFontList();
          return start;
        })) {}
  ~FreeTypeGlyphSource() override = default;

  std::unique_ptr<GlyphFace> OpenFace(const std::u16string& face, int height, int weight) override {
    if (height <= 0 || !Started().ok) return nullptr;
    std::string file;
    int index = 0;
    if (!Match(FamilyFor(face), file, index)) return nullptr;
    FT_Face ft = nullptr;
    if (FT_New_Face(m_Library->ft, file.c_str(), index, &ft) != 0) return nullptr;
    FT_Size_RequestRec req{};
    req.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
    req.height = static_cast<FT_Long>(height) * 64;
    if (FT_Request_Size(ft, &req) != 0) {
      FT_Done_Face(ft);
      return nullptr;
    }
    return std::make_unique<FreeTypeFace>(m_Library, ft, height, weight >= 700);
  }

  std::vector<std::u16string> ListFonts() override { return Started().fonts; }

 private:
  const FontConfigStart& Started() {
    if (m_Start.valid()) m_Started = m_Start.get();
    return m_Started;
  }

  static bool Match(const std::string& family, std::string& file, int& index) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (ok) {
      file = reinterpret_cast<const char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    }
    FcPatternDestroy(match);
    return ok;
  }

  std::shared_ptr<Library> m_Library;
  std::future<FontConfigStart> m_Start;
  FontConfigStart m_Started;
};

// The installed fixed-pitch fonts that cover Japanese, with the Windows names the IPA fonts serve.
std::vector<std::u16string> ReadFontList() {
  std::vector<std::u16string> out;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(":lang=ja"));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_SPACING, nullptr);
  FcFontSet* set = pattern && objects ? FcFontList(nullptr, pattern, objects) : nullptr;
  bool mincho = false, gothic = false;
  for (int i = 0; set && i < set->nfont; ++i) {
    int spacing = FC_PROPORTIONAL;
    if (FcPatternGetInteger(set->fonts[i], FC_SPACING, 0, &spacing) != FcResultMatch) continue;
    if (spacing != FC_MONO && spacing != FC_DUAL) continue;
    FcChar8* family = nullptr;
    if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch || !family) continue;
    const std::string name(reinterpret_cast<const char*>(family));
    mincho |= name == "IPAMincho";
    gothic |= name == "IPAGothic";
    const std::u16string wide = Utf8ToWide(name);
    if (std::find(out.begin(), out.end(), wide) == out.end()) out.push_back(wide);
  }
  if (mincho) out.push_back(u"ＭＳ 明朝");
  if (gothic) out.push_back(u"ＭＳ ゴシック");
  if (set) FcFontSetDestroy(set);
  if (objects) FcObjectSetDestroy(objects);
  if (pattern) FcPatternDestroy(pattern);
  return out;
}

}  // namespace

std::unique_ptr<GlyphSource> CreateFreeTypeGlyphSource() {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return nullptr;
  return std::make_unique<FreeTypeGlyphSource>(library);
}

}  // namespace platform
