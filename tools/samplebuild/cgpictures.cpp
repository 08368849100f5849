// The sample game's CG picture: the festival night over the river in flat colours, and the
// lantern that its one overlay lays over it, in the background name scheme (E010000, E011000).
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

}  // namespace

bool MakeCgPictures(std::vector<OutputFile>& out, std::string& error) {
  struct Picture {
    const char* name;
    bool alpha;
    void (*draw)(Canvas&);
  };
  const Picture pictures[] = {{"E010000", false, FestivalNight}, {"E011000", true, FloatingLantern}};
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
