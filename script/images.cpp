// Pictures by name: the extension order, the decoders and their error texts.
#include "script/images.h"

#include <cwctype>
#include <string>

#include "archive/archive.h"
#include "dxdraw/image.h"
#include "dxdraw/surface.h"
#include "lib/error.h"
#include "lib/sjis.h"
#include "script/scenario.h"
#include "script/scriptfile.h"
#include "textscript/filehist.h"

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

int ShowCgImage(const char16_t* name) {
  ThrowException(kSource, __LINE__, 0, 0, u"CG-MODE: the viewer cannot show '%s' yet.", name ? name : u"");
}
