// Sprites: leaves that show a rectangle of a surface, repainting only what changed; and the
// sprite that is its own 32-bit surface, shared by reference count.
#pragma once

#include <cstdint>

#include "dxdraw/drawview.h"
#include "dxdraw/surface.h"

namespace DxDraw {

class DxSprite : public DxDrawView {
 public:
  // With a frame record it is copied; else with a source the frame is the whole source.
  DxSprite(DxSurface* source, const FrameRecord* frame, uint32_t mode);
  ~DxSprite() override;

  // Takes the new source (the frame is kept) and repaints; the same surface again changes nothing.
  void SetImage(DxSurface* surface);
  // With a record: copies it; without: the whole source. Either way marks the sprite changed.
  void SetSourceRect(const FrameRecord* frame);
  void GetSourceRect(FrameRecord* out) const;
  DxSurface* GetImage() const { return m_pSource; }

  void GetDrawRect(ssView* screen, platform::Rect* out) override;
  void Draw(DrawTarget* target) override;
  // Whole where a plain copy of a 32-bit source onto a 32-bit target lands on all of rect.
  DrawCover CoverOf(const platform::Rect& rect, const DxSurface* target) const override;
  uint32_t OnMessage(uint32_t msg, intptr_t a, intptr_t b) override;

  DxSurface* m_pSource = nullptr;
  FrameRecord m_Frame;
  uint32_t m_OwnsSource = 0;  // set by an owner that hands its reference to the sprite
  BltParams m_Params;

 protected:
  // Adds rect, or only the part of it whose source pixels changed when nothing else did.
  void AddDirtyPart(const platform::Rect& rect, DirtyRectList* list);
};

// A sprite whose source is its own 32-bit surface. Release counts references to the whole object
// and always takes it out of the tree.
class DxSurfaceSprite32 : public DxSprite, public DxSurface32 {
 public:
  DxSurfaceSprite32(int32_t width, int32_t height);

  uint32_t Release() override;
  uint32_t AddRef() override { return DxSurface32::AddRef(); }

 protected:
  ~DxSurfaceSprite32() override = default;
};

}  // namespace DxDraw
