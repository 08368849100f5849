// Tests of the SDL backend's pure parts: the key-code table and the full-screen letterbox.
#include <gtest/gtest.h>

#include <set>

#include "platform/input.h"
#include "platform/sdl/sdl_backend.h"

using namespace platform;

// Scancodes are the USB keyboard usage ids, as SDL numbers them.
constexpr int kNonUsHash = 50;
constexpr int kScancodeCount = 512;

TEST(SdlKeys, ScancodesMapToDirectInputCodes) {
  const std::pair<int, uint8_t> cases[] = {
      {41, 0x01},  {40, 0x1C},  {88, 0x9C},  {82, 0xC8},  {81, 0xD0},          {80, 0xCB}, {79, 0xCD}, {96, 0x48},
      {90, 0x50},  {92, 0x4B},  {94, 0x4D},  {98, 0x52},  {89, 0x4F},          {91, 0x51}, {95, 0x47}, {97, 0x49},
      {225, 0x2A}, {229, 0x36}, {224, 0x1D}, {228, 0x9D}, {67, 0x44},          {69, 0x58}, {29, 0x2C}, {4, 0x1E},
      {44, 0x39},  {226, 0x38}, {0, 0},      {-1, 0},     {kScancodeCount, 0},
  };
  for (auto [sc, dik] : cases) EXPECT_EQ(sdl::DikFromScancode(sc), dik) << "scancode " << sc;

  // No two scancodes share a code, except the two backslash keys of different layouts.
  std::set<uint8_t> seen;
  for (int sc = 0; sc < kScancodeCount; ++sc) {
    const uint8_t d = sdl::DikFromScancode(sc);
    if (!d || sc == kNonUsHash) continue;
    EXPECT_TRUE(seen.insert(d).second) << "code " << int(d) << " given twice (scancode " << sc << ")";
  }
}

TEST(SdlLetterbox, ScalesCentresAndMapsBack) {
  struct Case {
    int32_t dw, dh;
    Rect expected;
  };
  const Case cases[] = {
      {800, 600, {0, 0, 800, 600}},
      {1600, 1200, {0, 0, 1600, 1200}},
      {1920, 1080, {240, 0, 1680, 1080}},
      {1280, 1024, {0, 32, 1280, 992}},
      {0, 600, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(sdl::LetterboxRect(c.dw, c.dh, 800, 600), c.expected) << c.dw << "x" << c.dh;

  const Rect box = sdl::LetterboxRect(1920, 1080, 800, 600);
  const std::pair<Point, Point> points[] = {
      {{240, 0}, {0, 0}},    {{1679, 1079}, {799, 599}}, {{960, 540}, {400, 300}},
      {{100, 10}, {-78, 5}}, {{1700, 0}, {811, 0}},
  };
  for (auto [in, out] : points) EXPECT_EQ(sdl::DrawableToClient(in, box, 800, 600), out) << in.x << "," << in.y;
}
