// The sample game's scene pictures: three backgrounds of the lantern town, their falling-light
// overlays, and the three characters with their faces, all drawn from shapes and gradients.
#include <algorithm>
#include <cmath>
#include <utility>

#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {
namespace {

constexpr int kW = 800, kH = 600;
constexpr float kPi = 3.14159265f;

struct Stop {
  float at;
  uint32_t rgb;
};

// A paint that runs through the stops along y (or x).
Paint Gradient(std::vector<Stop> stops, bool alongX = false) {
  return [stops = std::move(stops), alongX](float x, float y) {
    const float v = alongX ? x : y;
    if (v <= stops.front().at) return Rgb(stops.front().rgb);
    for (size_t i = 1; i < stops.size(); ++i)
      if (v <= stops[i].at)
        return Mix(Rgb(stops[i - 1].rgb), Rgb(stops[i].rgb), (v - stops[i - 1].at) / (stops[i].at - stops[i - 1].at));
    return Rgb(stops.back().rgb);
  };
}

Shape Everywhere() {
  return [](float, float) { return -1e9f; };
}

// The region below a curve y = f(x), down to the bottom of the picture.
Shape Below(std::function<float(float)> f) {
  return [f = std::move(f)](float x, float y) { return f(x) - y; };
}

void Stars(Canvas& c, Random& rng, int count, float maxY) {
  for (int i = 0; i < count; ++i) {
    const float x = rng.Uniform(0, kW), y = rng.Uniform(0, maxY);
    const float bright = rng.Uniform(0.25f, 1.0f) * (1 - y / maxY * 0.8f);
    c.Glow(x, y, rng.Uniform(1.5f, 3.2f), Rgb(0xFFF6E0), bright);
  }
}

// A paper lantern of the town: an oval of red paper with ribs and black caps; lit ones glow.
void PaperLantern(Canvas& c, float cx, float cy, float rx, float ry, bool lit) {
  if (lit) c.Glow(cx, cy, rx * 4.0f, Rgb(0xFFB060), 0.55f);
  const Shape body = Ellipse(cx, cy, rx, ry);
  const Colour paper = lit ? Rgb(0xF08A4A) : Rgb(0xA8443A);
  const Colour centre = lit ? Rgb(0xFFE2A8) : Rgb(0xC9634C);
  c.Fill(body, [=](float x, float y) {
    const float d = std::hypot((x - cx) / rx, (y - cy) / ry);
    return Mix(centre, paper, d);
  });
  for (int k = -2; k <= 2; ++k) {
    const float y = cy + k * ry * 0.36f;
    c.Fill(Intersect(Segment(cx - rx, y, cx + rx, y, std::max(0.8f, rx * 0.06f)), body), Rgb(0x5A1E1A, 0.45f));
  }
  c.Fill(RoundBox(cx - rx * 0.55f, cy - ry - ry * 0.18f, cx + rx * 0.55f, cy - ry * 0.86f, 1), Rgb(0x15100F));
  c.Fill(RoundBox(cx - rx * 0.55f, cy + ry * 0.86f, cx + rx * 0.55f, cy + ry + ry * 0.18f, 1), Rgb(0x15100F));
}

// One house of the street: walls, a tiled roof with eaves, and lit paper windows.
void House(Canvas& c, Random& rng, float left, float right, float base, float height, bool lit) {
  const float roofH = height * 0.35f, wallTop = base - height + roofH;
  c.Fill(RoundBox(left, wallTop, right, base, 0), Gradient({{wallTop, 0x3A2A36}, {base, 0x221822}}));
  const float eave = (right - left) * 0.08f;
  c.Fill(Polygon({left - eave, wallTop + 4, (left + right) / 2, base - height, right + eave, wallTop + 4, right + eave,
                  wallTop + 10, left - eave, wallTop + 10}),
         Gradient({{base - height, 0x2A2030}, {wallTop + 10, 0x171220}}));
  const int windows = std::max(1, static_cast<int>((right - left) / 70));
  for (int k = 0; k < windows; ++k) {
    const float w = (right - left) / windows;
    const float wx0 = left + k * w + w * 0.22f, wx1 = left + (k + 1) * w - w * 0.22f;
    const float wy0 = wallTop + (base - wallTop) * 0.22f, wy1 = wallTop + (base - wallTop) * 0.62f;
    const bool on = lit && rng.Below(5) != 0;
    const Colour glass = on ? Rgb(0xFFC878) : Rgb(0x3E3040);
    if (on) c.Glow((wx0 + wx1) / 2, (wy0 + wy1) / 2, (wx1 - wx0) * 1.3f, Rgb(0xFF9A50), 0.35f);
    c.Fill(RoundBox(wx0, wy0, wx1, wy1, 1), glass);
    for (int g = 1; g < 3; ++g) {
      const float gx = wx0 + (wx1 - wx0) * g / 3;
      c.Fill(Segment(gx, wy0, gx, wy1, 1.2f), Rgb(0x3A2418, on ? 0.8f : 0.4f));
    }
    c.Fill(Segment(wx0, (wy0 + wy1) / 2, wx1, (wy0 + wy1) / 2, 1.2f), Rgb(0x3A2418, on ? 0.8f : 0.4f));
  }
}

// The lantern street at dusk: the sun just down, paper lanterns not yet lit.
void StreetAtDusk(Canvas& c) {
  Random rng(0x4C414E54ull);
  c.Fill(Everywhere(), Gradient({{0, 0x1E1B3C}, {150, 0x3A2A5A}, {290, 0x8A4A6A}, {380, 0xE58A5A}, {420, 0xF6C48A}}));
  Stars(c, rng, 40, 160);
  c.Glow(400, 420, 260, Rgb(0xFFB070), 0.35f);
  c.Fill(Below([](float x) { return 352 + 22 * std::sin(x * 0.008f + 1.0f) + 10 * std::sin(x * 0.027f); }),
         Gradient({{320, 0x6A4064}, {420, 0x4A2E4C}}));
  // The street climbs away between two rows of houses.
  c.Fill(Polygon({360, 400, 440, 400, 800, 600, 0, 600}), Gradient({{400, 0x4A3640}, {600, 0x1C1418}}));
  for (int k = 0; k < 9; ++k) {
    const float t = static_cast<float>(k) / 9, y = 400 + 200 * t * t;
    c.Fill(Segment(360 - 360 * t * t, y, 440 + 360 * t * t, y, 1.0f + 1.5f * t), Rgb(0x140E12, 0.35f));
  }
  struct Row {
    float left, right, height;
  };
  const Row leftRow[] = {{-20, 120, 300}, {120, 230, 220}, {230, 305, 160}, {305, 360, 115}};
  const Row rightRow[] = {{680, 820, 300}, {570, 680, 220}, {495, 570, 160}, {440, 495, 115}};
  for (int k = 3; k >= 0; --k) {
    const float base = 400 + 200 * (3 - k) / 3.0f * (3 - k) / 3.0f;
    House(c, rng, leftRow[k].left, leftRow[k].right, std::max(base, 402.0f), leftRow[k].height, true);
    House(c, rng, rightRow[k].left, rightRow[k].right, std::max(base, 402.0f), rightRow[k].height, true);
  }
  // Two strings of lanterns across the street.
  for (int s = 0; s < 2; ++s) {
    const float y0 = s == 0 ? 150 : 250, sag = s == 0 ? 70 : 45, half = s == 0 ? 420 : 300;
    auto f = [=](float x) { return y0 + sag * (1 - ((x - 400) / half) * ((x - 400) / half)); };
    for (float x = 400 - half; x < 400 + half; x += 4) c.Fill(Segment(x, f(x), x + 4, f(x + 4), 1.4f), Rgb(0x140E12));
    const int n = s == 0 ? 9 : 7;
    for (int k = 1; k < n; ++k) {
      const float x = 400 - half + 2 * half * k / n;
      const float size = s == 0 ? 15 : 10;
      c.Fill(Segment(x, f(x), x, f(x) + size * 0.5f, 1.0f), Rgb(0x140E12));
      PaperLantern(c, x, f(x) + size * 1.6f, size, size * 1.25f, false);
    }
  }
}

// The river at night: the moon, the far bank's windows and floating lanterns.
void RiverAtNight(Canvas& c) {
  Random rng(0x52495645ull);
  c.Fill(Everywhere(), Gradient({{0, 0x0B1030}, {220, 0x1A2452}, {300, 0x2C3566}}));
  Stars(c, rng, 90, 260);
  c.Glow(620, 110, 120, Rgb(0xFFF0D0), 0.35f);
  c.Fill(Circle(620, 110, 34), Gradient({{76, 0xFFF8E6}, {144, 0xF2DFB8}}));
  // The far bank, its roofs and lit windows.
  c.Fill(Below([](float x) {
           return 292 - 18 * std::fabs(std::sin(x * 0.045f)) - 10 * std::fabs(std::sin(x * 0.13f + 2));
         }),
         Rgb(0x0C0C1E));
  for (int i = 0; i < 40; ++i) {
    const float x = rng.Uniform(10, 790), y = rng.Uniform(284, 310);
    c.Glow(x, y, 5, Rgb(0xFFB060), 0.7f);
    c.Fill(RoundBox(x - 1.5f, y - 1.5f, x + 1.5f, y + 1.5f, 0.5f), Rgb(0xFFD28A));
  }
  // An arched wooden bridge on the left.
  c.Fill(Subtract(Ellipse(180, 330, 190, 60), Ellipse(180, 350, 170, 58)), Rgb(0x1A1320), Box{0, 260, 380, 330});
  for (int k = 0; k < 9; ++k) {
    const float x = 30 + k * 37.5f,
                top = 330 - 60 * std::sqrt(std::max(0.0f, 1 - ((x - 180) / 190) * ((x - 180) / 190)));
    c.Fill(Segment(x, top - 16, x, top, 2.0f), Rgb(0x1A1320));
  }
  // The water.
  c.Fill(Polygon({0, 310, 800, 310, 800, 530, 0, 530}), Gradient({{310, 0x1C2754}, {530, 0x080C22}}));
  for (int i = 0; i < 70; ++i) {
    const float y = 318 + 210 * std::pow(rng.Uniform(0, 1), 1.4f);
    const float x = 620 + rng.Uniform(-40, 40) * (0.6f + (y - 310) / 200);
    const float len = rng.Uniform(8, 30);
    c.Fill(Segment(x - len, y, x + len, y, 1.6f), Rgb(0xFFF0D0, rng.Uniform(0.25f, 0.7f)));
  }
  for (int i = 0; i < 60; ++i) {
    const float y = rng.Uniform(318, 528), x = rng.Uniform(0, 800), len = rng.Uniform(10, 50);
    c.Fill(Segment(x - len, y, x + len, y, 1.0f), Rgb(0x6A78B0, 0.18f));
  }
  // Lanterns floating down the river, each with its reflection.
  for (int i = 0; i < 8; ++i) {
    const float y = 350 + 22 * i + rng.Uniform(-6, 6);
    const float x = rng.Uniform(40, 760), s = 0.5f + (y - 340) / 200;
    c.Glow(x, y + 14 * s, 46 * s, Rgb(0xFF9A40), 0.5f);
    c.Fill(RoundBox(x - 3 * s, y + 14 * s, x + 3 * s, y + 34 * s, 2 * s), Rgb(0xFFB060, 0.35f));
    c.Fill(RoundBox(x - 12 * s, y + 10 * s, x + 12 * s, y + 14 * s, 1), Rgb(0x2A1A14));
    c.Fill(Polygon({x - 10 * s, y + 10 * s, x - 8 * s, y - 10 * s, x + 8 * s, y - 10 * s, x + 10 * s, y + 10 * s}),
           Gradient({{y - 10 * s, 0xFFE7B0}, {y + 10 * s, 0xF49A4E}}));
    c.Fill(Segment(x, y - 10 * s, x, y + 10 * s, 0.8f * s), Rgb(0x5A2A18, 0.5f));
  }
  // The near bank with reeds.
  c.Fill(Below([](float x) { return 528 + 12 * std::sin(x * 0.01f); }), Gradient({{520, 0x120E18}, {600, 0x07060A}}));
  for (int i = 0; i < 50; ++i) {
    const float x = rng.Uniform(0, 800), h = rng.Uniform(30, 90), lean = rng.Uniform(-14, 14);
    c.Fill(Segment(x, 560, x + lean, 560 - h, 2.0f), Rgb(0x07060A));
  }
}

// The hill above the town: the keeper's hut, its lamp, and the town's windows below.
void HillAboveTown(Canvas& c) {
  Random rng(0x48494C4Cull);
  c.Fill(Everywhere(), Gradient({{0, 0x101235}, {200, 0x2C2656}, {330, 0x6A3F66}, {380, 0xA45E6A}}));
  Stars(c, rng, 120, 300);
  c.Fill(Below([](float x) { return 372 + 14 * std::sin(x * 0.006f) + 6 * std::sin(x * 0.03f); }),
         Gradient({{360, 0x2A1E36}, {520, 0x140E1C}}));
  for (int i = 0; i < 160; ++i) {
    const float x = rng.Uniform(0, 800), y = 392 + 110 * std::pow(rng.Uniform(0, 1), 0.8f);
    c.Glow(x, y, rng.Uniform(3, 6), Rgb(0xFFB060), rng.Uniform(0.5f, 1.0f));
  }
  // The hill rises from the left; the hut and a lone pine stand on it.
  const auto hill = [](float x) {
    return 520 - 90 * std::exp(-((x - 600) / 260) * ((x - 600) / 260)) + 8 * std::sin(x * 0.05f);
  };
  c.Fill(Below(hill), Gradient({{420, 0x1A1222}, {600, 0x09070C}}));
  const float hx = 600, hy = hill(600) + 4;
  c.Fill(RoundBox(hx - 50, hy - 60, hx + 50, hy, 0), Rgb(0x0E0A12));
  c.Fill(Polygon({hx - 66, hy - 56, hx, hy - 104, hx + 66, hy - 56}), Rgb(0x0E0A12));
  c.Glow(hx - 18, hy - 32, 34, Rgb(0xFF9A50), 0.5f);
  c.Fill(RoundBox(hx - 30, hy - 44, hx - 6, hy - 20, 1), Rgb(0xFFC878));
  c.Fill(Segment(hx - 18, hy - 44, hx - 18, hy - 20, 1.5f), Rgb(0x3A2418));
  c.Fill(Segment(hx + 90, hy + 6, hx + 90, hy - 130, 4), Rgb(0x0E0A12));
  PaperLantern(c, hx + 90, hy - 118, 9, 11, true);
  const float tx = 170, ty = hill(170);
  c.Fill(Segment(tx, ty + 4, tx + 2, ty - 150, 6), Rgb(0x09070C));
  for (int k = 0; k < 5; ++k) {
    const float y = ty - 30 - k * 26, w = 56 - k * 9, lean = k % 2 ? 6.0f : -4.0f;
    c.Fill(Polygon({tx - w + lean, y + 8, tx + lean * 0.5f, y - 30, tx + w + lean, y + 8, tx + lean, y + 2}),
           Rgb(0x09070C));
  }
}

// Lights falling from the sky, on a transparent picture laid over a background.
void FallingLights(Canvas& c, uint64_t seed, float horizon) {
  Random rng(seed);
  for (int i = 0; i < 46; ++i) {
    const float x = rng.Uniform(10, 790), y = rng.Uniform(20, horizon);
    const float s = rng.Uniform(0.6f, 1.4f), trail = rng.Uniform(20, 60) * s;
    for (int k = 0; k < 12; ++k) {
      const float t = k / 12.0f;
      c.Fill(Segment(x, y - trail * t, x, y - trail * (t + 1 / 12.0f), 1.6f * s), Rgb(0xFFD8A0, 0.22f * (1 - t)));
    }
    c.Glow(x, y, 16 * s, Rgb(0xFFA850), 0.8f);
    c.Glow(x, y, 5 * s, Rgb(0xFFF4DC), 1.0f);
  }
}

// ---- Characters: 400 × 600, drawn with the figure's middle at x 200. ----

const Colour kSkin = Rgb(0xF6DCC8);

// 灯子: the lantern maker's daughter, in an indigo yukata, holding a paper lantern.
void TokoPose(Canvas& c) {
  const Colour hair = Rgb(0x2A1A1E);
  c.Fill(Union(Ellipse(200, 178, 80, 84), RoundBox(122, 160, 278, 268, 34)), hair);
  c.Fill(RoundBox(186, 232, 214, 282, 8), Rgb(0xE9C8B2));
  const Shape body = Polygon({172, 270, 228, 270, 292, 306, 312, 600, 88, 600, 108, 306});
  c.Fill(body, Gradient({{270, 0x34427A}, {600, 0x202A52}}));
  // Scattered pale flowers on the cloth.
  Random rng(0x544F4B4Full);
  for (int i = 0; i < 26; ++i) {
    const float x = rng.Uniform(100, 300), y = rng.Uniform(300, 590);
    Shape flower = Circle(x, y, 2.2f);
    for (int p = 0; p < 5; ++p) {
      const float a = p * 2 * kPi / 5 + x;
      flower = Union(flower, Circle(x + 4.2f * std::cos(a), y + 4.2f * std::sin(a), 2.8f));
    }
    c.Fill(Intersect(flower, body), Rgb(0xE8E2F4, 0.55f));
  }
  // Collar, left over right.
  c.Fill(Polygon({176, 270, 200, 330, 206, 318, 188, 270}), Rgb(0xF3E9DA));
  c.Fill(Polygon({224, 270, 200, 340, 190, 330, 212, 270}), Rgb(0xF3E9DA));
  c.Fill(Polygon({178, 268, 200, 334, 222, 268, 212, 268, 200, 306, 188, 268}), Rgb(0xE9C8B2));
  // Obi and its cord.
  c.Fill(Intersect(RoundBox(80, 392, 320, 446, 0), body), Gradient({{392, 0xE0624A}, {446, 0xB8443A}}));
  c.Fill(Intersect(Segment(80, 420, 320, 420, 3), body), Rgb(0xF2B45A));
  // Sleeves.
  c.Fill(Polygon({108, 306, 150, 330, 156, 520, 96, 540, 92, 420}), Rgb(0x2A376A));
  c.Fill(Polygon({292, 306, 250, 330, 244, 520, 304, 540, 308, 420}), Rgb(0x2A376A));
  // The lantern in her hands.
  PaperLantern(c, 200, 496, 36, 44, false);
  c.Fill(Circle(176, 450, 11), kSkin);
  c.Fill(Circle(224, 450, 11), kSkin);
  // Face, fringe and a red hairpin.
  c.Fill(Ellipse(200, 192, 54, 62), kSkin);
  c.Fill(Ellipse(170, 222, 10, 6), Rgb(0xF2A8A0, 0.45f));
  c.Fill(Ellipse(230, 222, 10, 6), Rgb(0xF2A8A0, 0.45f));
  c.Fill(Polygon({138, 190, 142, 140, 170, 112, 230, 112, 258, 140, 262, 190, 248, 160,
                  236, 176, 222, 152, 206, 172, 192, 150, 176, 174, 164, 152, 150, 176}),
         hair);
  PaperLantern(c, 262, 136, 7, 9, false);
}

void TokoEyes(Canvas& c, bool open) {
  const Colour line = Rgb(0x2A1A1E);
  for (float ex : {178.0f, 222.0f}) {
    if (open) {
      c.Fill(Ellipse(ex, 202, 7, 9), Rgb(0x3A2430));
      c.Fill(Circle(ex + 2, 198, 2.4f), Rgb(0xFFFFFF));
      c.Fill(Segment(ex - 10, 190, ex + 10, 189, 2.2f), line);
    } else {
      for (int k = 0; k < 8; ++k) {
        const float a0 = kPi + k * kPi / 8, a1 = kPi + (k + 1) * kPi / 8;
        c.Fill(
            Segment(ex + 9 * std::cos(a0), 206 + 6 * std::sin(a0), ex + 9 * std::cos(a1), 206 + 6 * std::sin(a1), 2.4f),
            line);
      }
    }
  }
}

void Smile(Canvas& c, float cx, float cy, float w, const Colour& colour) {
  for (int k = 0; k < 6; ++k) {
    const float a0 = k * kPi / 6, a1 = (k + 1) * kPi / 6;
    c.Fill(Segment(cx - w * std::cos(a0), cy + w * 0.45f * std::sin(a0), cx - w * std::cos(a1),
                   cy + w * 0.45f * std::sin(a1), 2.0f),
           colour);
  }
}

void TokoSmile(Canvas& c) {
  TokoEyes(c, false);
  Smile(c, 200, 232, 10, Rgb(0x8A3A3A));
}

void TokoSurprised(Canvas& c) {
  TokoEyes(c, true);
  c.Fill(Ellipse(200, 236, 4.5f, 5.5f), Rgb(0x8A3A3A));
}

// 朔: the lamplighter, in a dark green coat and cap, his long pole at his shoulder.
void SakuPose(Canvas& c) {
  c.Fill(Segment(312, 600, 330, 70, 7), Gradient({{70, 0x7A5438}, {600, 0x4A3020}}));
  c.Fill(Segment(330, 70, 352, 62, 4), Rgb(0x2A2024));
  PaperLantern(c, 352, 84, 10, 13, true);
  c.Fill(RoundBox(174, 228, 214, 286, 10), Rgb(0xD9B59A));
  const Shape coat = Polygon({160, 278, 228, 278, 300, 318, 318, 600, 70, 600, 88, 318});
  c.Fill(coat, Gradient({{282, 0x3E5444}, {600, 0x243328}}));
  c.Fill(Polygon({172, 282, 194, 282, 206, 600, 176, 600}), Rgb(0x1E2A22));
  c.Fill(Polygon({216, 282, 198, 282, 214, 600, 244, 600}), Rgb(0x1E2A22));
  c.Fill(Polygon({180, 282, 210, 282, 196, 330}), Rgb(0xD9B59A));
  // A white crest on the chest: a small lantern in a ring.
  c.Fill(Outline(Circle(262, 372, 16), 2.4f), Rgb(0xEDE6D6));
  PaperLantern(c, 262, 372, 6, 8, false);
  // The arm that steadies the pole.
  c.Fill(Polygon({288, 314, 318, 320, 330, 420, 310, 430, 284, 380}), Rgb(0x34483A));
  c.Fill(Ellipse(318, 420, 12, 10), Rgb(0xE8C7AA));
  // Head and cap.
  c.Fill(Ellipse(194, 190, 50, 60), Rgb(0xE8C7AA));
  c.Fill(Union(Ellipse(145, 196, 7, 12), Ellipse(243, 196, 7, 12)), Rgb(0xDDB898));
  c.Fill(Union(RoundBox(144, 142, 156, 184, 5), RoundBox(232, 142, 244, 184, 5)), Rgb(0x3A3440));
  c.Fill(Ellipse(194, 138, 72, 14), Rgb(0x2A2630));
  c.Fill(RoundBox(148, 100, 240, 142, 16), Gradient({{100, 0x3A3440}, {142, 0x2A2630}}));
  c.Fill(Segment(150, 132, 238, 132, 3), Rgb(0x8C6A3A));
}

void SakuCalm(Canvas& c) {
  const Colour line = Rgb(0x2A2024);
  for (float ex : {174.0f, 214.0f}) {
    c.Fill(Segment(ex - 10, 178, ex + 10, 176, 3.0f), Rgb(0x4A4450));
    for (int k = 0; k < 6; ++k) {
      const float a0 = kPi + k * kPi / 6, a1 = kPi + (k + 1) * kPi / 6;
      c.Fill(
          Segment(ex + 8 * std::cos(a0), 196 + 4 * std::sin(a0), ex + 8 * std::cos(a1), 196 + 4 * std::sin(a1), 2.2f),
          line);
    }
  }
  c.Fill(Segment(194, 200, 190, 218, 1.6f), Rgb(0xB89478));
  Smile(c, 194, 226, 12, Rgb(0x6A3A30));
}

// 千代: the girl who helps at the shrine, in a white kosode and red hakama, her hair in two tails.
void ChiyoPose(Canvas& c) {
  const Colour hair = Rgb(0x3A2418);
  c.Fill(Union(Ellipse(132, 250, 22, 48), Ellipse(268, 250, 22, 48)), hair);
  c.Fill(Ellipse(200, 214, 66, 70), hair);
  c.Fill(RoundBox(188, 262, 212, 304, 8), Rgb(0xE9C8B2));
  const Shape top = Polygon({174, 296, 226, 296, 282, 326, 296, 430, 104, 430, 118, 326});
  c.Fill(top, Rgb(0xF4F0EA));
  c.Fill(Polygon({180, 296, 200, 350, 220, 296, 210, 296, 200, 326, 190, 296}), Rgb(0xE9C8B2));
  c.Fill(Polygon({104, 420, 296, 420, 316, 600, 84, 600}), Gradient({{420, 0xD0383A}, {600, 0xA02830}}));
  c.Fill(Segment(104, 424, 296, 424, 4), Rgb(0xF4F0EA));
  c.Fill(Polygon({118, 326, 150, 340, 148, 470, 96, 480, 96, 400}), Rgb(0xE8E2DA));
  c.Fill(Polygon({282, 326, 250, 340, 252, 470, 304, 480, 304, 400}), Rgb(0xE8E2DA));
  c.Fill(Ellipse(200, 226, 50, 56), kSkin);
  c.Fill(Ellipse(172, 252, 9, 5), Rgb(0xF2A8A0, 0.5f));
  c.Fill(Ellipse(228, 252, 9, 5), Rgb(0xF2A8A0, 0.5f));
  c.Fill(Polygon({146, 226, 150, 178, 178, 156, 222, 156, 250, 178, 254, 226, 240,
                  196, 226, 210, 212, 188, 200, 206, 188, 188, 174, 210, 160, 196}),
         hair);
  c.Fill(Union(Circle(136, 204, 8), Circle(264, 204, 8)), Rgb(0xD0383A));
}

void ChiyoEyes(Canvas& c, float lift) {
  for (float ex : {180.0f, 220.0f}) {
    c.Fill(Ellipse(ex, 232 - lift, 6.5f, 8.5f), Rgb(0x3A2418));
    c.Fill(Circle(ex + 2, 228 - lift, 2.2f), Rgb(0xFFFFFF));
  }
}

void ChiyoSmile(Canvas& c) {
  ChiyoEyes(c, 0);
  Smile(c, 200, 258, 9, Rgb(0x8A3A3A));
}

void ChiyoPout(Canvas& c) {
  ChiyoEyes(c, 2);
  c.Fill(Segment(192, 262, 208, 260, 2.2f), Rgb(0x8A3A3A));
  c.Fill(Ellipse(238, 246, 5, 3), Rgb(0xF2A8A0, 0.8f));
}

// 朔 with his eyes open wide and his mouth round: the lights are coming.
void SakuSurprised(Canvas& c) {
  for (float ex : {174.0f, 214.0f}) {
    c.Fill(Segment(ex - 10, 172, ex + 10, 170, 3.0f), Rgb(0x4A4450));
    c.Fill(Ellipse(ex, 192, 6, 7), Rgb(0x2A2024));
    c.Fill(Circle(ex + 2, 189, 1.8f), Rgb(0xFFFFFF));
  }
  c.Fill(Segment(194, 200, 190, 218, 1.6f), Rgb(0xB89478));
  c.Fill(Ellipse(194, 230, 6, 7), Rgb(0x6A3A30));
}

struct Picture {
  const char* name;
  bool alpha;
  std::function<void(Canvas&)> draw;
};

}  // namespace

bool MakeScenePictures(std::vector<OutputFile>& out, std::string& error) {
  const Picture pictures[] = {
      {"H010000", false, StreetAtDusk},
      {"H020000", false, RiverAtNight},
      {"H030000", false, HillAboveTown},
      {"H021000", true, [](Canvas& c) { FallingLights(c, 0x21000ull, 300); }},
      {"H031000", true, [](Canvas& c) { FallingLights(c, 0x31000ull, 360); }},
      {"A000100", true, TokoPose},
      {"A000001", true, TokoSmile},
      {"A000002", true, TokoSurprised},
      {"B000100", true, SakuPose},
      {"B000001", true, SakuCalm},
      {"B000002", true, SakuSurprised},
      {"C000100", true, ChiyoPose},
      {"C000001", true, ChiyoSmile},
      {"C000002", true, ChiyoPout},
  };
  for (const Picture& p : pictures) {
    const bool character = p.name[0] != 'H';
    Canvas canvas(character ? 400 : kW, kH);
    p.draw(canvas);
    OutputFile file{std::string(p.name) + ".png", {}};
    if (!EncodePng(canvas, p.alpha, file.bytes, error)) {
      error = std::string(p.name) + ": " + error;
      return false;
    }
    out.push_back(std::move(file));
  }
  return true;
}

}  // namespace samplebuild
