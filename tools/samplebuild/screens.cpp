// The sample game's screen pictures and title music: the brand logo, the title sheet with every
// button of the title, extras and settings menus, the manual's pages and buttons, the ending roll's
// credit pictures (with Japanese lines in the IPA fonts), and a music-box tune for the title.
#include <cmath>
#include <string>
#include <utility>

#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {
namespace {

constexpr int kW = 800, kH = 600;

// Pixel-font text drawn `scale` times its size, its top-left corner at (x, y).
bool BigText(Canvas& c, std::string_view text, int x, int y, int scale, Colour colour, std::string& error) {
  Canvas small(PixelTextWidth(text), 7);
  if (!DrawPixelText(small, text, 0, 0, Rgb(0xFFFFFF), error)) return false;
  for (int sy = 0; sy < small.Height(); ++sy)
    for (int sx = 0; sx < small.Width(); ++sx)
      if (small.At(sx, sy).a > 0.5f)
        c.Set(Box{x + sx * scale, y + sy * scale, x + (sx + 1) * scale, y + (sy + 1) * scale},
              [&](float, float) { return colour; });
  return true;
}

// Text centred on x.
bool CentredText(Canvas& c, std::string_view text, int cx, int y, int scale, Colour colour, std::string& error) {
  return BigText(c, text, cx - PixelTextWidth(text) * scale / 2, y, scale, colour, error);
}

void FlatBox(Canvas& c, Box box, uint32_t rgb) {
  c.Set(box, [=](float, float) { return Rgb(rgb); });
}

// A framed flat box: a 2-pixel border around the fill.
void FramedBox(Canvas& c, Box box, uint32_t fill, uint32_t border) {
  FlatBox(c, box, border);
  FlatBox(c, Box{box.left + 2, box.top + 2, box.right - 2, box.bottom - 2}, fill);
}

// The colours of a title-sheet button, normal and highlighted (the tests read them).
constexpr uint32_t kButtonFill = 0x243450, kButtonBorder = 0x7088B0, kButtonLabel = 0xFFFFFF;
constexpr uint32_t kLitFill = 0xF0B050, kLitBorder = 0xFFF0C0, kLitLabel = 0x302010;

bool SheetButton(Canvas& c, int column, int row, std::string_view label, std::string& error) {
  const int normalY = 608 + 48 * row, litY = 896 + 48 * row;
  FramedBox(c, Box{column, normalY, column + 248, normalY + 40}, kButtonFill, kButtonBorder);
  FramedBox(c, Box{column, litY, column + 248, litY + 40}, kLitFill, kLitBorder);
  return CentredText(c, label, column + 124, normalY + 13, 2, Rgb(kButtonLabel), error) &&
         CentredText(c, label, column + 124, litY + 13, 2, Rgb(kLitLabel), error);
}

bool TitleSheet(Canvas& c, std::string& error) {
  c.Set(Box{0, 0, kW, kH}, [](float, float y) { return Mix(Rgb(0x0C1030), Rgb(0x3A2A5A), y / kH); });
  for (int k = 0; k < 7; ++k) {
    const float x = 60 + 62 * k, y = 420 + 30 * std::sin(k * 1.3f);
    c.Glow(x, y, 40, Rgb(0xFFA050), 0.5f);
    c.Fill(Ellipse(x, y, 14, 18), Rgb(0xF08A4A));
  }
  if (!BigText(c, "LANTERNFALL", 48, 96, 6, Rgb(0xFFE8B0), error)) return false;
  if (!BigText(c, "TRIAL", 52, 160, 3, Rgb(0xC0B0E0), error)) return false;
  if (!DrawFontText(c, u"灯降る町　体験版", 52, 196, 32, true, Rgb(0xF0E0FF), error)) return false;
  FlatBox(c, Box{0, kH, kW, c.Height()}, 0x101010);
  const char* title[] = {"MANUAL", "START", "LOAD", "SETTINGS", "BONUS", "QUIT"};
  for (int row = 0; row < 6; ++row)
    if (!SheetButton(c, 0, row, title[row], error)) return false;
  const std::pair<int, const char*> settings[] = {{0, "SYSTEM"}, {1, "SOUND"}, {2, "NAME"}, {5, "BACK"}};
  for (const auto& [row, label] : settings)
    if (!SheetButton(c, 256, row, label, error)) return false;
  const std::pair<int, const char*> extras[] = {{0, "ALBUM"}, {1, "REPLAY"}, {5, "BACK"}};
  for (const auto& [row, label] : extras)
    if (!SheetButton(c, 512, row, label, error)) return false;
  return true;
}

bool Brand(Canvas& c, std::string& error) {
  c.Glow(400, 250, 120, Rgb(0xFFB060), 0.6f);
  c.Fill(Ellipse(400, 250, 46, 58), Rgb(0xF08A4A));
  c.Fill(RoundBox(370, 186, 430, 196, 2), Rgb(0x201010));
  c.Fill(RoundBox(370, 304, 430, 314, 2), Rgb(0x201010));
  return CentredText(c, "QUILLBROOK", 400, 360, 4, Rgb(0xF0E0C0), error);
}

// The manual's button sheet: previous, next and close, each normal (x 0) and highlighted (x 56).
bool ManualButtons(Canvas& c, std::string& error) {
  const int rows[] = {56, 0, 112};  // previous, next, close
  for (int k = 0; k < 3; ++k) {
    for (int lit = 0; lit < 2; ++lit) {
      const float x = lit ? 56.0f : 0.0f, y = float(rows[k]);
      c.Fill(RoundBox(x, y, x + 50, y + 50, 10), Rgb(lit ? kLitFill : kButtonFill));
      const Colour mark = Rgb(lit ? kLitLabel : kButtonLabel);
      if (k == 0) c.Fill(Polygon({x + 32, y + 13, x + 32, y + 37, x + 16, y + 25}), mark);
      if (k == 1) c.Fill(Polygon({x + 18, y + 13, x + 18, y + 37, x + 34, y + 25}), mark);
      if (k == 2) {
        c.Fill(Segment(x + 16, y + 16, x + 34, y + 34, 4), mark);
        c.Fill(Segment(x + 34, y + 16, x + 16, y + 34, 4), mark);
      }
    }
  }
  (void)error;
  return true;
}

// Page colours of the manual, one each (the tests tell the pages apart by them).
constexpr uint32_t kManualPages[4] = {0x203848, 0x382048, 0x204830, 0x483020};

bool ManualPage(Canvas& c, int page, std::string& error) {
  FlatBox(c, Box{0, 0, kW, kH}, kManualPages[page]);
  if (!BigText(c, "MANUAL", 40, 40, 5, Rgb(0xFFFFFF), error)) return false;
  const char* lines[] = {"LEFT CLICK   READ ON", "RIGHT CLICK   SKIP", "SAVE AND LOAD", "THE BACKLOG"};
  if (!BigText(c, "PAGE", 40, 110, 3, Rgb(0xE0E0E0), error)) return false;
  for (int k = 0; k <= page; ++k) c.Fill(Circle(180 + 24 * k, 120, 8), Rgb(0xFFD080));
  std::string line = lines[page];
  for (char& ch : line)
    if (ch == ' ') ch = '.';
  if (!BigText(c, line, 40, 200, 3, Rgb(0xD0D8E0), error)) return false;
  const char16_t* japanese[] = {u"左クリックで、次の文へ進みます。", u"右クリックで、文章を読み飛ばします。",
                                u"メニューから、いつでも保存と読み込みができます。",
                                u"ボタンから、読んだ文章をもう一度見られます。"};
  return DrawFontText(c, japanese[page], 40, 260, 24, false, Rgb(0xFFFFFF), error);
}

// The credit pictures: each has its own colour in the middle (red, green, blue in turn).
constexpr uint32_t kCredits[3] = {0xC04040, 0x40C040, 0x4040C0};

bool Credit(Canvas& c, int k, std::string& error) {
  FlatBox(c, Box{0, 0, kW, kH}, 0x000000);
  FlatBox(c, Box{200, 200, 600, 400}, kCredits[k]);
  const char* titles[] = {"STAFF", "MUSIC", "THANK YOU"};
  std::string title = titles[k];
  for (char& ch : title)
    if (ch == ' ') ch = '.';
  if (!CentredText(c, title, 400, 120, 5, Rgb(0xFFFFFF), error)) return false;
  const char16_t* japanese[] = {u"制作　灯降る町の人々", u"音楽　手回しオルゴール", u"遊んでくれて、ありがとう"};
  return DrawFontText(c, japanese[k], 400 - FontTextWidth(japanese[k], 32) / 2, 440, 32, true, Rgb(0xFFFFFF), error);
}

// A music box: decaying sine notes of a pentatonic melody over a soft bass, six seconds that loop.
std::pair<std::vector<float>, std::vector<float>> TitleTune() {
  constexpr int rate = kSampleRate;
  constexpr double beat = 0.375;
  const size_t frames = size_t(16 * beat * rate);
  std::vector<float> left(frames), right(frames);
  const int melody[16] = {76, 79, 81, 79, 76, 74, 72, 74, 76, 79, 84, 81, 79, 76, 74, 72};
  const int bass[4] = {48, 45, 41, 43};
  auto note = [&](size_t at, int midi, double seconds, float gain, float pan) {
    const double hz = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
    const size_t n = size_t(seconds * rate);
    for (size_t i = 0; i < n; ++i) {
      const double t = double(i) / rate;
      const float v = float(std::exp(-3.0 * t) * (std::sin(6.283185307 * hz * t) + 0.3 * std::sin(12.56637 * hz * t)));
      const float attack = std::min(1.0f, float(i) / 60.0f);
      const size_t f = (at + i) % frames;
      left[f] += v * gain * attack * (1 - pan);
      right[f] += v * gain * attack * (1 + pan);
    }
  };
  for (int k = 0; k < 16; ++k) note(size_t(k * beat * rate), melody[k], 1.5, 0.25f, k % 2 ? 0.3f : -0.3f);
  for (int k = 0; k < 4; ++k) note(size_t(k * 4 * beat * rate), bass[k], 2.0, 0.3f, 0.0f);
  return {std::move(left), std::move(right)};
}

bool AddPicture(std::vector<OutputFile>& out, const std::string& name, const Canvas& c, bool alpha,
                std::string& error) {
  OutputFile file{name + ".png", {}};
  if (!EncodePng(c, alpha, file.bytes, error)) {
    error = name + ": " + error;
    return false;
  }
  out.push_back(std::move(file));
  return true;
}

}  // namespace

bool MakeScreenFiles(std::vector<OutputFile>& script, std::vector<OutputFile>& sound, std::string& error) {
  Canvas brand(kW, kH, Rgb(0x000000));
  if (!Brand(brand, error) || !AddPicture(script, "brand", brand, false, error)) return false;
  Canvas title(kW, 1176, Rgb(0x000000));
  if (!TitleSheet(title, error) || !AddPicture(script, "title/title", title, false, error)) return false;
  Canvas parts(112, 168);
  if (!ManualButtons(parts, error) || !AddPicture(script, "title/rm_parts", parts, true, error)) return false;
  for (int page = 0; page < 4; ++page) {
    Canvas c(kW, kH);
    if (!ManualPage(c, page, error) || !AddPicture(script, "title/rm_base" + std::to_string(page + 1), c, false, error))
      return false;
  }
  for (int k = 0; k < 3; ++k) {
    Canvas c(kW, kH);
    if (!Credit(c, k, error) || !AddPicture(script, "ed0" + std::to_string(k + 1), c, false, error)) return false;
  }
  const auto [left, right] = TitleTune();
  OutputFile tune{"bgm/title.ogg", {}};
  if (!EncodeStereoOgg(left, right, 0x5449, tune.bytes, error)) {
    error = "bgm/title.ogg: " + error;
    return false;
  }
  sound.push_back(std::move(tune));
  return true;
}

}  // namespace samplebuild
