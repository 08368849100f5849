// Textured triangles and convex quads: the straight edge used to step spans between two edges.
#pragma once

#include <cstdint>

namespace DxDraw {

struct EdgeLine {
  static constexpr uint32_t kVertical = 1, kHorizontal = 2;

  double slope = 0;         // dy / dx (unchanged for a vertical edge)
  double inverseSlope = 0;  // dx / dy (unchanged for a horizontal edge)
  uint32_t flags = 0;
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  void Reset() { *this = EdgeLine(); }
  void Set(int32_t ax, int32_t ay, int32_t bx, int32_t by);
  // x on row y, truncated toward zero; x0 when the slope is 0 or was never computed.
  int32_t XAtY(int32_t y) const;
  bool IsHorizontal() const { return (flags & kHorizontal) != 0; }
};

}  // namespace DxDraw
