// Drawing for the sample game's generated pictures: a float RGBA canvas, antialiased shapes
// given by signed distances, gradients, glows, a small pixel font and the PNG writer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace samplebuild {

// A straight (not premultiplied) colour, channels 0..1.
struct Colour {
  float r = 0, g = 0, b = 0, a = 1;
};

Colour Rgb(uint32_t rgb, float alpha = 1.0f);
Colour Mix(const Colour& a, const Colour& b, float t);

// A pixel-aligned box, right and bottom exclusive.
struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Signed distance in pixels to a shape's edge: negative inside.
using Shape = std::function<float(float x, float y)>;
// The colour of a shape at a point.
using Paint = std::function<Colour(float x, float y)>;

Shape Circle(float cx, float cy, float r);
Shape Ellipse(float cx, float cy, float rx, float ry);
Shape RoundBox(float left, float top, float right, float bottom, float radius);
// A stroke of the given width between two points, with round ends.
Shape Segment(float ax, float ay, float bx, float by, float width);
// A closed polygon (even-odd), points as x0, y0, x1, y1, ...
Shape Polygon(std::vector<float> points);
Shape Union(Shape a, Shape b);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);
Shape Offset(Shape a, float dx, float dy);
// The shape's outline as a band of the given width centred on its edge.
Shape Outline(Shape a, float width);

// A deterministic generator (xorshift64*), so every build draws the same picture.
class Random {
 public:
  explicit Random(uint64_t seed) : m_State(seed ? seed : 0x9E3779B97F4A7C15ull) {}
  uint64_t Next();
  float Uniform(float lo, float hi);  // lo <= x < hi
  int Below(int n);                   // 0 <= x < n

 private:
  uint64_t m_State;
};

class Canvas {
 public:
  Canvas(int width, int height, Colour fill = Colour{0, 0, 0, 0});

  int Width() const { return m_Width; }
  int Height() const { return m_Height; }

  // Composites the paint over the canvas where the shape covers each pixel (edges antialiased),
  // within the box (the whole canvas when the box is empty).
  void Fill(const Shape& shape, const Paint& paint, Box box = {});
  void Fill(const Shape& shape, Colour colour, Box box = {});
  // Adds light: colour × strength(x, y), clamped; the alpha grows with the light added.
  void Glow(float cx, float cy, float radius, Colour colour, float strength, Box box = {});
  // Replaces every pixel of the box with the paint (no compositing).
  void Set(Box box, const Paint& paint);
  // Draws canvas other over this one at (x, y).
  void Draw(const Canvas& other, int x, int y);

  Colour At(int x, int y) const;
  void Put(int x, int y, Colour c);

  // 8-bit RGBA rows, top row first.
  std::vector<uint8_t> Rgba8() const;

 private:
  void Over(int x, int y, Colour c, float coverage);
  Box Clip(Box box) const;

  int m_Width;
  int m_Height;
  std::vector<float> m_Pixels;  // premultiplied RGBA
};

// A 5 × 7 pixel font for the short upper-case labels of the system picture.
// Width in pixels of the text (one column between letters).
int PixelTextWidth(std::string_view text);
// Draws the text with its top-left corner at (x, y); a letter the font lacks is an error.
bool DrawPixelText(Canvas& canvas, std::string_view text, int x, int y, Colour colour, std::string& error);

// Writes the canvas as a PNG: 8-bit RGBA with alpha, else 8-bit RGB. No time stamp, so the
// same picture always gives the same bytes.
bool EncodePng(const Canvas& canvas, bool alpha, std::vector<uint8_t>& out, std::string& error);

}  // namespace samplebuild
