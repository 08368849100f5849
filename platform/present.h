// Presentation: copies a rectangle of the engine's back image to the window, then flushes.
#pragma once

#include <cstdint>

#include "platform/geometry.h"

namespace platform {

// A view of 32-bit pixels (B, G, R, top byte ignored), rows top-down, pitch in bytes.
struct ImageView {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t pitch = 0;
};

class Presenter {
 public:
  virtual ~Presenter() = default;
  // Copies rect of back to the same place of the window's picture (a bit-block copy).
  // The rectangle is clipped to both images.
  virtual void Present(const ImageView& back, const Rect& rect) = 0;
  // Makes what was presented visible.
  virtual void Flush() = 0;
};

}  // namespace platform
