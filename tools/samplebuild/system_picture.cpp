// The "SYSTEM" picture: every piece of the game's interface that is cut out of one image.
//
// Layout (left, top, right, bottom):
//   (0, 0, 16, 16), (16, 0, 32, 16), (112, 0, 128, 16)  software cursors: arrow, hand, wait
//   (0, 16, 128, 32)        click-wait indicators: two styles of four 16 × 16 frames
//   (0, 40, 800, 240)       message window frame (white with alpha: the window colour tints it)
//   (72, 240, 656, 364)     choice frame: three 584 × 40 plates 42 pixels apart
//   (752, 288, 800, 408)    message window buttons, one 48 × 24 row each
//   (752, 408, 776, 432)    page-end mark
#include <cmath>

#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {
namespace {

const Colour kInk = Rgb(0x1B1626);
const Colour kCream = Rgb(0xFFF3DA);
const Colour kAmber = Rgb(0xF2B45A);
const Colour kLantern = Rgb(0xD9553A);
const Colour kIndigo = Rgb(0x1C2040);
const Colour kWhite = Rgb(0xFFFFFF);

float Smooth(float edge0, float edge1, float x) {
  const float t = std::fmin(std::fmax((x - edge0) / (edge1 - edge0), 0.0f), 1.0f);
  return t * t * (3 - 2 * t);
}

Shape Grow(Shape s, float by) {
  return [=](float x, float y) { return s(x, y) - by; };
}

Shape Diamond(float cx, float cy, float r) {
  return Polygon({cx, cy - r, cx + r, cy, cx, cy + r, cx - r, cy});
}

// A shape with a dark one-pixel rim, so that it reads on light and dark scenes alike.
void Outlined(Canvas& c, const Shape& s, const Colour& fill, Box box) {
  c.Fill(Grow(s, 1.1f), kInk, box);
  c.Fill(s, fill, box);
}

void DrawCursors(Canvas& c) {
  // Arrow, tip at (0, 0).
  const Box arrowBox{0, 0, 16, 16};
  Outlined(c, Polygon({1.0f, 1.0f, 1.0f, 13.2f, 4.1f, 10.3f, 6.4f, 15.0f, 8.5f, 14.0f, 6.3f, 9.4f, 10.6f, 9.4f}),
           kCream, arrowBox);
  // Hand, the index finger's tip at (4, 0).
  const Box handBox{16, 0, 32, 16};
  Shape hand =
      Union(RoundBox(16 + 2.4f, 1.0f, 16 + 5.8f, 10.0f, 1.7f), RoundBox(16 + 2.4f, 6.6f, 16 + 13.6f, 14.8f, 2.6f));
  hand = Union(hand, Circle(16 + 7.6f, 7.4f, 1.6f));
  hand = Union(hand, Circle(16 + 10.2f, 7.6f, 1.6f));
  hand = Union(hand, Circle(16 + 12.4f, 8.2f, 1.4f));
  Outlined(c, hand, kCream, handBox);
  c.Fill(Segment(16 + 7.6f, 9.4f, 16 + 7.6f, 11.6f, 0.8f), Rgb(0xB9A98E), handBox);
  c.Fill(Segment(16 + 10.2f, 9.6f, 16 + 10.2f, 11.6f, 0.8f), Rgb(0xB9A98E), handBox);
  // Wait mark centred on (8, 8): a ring whose light runs round like a lantern's flame.
  const Box waitBox{112, 0, 128, 16};
  const Shape ring = Outline(Circle(112 + 8.0f, 8.0f, 5.2f), 2.6f);
  c.Fill(Grow(ring, 1.0f), kInk, waitBox);
  c.Fill(
      ring,
      [](float x, float y) {
        const float angle = std::atan2(y - 8.0f, x - 120.0f);
        return Mix(Rgb(0x6E5A48), kAmber, (angle + 3.14159265f) / 6.2831853f);
      },
      waitBox);
}

// A small paper lantern centred on (cx, cy); light 0..1.
void DrawLantern(Canvas& c, float cx, float cy, float scale, float light, Box box) {
  c.Glow(cx, cy, 8.0f * scale, kAmber, 0.9f * light, box);
  const Shape body = Ellipse(cx, cy, 4.3f * scale, 5.0f * scale);
  c.Fill(Grow(body, 0.9f), kInk, box);
  c.Fill(
      body,
      [=](float x, float y) {
        const float d = std::hypot((x - cx) / (4.3f * scale), (y - cy) / (5.0f * scale));
        return Mix(Mix(kLantern, Rgb(0xFFD08A), light * 0.85f), kLantern, d * d);
      },
      box);
  for (float ry : {-2.4f, 0.0f, 2.4f})
    c.Fill(Intersect(Segment(cx - 5 * scale, cy + ry * scale, cx + 5 * scale, cy + ry * scale, 0.7f), body),
           Rgb(0x8C2F22, 0.6f), box);
  c.Fill(RoundBox(cx - 2.6f * scale, cy - 6.3f * scale, cx + 2.6f * scale, cy - 4.3f * scale, 0.6f), kInk, box);
  c.Fill(RoundBox(cx - 2.6f * scale, cy + 4.3f * scale, cx + 2.6f * scale, cy + 6.3f * scale, 0.6f), kInk, box);
}

void DrawIndicators(Canvas& c) {
  // Style 0: a lantern whose light breathes.
  const float light[4] = {0.1f, 0.5f, 1.0f, 0.5f};
  for (int k = 0; k < 4; ++k) {
    const Box box{16 * k, 16, 16 * k + 16, 32};
    DrawLantern(c, 16 * k + 8.0f, 24.0f, 1.0f, light[k], box);
  }
  // Style 1: a chevron that bobs down and back.
  const float drop[4] = {0.0f, 1.0f, 2.0f, 1.0f};
  for (int k = 0; k < 4; ++k) {
    const float x = 64 + 16 * k + 8.0f, y = 21.0f + drop[k];
    const Box box{64 + 16 * k, 16, 64 + 16 * k + 16, 32};
    const Shape chevron = Polygon(
        {x - 5.5f, y - 2.0f, x, y + 4.0f, x + 5.5f, y - 2.0f, x + 3.2f, y - 2.0f, x, y + 1.3f, x - 3.2f, y - 2.0f});
    c.Glow(x, y + 1, 7.0f, kAmber, 0.35f, box);
    c.Fill(Grow(chevron, 1.0f), kInk, box);
    c.Fill(chevron, kAmber, box);
  }
}

// The window frame is drawn in white only, its shape carried by the alpha: the game ANDs
// the picture with the player's window colour, so white takes that colour exactly and the
// alpha shades it.
void DrawWindowFrame(Canvas& c) {
  const float top = 40;
  const Box box{0, 40, 800, 240};
  const Shape panel = RoundBox(4, top + 26, 796, top + 198, 12);
  c.Fill(
      panel, [=](float, float y) { return Rgb(0xFFFFFF, 0.74f + 0.18f * Smooth(top + 26, top + 198, y)); }, box);
  c.Fill(Outline(panel, 1.6f), kWhite, box);
  c.Fill(Outline(RoundBox(9, top + 31, 791, top + 193, 8), 1.0f), Rgb(0xFFFFFF, 0.45f), box);
  // A thin line across the top, with a lantern-shaped diamond at each end.
  c.Fill(
      Segment(30, top + 38.5f, 722, top + 38.5f, 1.2f),
      [](float x, float) { return Rgb(0xFFFFFF, 0.95f * Smooth(30, 140, x) * (1 - Smooth(612, 722, x))); }, box);
  for (float x : {22.0f, 730.0f}) {
    c.Fill(Subtract(Diamond(x, top + 38.5f, 4.5f), Diamond(x, top + 38.5f, 2.0f)), kWhite, box);
  }
}

void DrawChoicePlates(Canvas& c) {
  for (int k = 0; k < 3; ++k) {
    const float left = 72, top = 240.0f + 42 * k, right = 656, bottom = top + 40;
    const Box box{72, static_cast<int>(top), 656, static_cast<int>(bottom)};
    const Shape plate = RoundBox(left + 1, top + 1, right - 1, bottom - 1, 9);
    c.Fill(
        plate, [=](float, float y) { return Mix(Rgb(0x2E3466), kIndigo, (y - top) / 40); }, box);
    c.Fill(Outline(plate, 1.2f), kAmber, box);
    c.Fill(Outline(RoundBox(left + 5, top + 5, right - 5, bottom - 5, 6), 0.8f), Rgb(0xF2B45A, 0.3f), box);
    for (float x : {left + 16, right - 16}) c.Fill(Diamond(x, top + 20, 4.0f), kAmber, box);
  }
}

bool DrawButtons(Canvas& c, std::string& error) {
  const char* labels[5] = {"LOG", "SKIP", "AUTO", "Q.SAVE", "Q.LOAD"};
  for (int i = 0; i < 5; ++i) {
    const float left = 752, top = 288.0f + 24 * i;
    const Box box{752, static_cast<int>(top), 800, static_cast<int>(top) + 24};
    const Shape pill = RoundBox(left + 2, top + 2.5f, left + 46, top + 21.5f, 9.5f);
    c.Fill(
        pill, [=](float, float y) { return Mix(Rgb(0x3A3050, 0.92f), Rgb(0x1B1626, 0.92f), (y - top) / 24); }, box);
    c.Fill(Outline(pill, 1.1f), kAmber, box);
    const int width = PixelTextWidth(labels[i]);
    const int x = 752 + (48 - width) / 2, y = static_cast<int>(top) + 9;
    if (!DrawPixelText(c, labels[i], x + 1, y + 1, Rgb(0x000000, 0.6f), error)) return false;
    if (!DrawPixelText(c, labels[i], x, y, kCream, error)) return false;
  }
  return true;
}

// A paper lantern hanging from its string.
void DrawPageMark(Canvas& c) {
  const Box box{752, 408, 776, 432};
  c.Fill(Segment(764, 408, 764, 412, 1.0f), kInk, box);
  DrawLantern(c, 764.0f, 420.0f, 1.55f, 1.0f, box);
  c.Fill(Segment(764, 428.5f, 764, 431.5f, 1.2f), kAmber, box);
}

// The backlog's scroll bar (a track at x 0 to 32, y 240 to 808) and its thumb (x 32 to 56, y 240
// to 272), half-transparent over the dimmed scene.
void DrawScrollBar(Canvas& c) {
  const Box track{0, 240, 32, 808};
  c.Fill(RoundBox(8, 242, 24, 806, 8), Rgb(0x1B1626, 0.7f), track);
  c.Fill(Outline(RoundBox(8, 242, 24, 806, 8), 1.2f), kAmber, track);
  const Box thumb{32, 240, 56, 272};
  c.Fill(RoundBox(34, 242, 54, 270, 6), kAmber, thumb);
  c.Fill(Segment(38, 256, 50, 256, 1.5f), kInk, thumb);
}

}  // namespace

bool DrawSystemPicture(Canvas& canvas, std::string& error) {
  canvas = Canvas(kSystemWidth, kSystemHeight);
  DrawCursors(canvas);
  DrawIndicators(canvas);
  DrawWindowFrame(canvas);
  DrawChoicePlates(canvas);
  if (!DrawButtons(canvas, error)) return false;
  DrawPageMark(canvas);
  DrawScrollBar(canvas);
  return true;
}

}  // namespace samplebuild
