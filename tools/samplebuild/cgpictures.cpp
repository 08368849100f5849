// The sample game's CG pictures: the festival night over the river with the lantern its one
// overlay lays over it (E010000, E011000), and the sky of falling lights over the bridge (E020000).
#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {
namespace {

constexpr int kW = 800, kH = 600;

// Night sky, the far bank and the water, in three flat bands, with a full moon.
void FestivalNight(Canvas& c) {
  c.Set(Box{0, 0, kW, 300}, [](float, float) { return Rgb(0x1A2452); });
  c.Set(Box{0, 300, kW, 340}, [](float, float) { return Rgb(0x0C0C1E); });
  c.Set(Box{0, 340, kW, kH}, [](float, float) { return Rgb(0x203070); });
  c.Fill(Circle(640, 110, 40), Rgb(0xF8EED0));
}

// One large paper lantern floating in the middle of the picture; transparent elsewhere.
void FloatingLantern(Canvas& c) {
  c.Fill(RoundBox(340, 250, 460, 390, 24), Rgb(0xF49A4E));
  c.Fill(RoundBox(320, 390, 480, 410, 4), Rgb(0x2A1A14));
}

// The sky over the bridge, white with falling lights, and the lit hand that catches one.
void LightsOverBridge(Canvas& c) {
  c.Set(Box{0, 0, kW, 380}, [](float, float) { return Rgb(0xE8E4F4); });
  c.Set(Box{0, 380, kW, kH}, [](float, float) { return Rgb(0x38304A); });
  c.Fill(Polygon({0, 420, 800, 400, 800, 430, 0, 450}), Rgb(0x6A3A2A));
  Random rng(0xE020000ull);
  for (int i = 0; i < 40; ++i)
    c.Fill(Circle(rng.Uniform(0, kW), rng.Uniform(0, 380), rng.Uniform(3, 7)), Rgb(0xF8C860));
  c.Fill(Ellipse(400, 520, 70, 34), Rgb(0xF0D0B8));
  c.Fill(Circle(400, 500, 14), Rgb(0xFFE890));
}

}  // namespace

bool MakeCgPictures(std::vector<OutputFile>& out, std::string& error) {
  struct Picture {
    const char* name;
    bool alpha;
    void (*draw)(Canvas&);
  };
  const Picture pictures[] = {
      {"E010000", false, FestivalNight}, {"E011000", true, FloatingLantern}, {"E020000", false, LightsOverBridge}};
  for (const Picture& p : pictures) {
    Canvas canvas(kW, kH);
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
