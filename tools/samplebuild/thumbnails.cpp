// The save thumbnails of the sample's backgrounds ("thumb/H01" and the rest): 140 × 105 flat
// pictures in each scene's colours with its name in Japanese, what a save slot shows.
#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {

bool MakeSaveThumbnails(std::vector<OutputFile>& out, std::string& error) {
  struct Thumb {
    const char* base;
    uint32_t sky, ground;
    const char16_t* name;
  };
  const Thumb thumbs[] = {
      {"H01", 0xD88A5A, 0x5A4038, u"坂の通り"}, {"H02", 0x1A2452, 0x203870, u"川辺"},
      {"H03", 0x2A3260, 0x3A5A30, u"丘の上"},   {"E01", 0x1A2452, 0x203070, u"灯籠流し"},
      {"E02", 0xE8E4F4, 0x38304A, u"灯降り"},
  };
  constexpr int kW = 140, kH = 105, kText = 16;
  for (const Thumb& t : thumbs) {
    Canvas c(kW, kH);
    c.Set(Box{0, 0, kW, 64}, [&](float, float) { return Rgb(t.sky); });
    c.Set(Box{0, 64, kW, kH}, [&](float, float) { return Rgb(t.ground); });
    c.Fill(RoundBox(0, kH - kText - 8, kW, kH, 0), Rgb(0x000000, 0.55f));
    const int x = (kW - FontTextWidth(t.name, kText)) / 2;
    if (!DrawFontText(c, t.name, x, kH - kText - 4, kText, false, Rgb(0xFFFFFF), error)) return false;
    OutputFile file{std::string("thumb/") + t.base + ".png", {}};
    if (!EncodePng(c, false, file.bytes, error)) {
      error = file.path + ": " + error;
      return false;
    }
    out.push_back(std::move(file));
  }
  return true;
}

}  // namespace samplebuild
