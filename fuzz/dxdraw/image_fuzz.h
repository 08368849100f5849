// Shared body of the image-loader fuzz targets: decode, convert into both depths, touch the pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dxdraw/image.h"
#include "dxdraw/surface.h"
#include "platform/log.h"

namespace fuzzimage {

inline void Quiet() {
  static bool once = [] {
    platform::SetLogSink([](std::u16string_view) {});
    return true;
  }();
  (void)once;
}

// Reads every pixel so that a bad size shows as an overrun.
inline uint32_t Touch(DxDraw::DxSurface* s) {
  uint32_t sum = 0;
  for (int y = 0; y < s->GetAbsHeight(); ++y) {
    const uint8_t* row = s->GetPixelAddress(0, y);
    for (uint32_t i = 0; i < uint32_t(s->GetWidth()) * s->GetDepth() / 8; ++i) sum += row[i];
  }
  return sum;
}

inline void IntoBoth(const DxDraw::PackedDib& dib) {
  if (dib.empty()) return;
  for (uint32_t bits : {16u, 32u}) {
    DxDraw::DxSurface* s = DxDraw::CreateSurface(bits);
    if (s->CopyFromDib(dib.bytes.data(), dib.bytes.size())) Touch(s);
    s->Release();
  }
}

inline void LoadBoth(const uint8_t* data, size_t size) {
  for (uint32_t bits : {16u, 32u}) {
    DxDraw::DxSurface* s = DxDraw::CreateSurface(bits);
    if (s->LoadFromMemory(data, size)) Touch(s);
    s->Release();
  }
}

}  // namespace fuzzimage
