// The sample game's album and replay pages, their thumbnail strips, the backlog faces and the
// album's tune: flat shapes and a few pixel-font words, small in bytes.
#include <cmath>

#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {
namespace {

constexpr int kPageWidth = 800;
constexpr int kPageHeight = 640;  // the page picture, then the highlighted buttons below 600
constexpr int kThumbW = 140, kThumbH = 105;
constexpr int kButtonW = 136, kButtonH = 40;
constexpr int kFace = 48;

bool Png(Canvas& canvas, const std::string& name, bool alpha, std::vector<OutputFile>& out, std::string& error) {
  OutputFile file{name + ".png", {}};
  if (!EncodePng(canvas, alpha, file.bytes, error)) {
    error = name + ": " + error;
    return false;
  }
  out.push_back(std::move(file));
  return true;
}

Box At(int x, int y, int w, int h) {
  return Box{x, y, x + w, y + h};
}

void Flat(Canvas& c, Box b, Colour colour) {
  c.Set(b, [colour](float, float) { return colour; });
}

// A button: a frame with an arrow (-1 left, 1 right) or a word; lit draws it brighter.
bool Button(Canvas& c, int x, int y, int arrow, const char* word, bool lit, std::string& error) {
  Flat(c, At(x, y, kButtonW, kButtonH), Rgb(lit ? 0xE8C070 : 0x6A5030));
  Flat(c, At(x + 3, y + 3, kButtonW - 6, kButtonH - 6), Rgb(lit ? 0xF8E0A0 : 0x30241A));
  const Colour ink = Rgb(lit ? 0x30241A : 0xE8D8B0);
  const float cx = x + kButtonW / 2.0f, cy = y + kButtonH / 2.0f;
  if (arrow) {
    c.Fill(Polygon({cx - 12.0f * arrow, cy - 10, cx + 12.0f * arrow, cy, cx - 12.0f * arrow, cy + 10}), ink);
    return true;
  }
  return DrawPixelText(c, word, x + (kButtonW - PixelTextWidth(word)) / 2, y + 16, ink, error);
}

// A page picture: the background with its heading, and the button frames the layout points at
// (normal at y 536, highlighted at y 600; exit at x 640, previous at 24, next at 176).
bool Page(const char* heading, uint32_t tint, const std::string& name, std::vector<OutputFile>& out,
          std::string& error) {
  Canvas c(kPageWidth, kPageHeight);
  Flat(c, Box{0, 0, kPageWidth, kPageHeight}, Rgb(tint));
  Flat(c, Box{0, 90, kPageWidth, 94}, Rgb(0xE8C070));
  if (!DrawPixelText(c, heading, 40, 60, Rgb(0xF8E8C0), error)) return false;
  for (int lit = 0; lit < 2; ++lit) {
    const int y = lit ? 600 : 536;
    if (!Button(c, 640, y, 0, "CLOSE", lit, error) || !Button(c, 24, y, -1, nullptr, lit, error) ||
        !Button(c, 176, y, 1, nullptr, lit, error))
      return false;
  }
  return Png(c, name, false, out, error);
}

// A thumbnail strip: a row per entry in global order, the normal picture at x 0 and the
// highlighted one at x 140, then the locked row.
bool Strip(const std::vector<std::pair<const char*, uint32_t>>& rows, const std::string& name,
           std::vector<OutputFile>& out, std::string& error) {
  const int count = static_cast<int>(rows.size());
  Canvas c(2 * kThumbW, (count + 1) * kThumbH);
  for (int r = 0; r <= count; ++r) {
    const bool locked = r == count;
    for (int lit = 0; lit < 2; ++lit) {
      const int x = lit * kThumbW, y = r * kThumbH;
      const uint32_t fill = locked ? 0x303030 : rows[size_t(r)].second;
      Flat(c, At(x, y, kThumbW, kThumbH), Rgb(lit ? 0xF8E0A0 : 0x605040));
      Flat(c, At(x + 4, y + 4, kThumbW - 8, kThumbH - 8), Rgb(fill));
      if (locked) {
        c.Fill(Outline(Circle(x + 70.0f, y + 44.0f, 12), 5), Rgb(0x909090));
        Flat(c, At(x + 54, y + 50, 32, 26), Rgb(0x909090));
        continue;
      }
      const char* word = rows[size_t(r)].first;
      if (!DrawPixelText(c, word, x + (kThumbW - PixelTextWidth(word)) / 2, y + 80, Rgb(0xFFFFFF), error)) return false;
    }
  }
  return Png(c, name, false, out, error);
}

// The backlog faces: one 48 x 48 cell per speaker letter, a round face with its letter.
bool Faces(std::vector<OutputFile>& out, std::string& error) {
  const std::pair<const char*, uint32_t> faces[] = {{"T", 0xD86A50}, {"S", 0x5078C8}, {"C", 0xE0A040}};
  Canvas c(kFace * 3, kFace);
  for (int n = 0; n < 3; ++n) {
    const float cx = kFace * n + 24.0f;
    c.Fill(Circle(cx, 24, 21), Rgb(faces[n].second));
    c.Fill(Outline(Circle(cx, 24, 21), 2), Rgb(0xFFF4E0));
    if (!DrawPixelText(c, faces[n].first, kFace * n + 22, 21, Rgb(0xFFFFFF), error)) return false;
  }
  return Png(c, "title/backlogface", true, out, error);
}

// The album's tune: a slow music-box melody over a drone, eight seconds, looping.
std::vector<float> AlbumTune(bool right) {
  constexpr int kRate = 44100;
  const int notes[] = {72, 76, 79, 76, 74, 77, 81, 79, 72, 76, 79, 84, 83, 79, 76, 74};
  const size_t step = kRate / 2;
  std::vector<float> v(step * 16);
  for (size_t i = 0; i < v.size(); ++i) {
    const double t = double(i) / kRate;
    double s = 0.06 * std::sin(6.283185307179586 * 130.81 * t) * (right ? 0.8 : 1.0);
    const size_t k = i / step;
    const double u = double(i % step) / kRate;
    const double hz = 440.0 * std::pow(2.0, (notes[k] - 69) / 12.0);
    s += 0.25 * std::exp(-5 * u) * std::sin(6.283185307179586 * hz * u) * (right ? 1.0 : 0.8);
    v[i] = static_cast<float>(s);
  }
  return v;
}

}  // namespace

bool MakeAlbumData(std::vector<OutputFile>& script, std::vector<OutputFile>& sound, std::string& error) {
  if (!Page("CG ALBUM", 0x283848, "title/cg_p1", script, error) ||
      !Page("CG ALBUM", 0x382848, "title/cg_p2", script, error) ||
      !Page("SCENE REPLAY", 0x284030, "title/s_p1", script, error))
    return false;
  if (!Strip({{"STREET", 0xC07848}, {"RIVER", 0x3860A0}, {"HILL", 0x588040}, {"LANTERN", 0x806090}, {"SKY", 0xA08850}},
             "title/cg_thumb1", script, error) ||
      !Strip({{"RIVER", 0x3860A0}, {"HILL", 0x588040}}, "title/s_thumb1", script, error))
    return false;
  if (!Faces(script, error)) return false;
  OutputFile tune{"bgm/album.ogg", {}};
  if (!EncodeStereoOgg(AlbumTune(false), AlbumTune(true), 0x4C60, tune.bytes, error)) {
    error = "bgm/album.ogg: " + error;
    return false;
  }
  sound.push_back(std::move(tune));
  return true;
}

}  // namespace samplebuild
