// Small helpers for the surface tests: surfaces made and read pixel by pixel.
#pragma once

#include <cstdint>
#include <cstring>

#include "dxdraw/surface.h"
#include "lib/combase.h"

namespace testutil {

using SurfaceRef = ComRef<DxDraw::DxSurface>;

inline SurfaceRef MakeSurface(uint32_t bits, int w, int h, uint32_t fill = 0) {
  SurfaceRef s(DxDraw::CreateSurface(bits));
  s->Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = s->GetPixelAddress(x, y);
      if (bits == 32)
        std::memcpy(p, &fill, 4);
      else {
        const auto v = static_cast<uint16_t>(fill);
        std::memcpy(p, &v, 2);
      }
    }
  s->ClearUpdateRect();
  return s;
}

inline uint32_t Px(DxDraw::DxSurface* s, int x, int y) {
  uint32_t v = 0;
  std::memcpy(&v, s->GetPixelAddress(x, y), s->GetDepth() / 8);
  return v;
}

inline void SetPx(DxDraw::DxSurface* s, int x, int y, uint32_t v) {
  std::memcpy(s->GetPixelAddress(x, y), &v, s->GetDepth() / 8);
}

}  // namespace testutil
