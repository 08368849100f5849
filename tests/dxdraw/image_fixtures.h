// Image files for the decoder tests, written with the libraries' own writers (and by hand for
// the engine's own formats).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testutil {

using Bytes = std::vector<uint8_t>;

struct PngSpec {
  int width = 0, height = 0;
  int colorType = 2;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlace = false;
  std::vector<uint8_t> rows;     // packed rows as libpng takes them, top row first
  std::vector<uint8_t> palette;  // R, G, B triples
  std::vector<uint8_t> trns;     // palette alphas, or the grey/RGB key as 16-bit values
};
Bytes EncodePng(const PngSpec& spec);

// components 1 (grey), 3 (RGB) or 4 (CMYK); samples row by row, top first.
Bytes EncodeJpeg(int width, int height, int components, const std::vector<uint8_t>& samples);

struct TiffSpec {
  int width = 0, height = 0;
  int bitsPerSample = 8;
  int samplesPerPixel = 3;
  int photometric = 2;
  int rowsPerStrip = 1;
  std::vector<uint8_t> samples;     // rows top first
  std::vector<uint16_t> samples16;  // the same for 16 bits per sample
  std::vector<uint16_t> colormap;   // red, green, blue arrays of 2^bits entries each
  bool bigEndian = false;           // the file's byte order (libtiff writes this machine's otherwise)
};
Bytes EncodeTiff(const TiffSpec& spec);

// A BMP file: 14-byte file header, 40-byte information header, table, rows as given.
Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, const std::vector<uint8_t>& table,
              const std::vector<uint8_t>& rows, uint32_t compression = 0, uint32_t headerSize = 40, uint32_t gap = 0);

// A BITFIELDS BMP written field by field: file header, information header of headerSize bytes
// (40: the three colour masks follow it; 52: colour masks inside; 56, 108, 124: colour and alpha
// masks inside), gap bytes, then the pixels as stored. offBits 0 means the real offset.
struct BitfieldsBmpSpec {
  int32_t width = 0, height = 0;
  uint16_t bits = 32;
  uint32_t headerSize = 124;
  uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};  // red, green, blue, alpha
  uint32_t gap = 0;
  uint32_t offBits = 0;
  std::vector<uint32_t> pixels;  // rows in file order
};
Bytes MakeBitfieldsBmp(const BitfieldsBmpSpec& spec);

// An HBM file: 16-byte header, then the rows stored plainly or as one zlib stream.
Bytes MakeHbm(uint32_t width, uint32_t height, uint32_t flags, const std::vector<uint8_t>& rows);

void Put32(Bytes& b, size_t at, uint32_t v);
void Put16(Bytes& b, size_t at, uint16_t v);

}  // namespace testutil
