// The sample game's builder: what each generator makes and the names it is stored under.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/samplebuild/canvas.h"

namespace samplebuild {

// A generated file: its path inside its archive's folder and its bytes.
struct OutputFile {
  std::string path;
  std::vector<uint8_t> bytes;
};

// The "SYSTEM" picture: window frame, buttons, marks, choice frame, cursors and the backlog's
// scroll bar.
bool DrawSystemPicture(Canvas& canvas, std::string& error);
constexpr int kSystemWidth = 800;
constexpr int kSystemHeight = 808;

// Backgrounds (800 × 600, opaque), their overlays and the character pictures (transparent),
// each under the name the scenario composes it by (without extension).
bool MakeScenePictures(std::vector<OutputFile>& out, std::string& error);
// The CG picture (800 × 600, opaque) and its overlay, in the background name scheme.
bool MakeCgPictures(std::vector<OutputFile>& out, std::string& error);

// The turn selection's pictures: "select/selbg", "turnbg" and "select/SEL_*_0" (plain) and
// "_1" (highlighted) for the turns A, B, C, D and the pairs AB, CD, in flat colours.
bool MakeSelectPictures(std::vector<OutputFile>& out, std::string& error);

// Music, voices and effects as Ogg Vorbis, under "bgm/", "voice/" and "se/".
bool MakeStreamSounds(std::vector<OutputFile>& out, std::string& error);
// The two system sounds as PCM WAVE.
bool MakeSystemSounds(std::vector<OutputFile>& out, std::string& error);

// Stereo samples (-1..1, kSampleRate a second) as Ogg Vorbis with the given stream serial.
constexpr int kSampleRate = 44100;
bool EncodeStereoOgg(const std::vector<float>& left, const std::vector<float>& right, int serial,
                     std::vector<uint8_t>& out, std::string& error);
// The screens' pictures (brand logo, title sheet, manual, ending roll) and the title music.
bool MakeScreenFiles(std::vector<OutputFile>& script, std::vector<OutputFile>& sound, std::string& error);

// Japanese text with the IPA fonts (Mincho or Gothic) at a cell height, its cell's top-left corner
// at (x, y); an error when the fonts are missing. The width is the cells' (full- and half-width).
bool DrawFontText(Canvas& canvas, std::u16string_view text, int x, int y, int height, bool mincho, Colour colour,
                  std::string& error);
int FontTextWidth(std::u16string_view text, int height);

// The save thumbnails: "thumb/<base>" for each background base the story shows.
bool MakeSaveThumbnails(std::vector<OutputFile>& out, std::string& error);

// UTF-8 text to Shift-JIS (code page 932); an error names the line of a character that
// code page 932 cannot hold, or of bytes that are not UTF-8.
bool ConvertTextToSjis(const std::vector<uint8_t>& utf8, std::vector<uint8_t>& out, std::string& error);

// The album and replay pages and thumbnail strips and the backlog faces (into script), and the
// album's tune (into sound).
bool MakeAlbumData(std::vector<OutputFile>& script, std::vector<OutputFile>& sound, std::string& error);

}  // namespace samplebuild
