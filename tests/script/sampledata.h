// The sample game's archives for the script tests, and the headless front image written as PNG.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "dxdraw/surface.h"
#include "platform/headless/headless.h"
#include "platform/utf.h"

namespace scripttest {

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};
// A surface held by one reference.
using SampleSurface = std::unique_ptr<DxDraw::DxSurface, SurfaceRelease>;

// An archive of the sample data the build made ("system.pux", "script.pux"); null when missing.
inline ComRef<IArchive> OpenSampleArchive(const char* name) {
  return ComRef<IArchive>(OpenArchive(platform::Utf8ToWide(std::string(VARN_BINARY_DIR "/data/") + name)));
}

// The "SYSTEM" picture of the sample data.
inline SampleSurface LoadSystemPicture() {
  ComRef<IArchive> system = OpenSampleArchive("system.pux");
  if (!system) return nullptr;
  return SampleSurface(DxDraw::LoadSurfaceArchive_Dx(system.Get(), u"SYSTEM.png"));
}

inline void WriteFrontPng(const platform::headless::HeadlessPresenter& front, const std::string& path) {
  std::vector<uint8_t> rgb;
  rgb.reserve(size_t(front.Width()) * front.Height() * 3);
  for (size_t i = 0; i + 3 < front.Front().size(); i += 4) {
    rgb.push_back(front.Front()[i + 2]);
    rgb.push_back(front.Front()[i + 1]);
    rgb.push_back(front.Front()[i]);
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = front.Width();
  image.height = front.Height();
  image.format = PNG_FORMAT_RGB;
  EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) << image.message;
}

}  // namespace scripttest
