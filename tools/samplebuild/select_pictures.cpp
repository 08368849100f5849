// The turn selection's pictures: its background, the band behind the turn's caption, and each
// turn's choice plain and highlighted (the single turns narrow, the joined pairs wide).
#include <string>
#include <vector>

#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {

namespace {

// The turn selection places a single turn at x 594 and a pair at 408, so both end at x 780.
constexpr int kChoiceHeight = 32;
constexpr int kSelectSingleWidth = 186;
constexpr int kSelectPairWidth = 372;
constexpr uint32_t kSelectBackground = 0x1C2A44;
constexpr uint32_t kSelectPlain = 0x3A5A8C;
constexpr uint32_t kSelectLit = 0xD08A30;

bool Encode(const std::string& name, const Canvas& canvas, bool alpha, std::vector<OutputFile>& out,
            std::string& error) {
  OutputFile file{name + ".png", {}};
  if (!EncodePng(canvas, alpha, file.bytes, error)) {
    error = name + ": " + error;
    return false;
  }
  out.push_back(std::move(file));
  return true;
}

// A choice: a flat box with a border and its letters, in the plain or the highlighted colours.
bool Choice(const std::string& letters, bool lit, std::vector<OutputFile>& out, std::string& error) {
  const int width = letters.size() > 1 ? kSelectPairWidth : kSelectSingleWidth;
  Canvas canvas(width, kChoiceHeight, Rgb(lit ? kSelectLit : kSelectPlain));
  canvas.Fill(Outline(RoundBox(1, 1, float(width - 1), float(kChoiceHeight - 1), 3), 2), Rgb(0xF0E8D0));
  if (!DrawPixelText(canvas, "TURN " + letters, 12, (kChoiceHeight - 7) / 2, Rgb(0xF0E8D0), error)) return false;
  return Encode("select/SEL_" + letters + (lit ? "_1" : "_0"), canvas, false, out, error);
}

}  // namespace

bool MakeSelectPictures(std::vector<OutputFile>& out, std::string& error) {
  Canvas background(800, 600, Rgb(kSelectBackground));
  background.Fill(RoundBox(390, 200, 790, 380, 8), Rgb(0x2A4066));
  if (!Encode("select/selbg", background, false, out, error)) return false;

  Canvas band(800, 100, Rgb(0x101828, 0.75f));
  if (!Encode("turnbg", band, true, out, error)) return false;

  for (const char* letters : {"A", "B", "C", "D", "AB", "CD"})
    for (bool lit : {false, true})
      if (!Choice(letters, lit, out, error)) return false;
  return true;
}

}  // namespace samplebuild
