// Surfaces: reference counts, clipping, blits through the routine tables, fills, alpha, stretch,
// clones, and loading a surface from an archive member.
#include "dxdraw/surface.h"

#include <algorithm>
#include <cstdarg>
#include <new>
#include <vector>

#include "archive/archive.h"
#include "lib/combase.h"
#include "lib/error.h"
#include "platform/files.h"
#include "platform/msgbox.h"

namespace DxDraw {

platform::Rect IntersectRect(const platform::Rect& a, const platform::Rect& b) {
  platform::Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
  if (r.IsEmpty()) return platform::Rect();
  return r;
}

platform::Rect UnionRect(const platform::Rect& a, const platform::Rect& b) {
  if (a.IsEmpty()) return b.IsEmpty() ? platform::Rect() : b;
  if (b.IsEmpty()) return a;
  return platform::Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                        std::max(a.bottom, b.bottom)};
}

bool DxSurface::Create(int32_t width, int32_t height) {
  m_ClipRect = platform::Rect{0, 0, width, height < 0 ? -height : height};
  m_UpdateRect = platform::Rect();
  return DxImage::Create(width, height);
}

uint32_t DxSurface::Release() {
  if (m_RefCount == 0) return 0;
  if (--m_RefCount == 0) {
    delete this;
    return 0;
  }
  return m_RefCount;
}

DxSurface* DxSurface::Clone(int mode, const platform::Rect* rect) {
  if (mode == 0) {
    AddRef();
    return this;
  }
  if (mode != 1 && mode != 2) return nullptr;
  DxSurface* s = CreateSurface(GetDepth());
  if (!s) return nullptr;
  if (mode == 1) {
    s->Create(GetWidth(), GetHeight());
    return s;
  }
  const platform::Rect r = rect ? *rect : Bounds();
  if (!s->Create(r.Width(), r.Height())) return s;
  s->Blt(0, 0, this, &r, nullptr, nullptr);
  return s;
}

int DxSurface::BltFrame(int x, int y, DxSurface* source, const FrameRecord* frame, const platform::Rect* clip,
                        const BltParams* params) {
  if (!frame) return Blt(x, y, source, nullptr, clip, params);
  return Blt(x - frame->anchorX, y - frame->anchorY, source, &frame->source, clip, params);
}

void DxSurface::FillArea(int x, int y, int width, int height, uint32_t color, uint32_t alpha) {
  const platform::Rect r{x, y, x + width, y + height};
  Fill(&r, color, alpha);
}

void DxSurface::AddUpdateRect(const platform::Rect* rect) {
  if (!rect) {
    m_UpdateRect = Bounds();
    return;
  }
  m_UpdateRect = IntersectRect(UnionRect(m_UpdateRect, *rect), m_ClipRect);
}

void DxSurface::SetClipRect(const platform::Rect& rect) {
  m_ClipRect = IntersectRect(rect, Bounds());
}

bool DxSurface::ClipBlt(int x, int y, DxSurface* source, const platform::Rect& sourceRect, const platform::Rect* clip,
                        platform::Rect& d, int& sx, int& sy) {
  // The source rectangle is kept inside the source's clip rectangle and the source itself.
  const platform::Rect s = IntersectRect(IntersectRect(sourceRect, source->GetClipRect()), source->Bounds());
  if (s.IsEmpty()) return false;
  const int64_t dx = int64_t{x} + (s.left - sourceRect.left), dy = int64_t{y} + (s.top - sourceRect.top);
  if (dx < INT32_MIN / 2 || dx > INT32_MAX / 2 || dy < INT32_MIN / 2 || dy > INT32_MAX / 2) return false;
  platform::Rect dest{static_cast<int32_t>(dx), static_cast<int32_t>(dy), static_cast<int32_t>(dx) + s.Width(),
                      static_cast<int32_t>(dy) + s.Height()};
  // A caller's clip is honoured only inside the surface's own clip.
  platform::Rect limit = IntersectRect(m_ClipRect, Bounds());
  if (clip) limit = IntersectRect(limit, *clip);
  d = IntersectRect(dest, limit);
  if (d.IsEmpty()) return false;
  sx = s.left + (d.left - dest.left);
  sy = s.top + (d.top - dest.top);
  return true;
}

bool DxSurface::MaskFor(const BltParams& p, int sx, int sy, int w, int h, const uint8_t*& mask, ptrdiff_t& maskPitch) {
  mask = nullptr;
  maskPitch = 0;
  if (!BltUsesMask(p.mode)) return true;
  DxSurface* m = p.maskImage;
  if (!m || m->GetDepth() != GetDepth() || !m->GetBits()) return false;
  if (sx < 0 || sy < 0 || sx + w > m->GetWidth() || sy + h > m->GetAbsHeight()) return false;
  mask = m->GetPixelAddress(sx, sy);
  maskPitch = m->GetPitch();
  return true;
}

// ---- 16 bits ----

int DxSurface16::Blt(int x, int y, DxSurface* source, const platform::Rect* sourceRect, const platform::Rect* clip,
                     const BltParams* params) {
  if (!source || !source->GetBits() || !GetBits()) return 0;
  if (source->GetDepth() != 16) return 0;
  const platform::Rect sr = sourceRect ? *sourceRect : source->Bounds();
  if (IntersectRect(sr, source->GetClipRect()).IsEmpty()) return 0;
  platform::Rect d;
  int sx, sy;
  if (!ClipBlt(x, y, source, sr, clip, d, sx, sy)) return 1;
  BltParams p = PrepareBltParams16(params);
  const uint8_t* mask;
  ptrdiff_t maskPitch;
  if (!MaskFor(p, sx, sy, d.Width(), d.Height(), mask, maskPitch)) return 0;
  const BltResult r = CallBlt16(GetPixelAddress(d.left, d.top), source->GetPixelAddress(sx, sy), mask, d.Width(), p,
                                GetPitch(), source->GetPitch(), maskPitch, d.Height());
  if (r == BltResult::kNoRoutine) return 0;
  if (r == BltResult::kDrawn) AddUpdateRect(&d);
  return 1;
}

void DxSurface16::Fill(const platform::Rect* rect, uint32_t color, uint32_t alpha) {
  if (!GetBits()) return;
  const auto value = static_cast<uint16_t>(alpha ? (color & 0x7FFF) : (color | 0x8000));
  const platform::Rect r = rect ? IntersectRect(*rect, IntersectRect(m_ClipRect, Bounds())) : Bounds();
  if (r.IsEmpty()) return;
  CallFill16(GetPixelAddress(r.left, r.top), r.Width(), GetPitch(), value, r.Height());
  AddUpdateRect(rect ? &r : nullptr);
}

void DxSurface16::SetAlpha(const platform::Rect* rect, uint32_t value) {
  if (!GetBits()) return;
  const platform::Rect r = rect ? IntersectRect(*rect, IntersectRect(m_ClipRect, Bounds())) : Bounds();
  if (r.IsEmpty()) return;
  if (value)
    CallSetOpaque16(GetPixelAddress(r.left, r.top), r.Width(), GetPitch(), r.Height());
  else
    CallSetTransparent16(GetPixelAddress(r.left, r.top), r.Width(), GetPitch(), r.Height());
  AddUpdateRect(rect ? &r : nullptr);
}

// ---- 32 bits ----

int DxSurface32::Blt(int x, int y, DxSurface* source, const platform::Rect* sourceRect, const platform::Rect* clip,
                     const BltParams* params) {
  if (!source || !source->GetBits() || !GetBits()) return 0;
  if (source->GetDepth() != 32) return 0;
  const platform::Rect sr = sourceRect ? *sourceRect : source->GetClipRect();
  if (IntersectRect(sr, source->GetClipRect()).IsEmpty()) return 0;
  platform::Rect d;
  int sx, sy;
  if (!ClipBlt(x, y, source, sr, clip, d, sx, sy)) return 1;
  BltParams p = PrepareBltParams32(params);
  const uint8_t* mask;
  ptrdiff_t maskPitch;
  if (!MaskFor(p, sx, sy, d.Width(), d.Height(), mask, maskPitch)) return 0;
  const BltResult r = CallBlt32(GetPixelAddress(d.left, d.top), source->GetPixelAddress(sx, sy), mask, d.Width(), p,
                                GetPitch(), source->GetPitch(), maskPitch, d.Height());
  if (r == BltResult::kNoRoutine) return 0;
  if (r == BltResult::kDrawn) AddUpdateRect(&d);
  return 1;
}

void DxSurface32::Fill(const platform::Rect* rect, uint32_t color, uint32_t alpha) {
  if (!GetBits()) return;
  const uint32_t value = ((255u - (alpha & 0xFF)) << 24) | (color & 0xFFFFFF);
  const platform::Rect r = rect ? IntersectRect(*rect, IntersectRect(m_ClipRect, Bounds())) : Bounds();
  if (r.IsEmpty()) return;
  CallFill32(GetPixelAddress(r.left, r.top), r.Width(), GetPitch(), value, r.Height());
  AddUpdateRect(rect ? &r : nullptr);
}

void DxSurface32::SetAlpha(const platform::Rect* rect, uint32_t value) {
  if (!GetBits()) return;
  const platform::Rect r = rect ? IntersectRect(*rect, IntersectRect(m_ClipRect, Bounds())) : Bounds();
  if (r.IsEmpty()) return;
  const auto t = static_cast<uint8_t>(255 - (value & 0xFF));
  for (int y = r.top; y < r.bottom; ++y) {
    uint8_t* p = GetPixelAddress(r.left, y);
    for (int x = 0; x < r.Width(); ++x) p[x * 4 + 3] = t;
  }
  AddUpdateRect(rect ? &r : nullptr);
}

namespace {

struct ReleaseSurface {
  void operator()(DxSurface* s) const {
    if (s) s->Release();
  }
};
using SurfaceHolder = std::unique_ptr<DxSurface, ReleaseSurface>;

// One line of n pixels (step bytes apart) resampled to m pixels: averages on reduction, nearest on
// enlargement; each of the four bytes separately.
void ResampleLine(const uint8_t* src, ptrdiff_t srcStep, int n, uint8_t* dst, ptrdiff_t dstStep, int m) {
  if (m <= n) {
    for (int i = 0; i < m; ++i) {
      const int64_t from = int64_t{i} * n / m, to = (int64_t{i} * n + n) / m;
      uint32_t sum[4] = {0, 0, 0, 0};
      for (int64_t k = from; k < to; ++k)
        for (int c = 0; c < 4; ++c) sum[c] += src[k * srcStep + c];
      const auto count = static_cast<uint32_t>(to - from);
      for (int c = 0; c < 4; ++c) dst[i * dstStep + c] = static_cast<uint8_t>(sum[c] / count);
    }
  } else {
    for (int i = 0; i < m; ++i) {
      const int64_t k = int64_t{i} * n / m;
      for (int c = 0; c < 4; ++c) dst[i * dstStep + c] = src[k * srcStep + c];
    }
  }
}

}  // namespace

void DxSurface32::StretchBlt(const platform::Rect* destination, DxSurface* source, const platform::Rect* sourceRect) {
  if (!destination || !source || source->GetDepth() != 32 || !source->GetBits()) return;
  if (destination->IsEmpty()) return;
  const platform::Rect sr = IntersectRect(sourceRect ? *sourceRect : source->Bounds(), source->Bounds());
  if (sr.IsEmpty()) return;
  const int dw = destination->Width(), dh = destination->Height();
  if (!DibSizeAcceptable(dw, dh, 32)) return;
  SurfaceHolder horizontal;
  if (sr.Width() != dw) {
    horizontal.reset(CreateSurface(32));
    if (!horizontal->Create(dw, sr.Height())) return;
    for (int y = 0; y < sr.Height(); ++y)
      ResampleLine(source->GetPixelAddress(sr.left, sr.top + y), 4, sr.Width(), horizontal->GetPixelAddress(0, y), 4,
                   dw);
  } else {
    horizontal.reset(source->Clone(2, &sr));
  }
  if (!horizontal || !horizontal->GetBits()) return;
  SurfaceHolder vertical;
  if (horizontal->GetAbsHeight() != dh) {
    vertical.reset(CreateSurface(32));
    if (!vertical->Create(dw, dh)) return;
    const int n = horizontal->GetAbsHeight();
    for (int x = 0; x < dw; ++x)
      ResampleLine(horizontal->GetPixelAddress(x, 0), horizontal->GetPitch(), n, vertical->GetPixelAddress(x, 0),
                   vertical->GetPitch(), dh);
  } else {
    vertical.reset(horizontal->Clone(0, nullptr));
  }
  Blt(destination->left, destination->top, vertical.get(), nullptr, nullptr, nullptr);
}

bool DibSection::Create(int32_t width, int32_t height, uint32_t bits) {
  m_Info.clear();
  m_Bits.clear();
  m_Pitch = 0;
  m_PaletteEntries = 0;
  const int64_t absH = height < 0 ? -int64_t{height} : height;
  if (bits == 0 || bits > 32 || !DibSizeAcceptable(width, absH, bits)) return false;
  try {
    m_PaletteEntries = bits < 16 ? (1u << bits) : 0;
    m_Info.assign(kDibHeaderSize + size_t{m_PaletteEntries} * 4, 0);
    m_Pitch = static_cast<uint32_t>(DibRowSize(width, bits));
    m_Bits.assign(size_t{m_Pitch} * static_cast<size_t>(absH), 0);
  } catch (const std::bad_alloc&) {
    m_Info.clear();
    m_Bits.clear();
    m_Pitch = 0;
    m_PaletteEntries = 0;
    return false;
  }
  DibHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = static_cast<uint16_t>(bits);
  WriteDibHeader(m_Info.data(), h);
  return true;
}

DxSurface* CreateSurface(uint32_t bits) {
  if (bits == 16) return new DxSurface16();
  if (bits == 32) return new DxSurface32();
  return nullptr;
}

void ThrowSurfaceNotLoaded(const char16_t* name) {
  ThrowException(u"dxdraw/dxdraw", 725, 0, 0, u"LoadSurfaceArchive_Dx: file not found '%s'.\n", name ? name : u"");
}

DxSurface* LoadSurfaceArchive_Dx(IArchive* archive, const char16_t* name) {
  DxSurface* s = CreateSurface(32);
  if (!s->Load(archive, name, 0)) {
    s->Release();
    ThrowSurfaceNotLoaded(name);
  }
  return s;
}

DxSurface* LoadSurfaceMemory_Dx(const uint8_t* data, size_t size) {
  DxSurface* s = CreateSurface(32);
  if (!s->LoadFromMemory(data, size)) {
    s->Release();
    return nullptr;
  }
  return s;
}

void ShowErrorBox(void* window, const char16_t* caption, const char16_t* format, ...) {
  (void)window;
  va_list args;
  va_start(args, format);
  std::u16string text = FormatWideV(format ? format : u"", args);
  va_end(args);
  if (text.size() > 1023) text.resize(1023);
  platform::ShowMessageBox(std::move(text), caption ? caption : u"", platform::MsgButtons::Ok);
}

int DxImage::Load(IArchive* archive, const char16_t* name, int) {
  if (!name) return 0;
  if (archive) {
    uint32_t size = 0;
    ArchiveBuffer data(static_cast<uint8_t*>(ReadArchiveFile(archive, name, nullptr, &size)));
    if (!data || size == 0) return 0;
    return LoadFromMemory(data.get(), size);
  }
  std::vector<uint8_t> bytes;
  if (!platform::ReadWholeFile(name, bytes) || bytes.empty()) return 0;
  return LoadFromMemory(bytes.data(), bytes.size());
}

}  // namespace DxDraw
