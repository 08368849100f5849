// Pictures by name: the extension order, the decoders and their error texts; backgrounds, character
// scenes and the CG viewer composed from them; the album record.
#include "script/images.h"

#include <cwctype>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/frame/framestep.h"
#include "archive/archive.h"
#include "dxdraw/image.h"
#include "dxdraw/sprite.h"
#include "dxdraw/surface.h"
#include "lib/error.h"
#include "lib/sjis.h"
#include "lib/wstring.h"
#include "platform/msgbox.h"
#include "script/layout.h"
#include "script/scenario.h"
#include "script/scene.h"
#include "textscript/filehist.h"
#include "textscript/inputbits.h"
#include "textscript/statement.h"

IArchive* g_ScriptArchive = nullptr;

namespace {

constexpr const char16_t* kSource = u"script/scr_gui";

[[noreturn]] void RaiseImageError(const char16_t* format, const std::u16string& name) {
  ThrowException(kSource, __LINE__, 0, 0, format, name.c_str());
}

bool MemberExists(IArchive* archive, const std::u16string& name) {
  return archive && archive->Exists(name);
}

// A 32-bit surface converted from a packed bitmap; null when the bitmap does not convert.
DxDraw::DxSurface* SurfaceFromDib(const DxDraw::PackedDib& dib) {
  if (dib.empty()) return nullptr;
  DxDraw::DxSurface* surface = DxDraw::CreateSurface(32);
  if (!surface->CopyFromDib(dib.bytes.data(), dib.bytes.size())) {
    surface->Release();
    return nullptr;
  }
  return surface;
}

using Decoder = DxDraw::PackedDib (*)(const uint8_t*, size_t);

// The member read whole and decoded; the decode error names the image without its extension.
DxDraw::DxSurface* DecodeMember(IArchive* archive, const std::u16string& member, const std::u16string& name,
                                Decoder decode, const char16_t* errorFormat) {
  uint32_t size = 0;
  ArchiveBuffer data(static_cast<uint8_t*>(ReadArchiveFile(archive, member, nullptr, &size)));
  DxDraw::DxSurface* surface = data && size ? SurfaceFromDib(decode(data.get(), size)) : nullptr;
  if (!surface) RaiseImageError(errorFormat, name);
  return surface;
}

}  // namespace

DxDraw::DxSurface* LoadScriptImage(IArchive* archive, const char16_t* name, bool allowMissing, bool record) {
  const std::u16string base = name ? name : u"";
  struct Kind {
    const char16_t* extension;
    Decoder decode;  // null: the surface loader's own reading
    const char16_t* errorFormat;
  };
  static const Kind kKinds[] = {
      {u".jpg", DxDraw::LoadJpegToDib, u"Script Error: JPEG decode error '%s'."},
      {u".tif", DxDraw::LoadTiffToDib, u"Script Error: TIFF decode error '%s'."},
      {u".png", nullptr, nullptr},
      {u".bmp", DxDraw::LoadBmpToDib, u"Script Error: BMP decode error '%s'."},
  };
  for (const Kind& kind : kKinds) {
    const std::u16string member = base + kind.extension;
    if (!MemberExists(archive, member)) continue;
    if (record) TextScript::RecordImageHistory(member);
    if (!kind.decode) return DxDraw::LoadSurfaceArchive_Dx(archive, member.c_str());
    return DecodeMember(archive, member, base, kind.decode, kind.errorFormat);
  }
  if (allowMissing) return nullptr;
  RaiseImageError(u"Script Error: file not found '%s'.", base);
}

namespace {

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(wint_t(a[i])) != std::towlower(wint_t(b[i]))) return false;
  }
  return true;
}

}  // namespace

bool IsInAlbum(const char16_t* base) {
  if (!g_AlbumNames || !base) return false;
  for (const std::string& entry : *g_AlbumNames) {
    if (EqualsNoCase(SjisToWide(entry), base)) return true;
  }
  return false;
}

void RecordAlbumName(const char16_t* name) {
  if (!g_AlbumNames || !name) return;
  const std::u16string base = std::u16string(name).substr(0, 3);
  if (!IsInAlbum(base.c_str())) g_AlbumNames->push_back(WideToSjis(base));
}

namespace {

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};
using SurfaceHolder = std::unique_ptr<DxDraw::DxSurface, SurfaceRelease>;

struct ViewRelease {
  void operator()(ssView* v) const {
    if (v) v->Release();
  }
};

// Copies the image onto target with its left edge at x, keeping target where the image is
// transparent; a missing image is named in a box and passed over.
void ComposeImage(DxDraw::DxSurface* target, const char16_t* label, const std::u16string& image, int32_t x) {
  SurfaceHolder picture(LoadScriptImage(g_ScriptArchive, image.c_str(), true, true));
  if (!picture) {
    platform::ShowMessageBox(FormatWide(u"%s:画像ファイル %s がありません。", label, image.c_str()), u"エラー",
                             platform::MsgButtons::Ok);
    return;
  }
  BltParams params;
  params.mode = kBltSrcAlpha;
  const platform::Rect whole = picture->Bounds();
  target->Blt(x, 0, picture.get(), &whole, nullptr, &params);
}

// The base image and the overlays of a background-scheme name, in that order.
void ComposeBackground(DxDraw::DxSurface* target, const char16_t* label, std::u16string_view name) {
  constexpr size_t kBaseLength = 3;
  if (name.size() != kBaseLength + 4 && name.size() != kBaseLength + 6) return;
  const size_t positions = name.size() - kBaseLength;
  const std::u16string empty = std::u16string(name.substr(0, kBaseLength)) + std::u16string(positions, u'0');
  ComposeImage(target, label, empty, 0);
  for (size_t p = kBaseLength; p < name.size(); ++p) {
    if (name[p] == u'0') continue;
    std::u16string overlay = empty;
    overlay[p] = name[p];
    ComposeImage(target, label, overlay, 0);
  }
}

// The column of a character's letter: the first entry for the letter (upper-cased) or for any.
int32_t CharacterColumn(const std::vector<CHARPOS>& table, char16_t letter) {
  const char16_t upper = static_cast<char16_t>(std::towupper(wint_t(letter)));
  for (const CHARPOS& entry : table)
    if (entry.letter == upper || entry.letter == u'*') return entry.x;
  return 0;
}

}  // namespace

void DrawBackground(const char16_t* name) {
  if (!g_BackgroundSurface || !name) return;
  ComposeBackground(g_BackgroundSurface, u"GRP", name);
}

void DrawCharacters(const char16_t* name, int32_t kind) {
  if (!g_BackgroundSurface || !name) return;
  const std::u16string_view scene(name);
  if (scene.size() < 7) return;
  const bool chr = kind == TextScript::STMT_CHR;
  const char16_t* label = chr ? u"CHR" : u"CHL";
  const std::u16string letter(1, scene[0]);
  const std::u16string place(scene.substr(1, 2)), figure(scene.substr(3, 2)), face(scene.substr(5, 2));
  if (place != u"00") ComposeImage(g_BackgroundSurface, label, u"H" + place + u"0000", 0);
  const int32_t x = CharacterColumn(chr ? g_ChrPositions : g_ChlPositions, scene[0]);
  if (figure != u"00") ComposeImage(g_BackgroundSurface, label, letter + u"00" + figure + u"00", x);
  if (face != u"00") ComposeImage(g_BackgroundSurface, label, letter + u"0000" + face, x);
}

int ShowCgImage(const char16_t* name) {
  if (!g_Frame.screen)
    ThrowException(kSource, __LINE__, 0, 0, u"CG-MODE: no screen to show '%s' on", name ? name : u"");
  SurfaceHolder image(DxDraw::CreateSurface(32));
  if (!image->Create(kSceneWidth, kSceneHeight))
    ThrowException(kSource, __LINE__, 0, 0, u"CG-MODE: cannot create a %dx%d image", kSceneWidth, kSceneHeight);
  image->Fill(nullptr, 0x000000, 255);
  ComposeBackground(image.get(), u"CG-MODE", name ? name : u"");

  // Declared after the image, so the sprite leaves the screen before its image goes.
  std::unique_ptr<DxDraw::DxSprite, ViewRelease> sprite(new DxDraw::DxSprite(image.get(), nullptr, 0));
  g_Frame.screen->AddChild(sprite.get());
  WaitFrame();
  for (;;) {
    if (g_Input.pressed & INPUT_LBUTTON) return 1;
    if (g_Input.pressed & INPUT_RBUTTON) return 0;
    WaitFrame();
  }
}
