// Rectangles and points in pixels, shared by the engine and the platform layer.
#pragma once

#include <cstdint>

namespace platform {

// {left, top, right, bottom}: right and bottom are outside.
struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
  int32_t x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

}  // namespace platform
