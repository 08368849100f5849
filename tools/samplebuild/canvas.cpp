// The drawing primitives of the generated pictures and their PNG encoding.
#include "tools/samplebuild/canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace samplebuild {

Colour Rgb(uint32_t rgb, float alpha) {
  return Colour{((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, alpha};
}

Colour Mix(const Colour& a, const Colour& b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Shape Circle(float cx, float cy, float r) {
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Shape Ellipse(float cx, float cy, float rx, float ry) {
  return [=](float x, float y) {
    const float px = (x - cx) / rx, py = (y - cy) / ry;
    const float k0 = std::hypot(px, py);
    const float k1 = std::hypot(px / rx, py / ry);
    if (k1 == 0.0f) return -std::min(rx, ry);
    return k0 * (k0 - 1.0f) / k1;
  };
}

Shape RoundBox(float left, float top, float right, float bottom, float radius) {
  const float cx = (left + right) / 2, cy = (top + bottom) / 2;
  const float hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
  return [=](float x, float y) {
    const float qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
  };
}

Shape Segment(float ax, float ay, float bx, float by, float width) {
  return [=](float x, float y) {
    const float ex = bx - ax, ey = by - ay;
    const float wx = x - ax, wy = y - ay;
    const float len2 = ex * ex + ey * ey;
    const float t = len2 > 0 ? std::clamp((wx * ex + wy * ey) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(wx - ex * t, wy - ey * t) - width / 2;
  };
}

Shape Polygon(std::vector<float> points) {
  return [p = std::move(points)](float x, float y) {
    const size_t n = p.size() / 2;
    if (n < 3) return 1e9f;
    float d = (x - p[0]) * (x - p[0]) + (y - p[1]) * (y - p[1]);
    float sign = 1.0f;
    for (size_t i = 0, j = n - 1; i < n; j = i, ++i) {
      const float vix = p[2 * i], viy = p[2 * i + 1], vjx = p[2 * j], vjy = p[2 * j + 1];
      const float ex = vjx - vix, ey = vjy - viy;
      const float wx = x - vix, wy = y - viy;
      const float len2 = ex * ex + ey * ey;
      const float t = len2 > 0 ? std::clamp((wx * ex + wy * ey) / len2, 0.0f, 1.0f) : 0.0f;
      const float bx = wx - ex * t, by = wy - ey * t;
      d = std::min(d, bx * bx + by * by);
      const bool c1 = y >= viy, c2 = y<vjy, c3 = ex * wy> ey * wx;
      if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) sign = -sign;
    }
    return sign * std::sqrt(d);
  };
}

Shape Union(Shape a, Shape b) {
  return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}
Shape Intersect(Shape a, Shape b) {
  return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}
Shape Subtract(Shape a, Shape b) {
  return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}
Shape Offset(Shape a, float dx, float dy) {
  return [=](float x, float y) { return a(x - dx, y - dy); };
}
Shape Outline(Shape a, float width) {
  return [=](float x, float y) { return std::abs(a(x, y)) - width / 2; };
}

uint64_t Random::Next() {
  m_State ^= m_State >> 12;
  m_State ^= m_State << 25;
  m_State ^= m_State >> 27;
  return m_State * 0x2545F4914F6CDD1Dull;
}

float Random::Uniform(float lo, float hi) {
  return lo + (hi - lo) * static_cast<float>(Next() >> 40) / static_cast<float>(1ull << 24);
}

int Random::Below(int n) {
  return n > 0 ? static_cast<int>(Next() % static_cast<uint64_t>(n)) : 0;
}

Canvas::Canvas(int width, int height, Colour fill) : m_Width(width), m_Height(height) {
  m_Pixels.resize(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < m_Pixels.size(); i += 4) {
    m_Pixels[i] = fill.r * fill.a;
    m_Pixels[i + 1] = fill.g * fill.a;
    m_Pixels[i + 2] = fill.b * fill.a;
    m_Pixels[i + 3] = fill.a;
  }
}

Box Canvas::Clip(Box box) const {
  if (box.right <= box.left || box.bottom <= box.top) return Box{0, 0, m_Width, m_Height};
  return Box{std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, m_Width), std::min(box.bottom, m_Height)};
}

void Canvas::Over(int x, int y, Colour c, float coverage) {
  float* p = &m_Pixels[(static_cast<size_t>(y) * m_Width + x) * 4];
  const float a = std::clamp(c.a * coverage, 0.0f, 1.0f);
  p[0] = c.r * a + p[0] * (1 - a);
  p[1] = c.g * a + p[1] * (1 - a);
  p[2] = c.b * a + p[2] * (1 - a);
  p[3] = a + p[3] * (1 - a);
}

void Canvas::Fill(const Shape& shape, const Paint& paint, Box box) {
  box = Clip(box);
  // The picture is walked in tiles: a tile whose centre lies well outside the shape is passed
  // over whole. The distances are exact or close to it, so the margin (twice the tile's
  // half-diagonal) leaves every touched pixel in.
  constexpr int kTile = 8;
  for (int ty = box.top; ty < box.bottom; ty += kTile)
    for (int tx = box.left; tx < box.right; tx += kTile) {
      const int x1 = std::min(tx + kTile, box.right), y1 = std::min(ty + kTile, box.bottom);
      if (shape((tx + x1) * 0.5f, (ty + y1) * 0.5f) > kTile * 1.42f) continue;
      for (int y = ty; y < y1; ++y)
        for (int x = tx; x < x1; ++x) {
          const float fx = x + 0.5f, fy = y + 0.5f;
          const float coverage = std::clamp(0.5f - shape(fx, fy), 0.0f, 1.0f);
          if (coverage > 0) Over(x, y, paint(fx, fy), coverage);
        }
    }
}

void Canvas::Fill(const Shape& shape, Colour colour, Box box) {
  Fill(
      shape, [colour](float, float) { return colour; }, box);
}

void Canvas::Glow(float cx, float cy, float radius, Colour colour, float strength, Box box) {
  if (box.right <= box.left)
    box = Box{static_cast<int>(std::floor(cx - radius)), static_cast<int>(std::floor(cy - radius)),
              static_cast<int>(std::ceil(cx + radius)) + 1, static_cast<int>(std::ceil(cy + radius)) + 1};
  box = Clip(box);
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / radius;
      if (d >= 1) continue;
      const float f = (1 - d) * (1 - d) * strength * colour.a;
      float* p = &m_Pixels[(static_cast<size_t>(y) * m_Width + x) * 4];
      const float add[3] = {colour.r * f, colour.g * f, colour.b * f};
      p[3] = std::min(1.0f, p[3] + std::max({add[0], add[1], add[2]}));
      for (int k = 0; k < 3; ++k) p[k] = std::min(p[3], p[k] + add[k]);
    }
}

void Canvas::Set(Box box, const Paint& paint) {
  box = Clip(box);
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) Put(x, y, paint(x + 0.5f, y + 0.5f));
}

void Canvas::Draw(const Canvas& other, int x0, int y0) {
  for (int y = 0; y < other.m_Height; ++y)
    for (int x = 0; x < other.m_Width; ++x) {
      const int tx = x0 + x, ty = y0 + y;
      if (tx < 0 || ty < 0 || tx >= m_Width || ty >= m_Height) continue;
      const float* s = &other.m_Pixels[(static_cast<size_t>(y) * other.m_Width + x) * 4];
      float* p = &m_Pixels[(static_cast<size_t>(ty) * m_Width + tx) * 4];
      for (int k = 0; k < 4; ++k) p[k] = s[k] + p[k] * (1 - s[3]);
    }
}

Colour Canvas::At(int x, int y) const {
  const float* p = &m_Pixels[(static_cast<size_t>(y) * m_Width + x) * 4];
  if (p[3] <= 0) return Colour{0, 0, 0, 0};
  return Colour{p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void Canvas::Put(int x, int y, Colour c) {
  if (x < 0 || y < 0 || x >= m_Width || y >= m_Height) return;
  float* p = &m_Pixels[(static_cast<size_t>(y) * m_Width + x) * 4];
  const float a = std::clamp(c.a, 0.0f, 1.0f);
  p[0] = c.r * a;
  p[1] = c.g * a;
  p[2] = c.b * a;
  p[3] = a;
}

std::vector<uint8_t> Canvas::Rgba8() const {
  std::vector<uint8_t> out(static_cast<size_t>(m_Width) * m_Height * 4);
  auto byte = [](float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
  for (size_t i = 0; i < out.size(); i += 4) {
    const float a = m_Pixels[i + 3];
    const uint8_t alpha = byte(a);
    if (alpha == 0) continue;  // fully transparent pixels are stored as 0, 0, 0, 0
    for (int k = 0; k < 3; ++k) out[i + k] = byte(m_Pixels[i + k] / a);
    out[i + 3] = alpha;
  }
  return out;
}

namespace {

// Rows of each letter, '#' for a lit pixel.
struct Glyph {
  char letter;
  const char* rows[7];
};

constexpr Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'.', {".", ".", ".", ".", ".", ".", "#"}},
    {' ', {"..", "..", "..", "..", "..", "..", ".."}},
};

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kFont)
    if (g.letter == c) return &g;
  return nullptr;
}

int GlyphWidth(const Glyph& g) {
  return static_cast<int>(std::strlen(g.rows[0]));
}

}  // namespace

int PixelTextWidth(std::string_view text) {
  int width = 0;
  for (char c : text)
    if (const Glyph* g = FindGlyph(c)) width += GlyphWidth(*g) + 1;
  return width > 0 ? width - 1 : 0;
}

bool DrawPixelText(Canvas& canvas, std::string_view text, int x, int y, Colour colour, std::string& error) {
  for (char c : text) {
    const Glyph* g = FindGlyph(c);
    if (!g) {
      error = std::string("the pixel font has no letter '") + c + "'";
      return false;
    }
    for (int row = 0; row < 7; ++row)
      for (int col = 0; g->rows[row][col]; ++col)
        if (g->rows[row][col] == '#')
          canvas.Fill(RoundBox(x + col, y + row, x + col + 1, y + row + 1, 0), colour,
                      Box{x + col, y + row, x + col + 1, y + row + 1});
    x += GlyphWidth(*g) + 1;
  }
  return true;
}

namespace {

struct PngSink {
  std::vector<uint8_t>* out;
  std::string message;
};

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  sink->out->insert(sink->out->end(), data, data + length);
}

void PngFlush(png_structp) {}

void PngError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
  sink->message = message ? message : "libpng error";
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

}  // namespace

bool EncodePng(const Canvas& canvas, bool alpha, std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  const std::vector<uint8_t> rgba = canvas.Rgba8();
  const int width = canvas.Width(), height = canvas.Height();
  const int channels = alpha ? 4 : 3;
  std::vector<uint8_t> rows(static_cast<size_t>(width) * height * channels);
  for (size_t i = 0, j = 0; i < rgba.size(); i += 4, j += channels) {
    if (alpha) {
      std::memcpy(&rows[j], &rgba[i], 4);
    } else {
      // An opaque picture: whatever the canvas left uncovered counts as black.
      const float a = rgba[i + 3] / 255.0f;
      for (int k = 0; k < 3; ++k) rows[j + k] = static_cast<uint8_t>(std::lround(rgba[i + k] * a));
    }
  }
  std::vector<png_bytep> pointers(height);
  for (int y = 0; y < height; ++y) pointers[y] = &rows[static_cast<size_t>(y) * width * channels];

  PngSink sink{&out, {}};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, PngError, PngWarning);
  if (!png) {
    error = "libpng could not start";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    error = sink.message.empty() ? "libpng could not start" : sink.message;
    out.clear();
    return false;
  }
  png_set_write_fn(png, &sink, PngWrite, PngFlush);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace samplebuild
