// The sample game's builder: what each generator makes and the names it is stored under.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/samplebuild/canvas.h"

namespace samplebuild {

// A generated file: its path inside its archive's folder and its bytes.
struct OutputFile {
  std::string path;
  std::vector<uint8_t> bytes;
};

// The "SYSTEM" picture: window frame, buttons, marks, choice frame and cursors.
bool DrawSystemPicture(Canvas& canvas, std::string& error);
constexpr int kSystemWidth = 800;
constexpr int kSystemHeight = 432;

// Backgrounds (800 × 600, opaque), their overlays and the character pictures (transparent),
// each under the name the scenario composes it by (without extension).
bool MakeScenePictures(std::vector<OutputFile>& out, std::string& error);
// The CG picture (800 × 600, opaque) and its overlay, in the background name scheme.
bool MakeCgPictures(std::vector<OutputFile>& out, std::string& error);

// Music, voices and effects as Ogg Vorbis, under "bgm/", "voice/" and "se/".
bool MakeStreamSounds(std::vector<OutputFile>& out, std::string& error);
// The two system sounds as PCM WAVE.
bool MakeSystemSounds(std::vector<OutputFile>& out, std::string& error);

// UTF-8 text to Shift-JIS (code page 932); an error names the line of a character that
// code page 932 cannot hold, or of bytes that are not UTF-8.
bool ConvertTextToSjis(const std::vector<uint8_t>& utf8, std::vector<uint8_t>& out, std::string& error);

}  // namespace samplebuild
