// An owned block of pixels (width, height, signed pitch, bytes) that the pixel routines can walk.
//
// Rows are padded to a multiple of 4 bytes, as in the engine's bitmaps. A bottom-up buffer stores
// its top row last, so its pitch (the byte distance from a row to the row below it on screen) is
// negative; Top() is always the address of pixel (0, 0) and Row(y) of row y counted from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dxdraw/pixelstore.h"

namespace DxDraw {

class PixelBuffer {
 public:
  PixelBuffer() = default;
  // bytesPerPixel is 2 or 4; a width or height below 0 is taken as 0. Pixels start zeroed.
  PixelBuffer(int width, int height, int bytesPerPixel, bool bottomUp = false)
      : width_(width > 0 ? width : 0),
        height_(height > 0 ? height : 0),
        bpp_(bytesPerPixel),
        stride_((static_cast<size_t>(width_) * bpp_ + 3) & ~static_cast<size_t>(3)),
        bottomUp_(bottomUp),
        bytes_(stride_ * height_) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BytesPerPixel() const { return bpp_; }
  // Signed distance in bytes from a row to the row below it on screen.
  ptrdiff_t Pitch() const { return bottomUp_ ? -static_cast<ptrdiff_t>(stride_) : static_cast<ptrdiff_t>(stride_); }
  size_t Stride() const { return stride_; }
  bool BottomUp() const { return bottomUp_; }

  // The storage, lowest address first, and its size.
  uint8_t* Bytes() { return bytes_.data(); }
  const uint8_t* Bytes() const { return bytes_.data(); }
  size_t Size() const { return bytes_.size(); }

  // Address of the first pixel of row y (0 = top); callers keep 0 <= y < Height().
  uint8_t* Row(int y) { return bytes_.data() + RowOffset(y); }
  const uint8_t* Row(int y) const { return bytes_.data() + RowOffset(y); }
  uint8_t* Top() { return height_ > 0 ? Row(0) : bytes_.data(); }
  const uint8_t* Top() const { return height_ > 0 ? Row(0) : bytes_.data(); }
  uint8_t* At(int x, int y) { return Row(y) + static_cast<size_t>(x) * bpp_; }
  const uint8_t* At(int x, int y) const { return Row(y) + static_cast<size_t>(x) * bpp_; }

  uint32_t Get32(int x, int y) const {
    uint32_t v;
    std::memcpy(&v, At(x, y), 4);
    return v;
  }
  void Set32(int x, int y, uint32_t v) { std::memcpy(At(x, y), &v, 4); }
  uint16_t Get16(int x, int y) const {
    uint16_t v;
    std::memcpy(&v, At(x, y), 2);
    return v;
  }
  void Set16(int x, int y, uint16_t v) { std::memcpy(At(x, y), &v, 2); }

 private:
  size_t RowOffset(int y) const {
    const size_t row = bottomUp_ ? static_cast<size_t>(height_ - 1 - y) : static_cast<size_t>(y);
    return row * stride_;
  }

  int width_ = 0;
  int height_ = 0;
  int bpp_ = 4;
  size_t stride_ = 0;
  bool bottomUp_ = false;
  std::vector<uint8_t, PixelAllocator<uint8_t>> bytes_;
};

}  // namespace DxDraw
