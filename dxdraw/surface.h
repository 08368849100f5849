// Surfaces: reference-counted images with a clip and an update rectangle, drawn through the pixel
// routine tables (16-bit 5-5-5 with bit 15 = transparent; 32-bit B, G, R, T with T = 255 - alpha).
#pragma once

#include <cstdint>
#include <vector>

#include "dxdraw/blit.h"
#include "dxdraw/image.h"
#include "platform/geometry.h"

struct IArchive;

namespace DxDraw {

struct TextContext;

// Which part of a source a sprite or an animation frame shows, and where it is anchored.
struct FrameRecord {
  int16_t width = 0;
  int16_t height = 0;
  int16_t anchorX = 0;
  int16_t anchorY = 0;
  platform::Rect source;
  uint32_t extra = 0;
};

// Screen points and texture points of the textured shapes.
struct Point16 {
  int16_t x = 0;
  int16_t y = 0;
};

platform::Rect IntersectRect(const platform::Rect& a, const platform::Rect& b);
platform::Rect UnionRect(const platform::Rect& a, const platform::Rect& b);

class DxSurface : public DxImage {
 public:
  explicit DxSurface(uint32_t bits) : DxImage(bits) {}

  bool Create(int32_t width, int32_t height) override;

  virtual uint32_t AddRef() { return ++m_RefCount; }
  // Drops one reference; destroys the surface at 0. A count already at 0 stays 0.
  virtual uint32_t Release();
  // 0: itself with one more reference; 1: a new surface of the same size, pixels not copied;
  // 2: a new surface holding a copy of rect (or of the whole surface). Others: null.
  virtual DxSurface* Clone(int mode, const platform::Rect* rect);
  virtual int BltFrame(int x, int y, DxSurface* source, const FrameRecord* frame, const platform::Rect* clip,
                       const BltParams* params);
  virtual int Blt(int x, int y, DxSurface* source, const platform::Rect* sourceRect, const platform::Rect* clip,
                  const BltParams* params) = 0;
  virtual int DrawQuad(const Point16 points[4], DxSurface* texture, const Point16 texturePoints[4],
                       const platform::Rect* clip, const BltParams* params);
  virtual int DrawTriangle(const Point16 points[3], DxSurface* texture, const Point16 texturePoints[3],
                           const platform::Rect* clip, const BltParams* params);
  virtual void StretchBlt(const platform::Rect* destination, DxSurface* source, const platform::Rect* sourceRect) {
    (void)destination;
    (void)source;
    (void)sourceRect;
  }
  virtual void FillArea(int x, int y, int width, int height, uint32_t color, uint32_t alpha);
  // Fills rect (clipped to the clip rectangle), or the whole surface. alpha: 0 = transparent;
  // on 32 bits the stored T is 255 - alpha, on 16 bits any non-zero alpha is opaque (bit 15 clear).
  virtual void Fill(const platform::Rect* rect, uint32_t color, uint32_t alpha) = 0;
  // Sets the transparency and keeps the colours; value as Fill's alpha.
  virtual void SetAlpha(const platform::Rect* rect, uint32_t value) = 0;
  virtual uint32_t PutChar(TextContext* context, char32_t character) {
    (void)context;
    (void)character;
    return 0;
  }

  // Null: the whole surface; else the union with rect, kept inside the clip rectangle.
  void AddUpdateRect(const platform::Rect* rect);
  const platform::Rect& GetUpdateRect() const { return m_UpdateRect; }
  void ClearUpdateRect() { m_UpdateRect = platform::Rect(); }
  const platform::Rect& GetClipRect() const { return m_ClipRect; }
  // The clip rectangle, kept inside the surface.
  void SetClipRect(const platform::Rect& rect);
  uint32_t GetRefCount() const { return m_RefCount; }
  // The whole surface (0, 0, width, height).
  platform::Rect Bounds() const { return platform::Rect{0, 0, GetWidth(), GetAbsHeight()}; }

 protected:
  ~DxSurface() override = default;
  // Clips a blit: the destination to the clip argument and this surface's clip, the source
  // rectangle to the source; returns false when nothing is left. On return d is the destination
  // area and (sx, sy) the source pixel of its top-left corner.
  bool ClipBlt(int x, int y, DxSurface* source, const platform::Rect& sourceRect, const platform::Rect* clip,
               platform::Rect& d, int& sx, int& sy);
  // The mask start for operations 5 and 6, or null when the mask image cannot cover the area.
  bool MaskFor(const BltParams& p, int sx, int sy, int w, int h, const uint8_t*& mask, ptrdiff_t& maskPitch);

  uint32_t m_RefCount = 1;
  platform::Rect m_ClipRect;
  platform::Rect m_UpdateRect;
};

class DxSurface16 : public DxSurface {
 public:
  DxSurface16() : DxSurface(16) {}
  int Blt(int x, int y, DxSurface* source, const platform::Rect* sourceRect, const platform::Rect* clip,
          const BltParams* params) override;
  void Fill(const platform::Rect* rect, uint32_t color, uint32_t alpha) override;
  void SetAlpha(const platform::Rect* rect, uint32_t value) override;

 protected:
  ~DxSurface16() override = default;
};

class DxSurface32 : public DxSurface {
 public:
  DxSurface32() : DxSurface(32) {}
  int Blt(int x, int y, DxSurface* source, const platform::Rect* sourceRect, const platform::Rect* clip,
          const BltParams* params) override;
  void StretchBlt(const platform::Rect* destination, DxSurface* source, const platform::Rect* sourceRect) override;
  void Fill(const platform::Rect* rect, uint32_t color, uint32_t alpha) override;
  void SetAlpha(const platform::Rect* rect, uint32_t value) override;
  uint32_t PutChar(TextContext* context, char32_t character) override;

 protected:
  ~DxSurface32() override = default;
};

// A plain device-independent bitmap for dialog thumbnails: information block, grey-free palette
// (zeroed), rows padded to 4 bytes.
class DibSection {
 public:
  DibSection() = default;
  DibSection(const DibSection&) = delete;
  DibSection& operator=(const DibSection&) = delete;
  virtual ~DibSection() = default;

  // Palette entries 2^bits below 16 bits; height as given (positive = bottom-up). False, with
  // everything cleared, when the size is not acceptable.
  bool Create(int32_t width, int32_t height, uint32_t bits);

  const std::vector<uint8_t>& GetInfo() const { return m_Info; }  // 40-byte header + palette
  uint32_t GetPitch() const { return m_Pitch; }
  uint8_t* GetBits() { return m_Bits.empty() ? nullptr : m_Bits.data(); }
  uint32_t GetImageSize() const { return static_cast<uint32_t>(m_Bits.size()); }
  uint8_t* GetPalette() { return m_PaletteEntries ? m_Info.data() + kDibHeaderSize : nullptr; }
  uint32_t GetPaletteEntries() const { return m_PaletteEntries; }

 private:
  std::vector<uint8_t> m_Info;
  uint32_t m_Pitch = 0;
  std::vector<uint8_t> m_Bits;
  uint32_t m_PaletteEntries = 0;
};

// 16 or 32: a new empty surface with one reference; other depths: null.
DxSurface* CreateSurface(uint32_t bits);

// A new 32-bit surface holding the picture of the member (or disk file); throws
// "LoadSurfaceArchive_Dx: file not found '%s'.\n" when it cannot be loaded.
DxSurface* LoadSurfaceArchive_Dx(IArchive* archive, const char16_t* name);
// The error LoadSurfaceArchive_Dx raises for a member it could not load.
[[noreturn]] void ThrowSurfaceNotLoaded(const char16_t* name);
// What LoadSurfaceArchive_Dx makes of a member already read: a new 32-bit surface (one
// reference, the caller's), or null when the bytes do not load.
DxSurface* LoadSurfaceMemory_Dx(const uint8_t* data, size_t size);

// The graphics library's error box: a printf-style wide message, an OK button.
void ShowErrorBox(void* window, const char16_t* caption, const char16_t* format, ...);

}  // namespace DxDraw
