// TIFF into a packed bitmap over libtiff: grey, RGB and RGBA of 8 or 16 bits per sample (16-bit samples
// reduced to their high byte), 8-bit palette images; every copy bounded.
#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <vector>

#include "dxdraw/image.h"
#include "lib/error.h"

namespace DxDraw {

namespace {

struct TiffMemStream {
  const uint8_t* data;
  uint64_t size;
  uint64_t pos;
};

tmsize_t TiffMemReadProc(thandle_t h, void* buffer, tmsize_t n) {
  auto* s = static_cast<TiffMemStream*>(h);
  if (n <= 0) return 0;
  const uint64_t left = s->pos < s->size ? s->size - s->pos : 0;
  if (static_cast<uint64_t>(n) <= left) {
    std::memcpy(buffer, s->data + s->pos, static_cast<size_t>(n));
    s->pos += static_cast<uint64_t>(n);
    return n;
  }
  if (left) std::memcpy(buffer, s->data + s->pos, static_cast<size_t>(left));
  s->pos = s->size;
  return 0;
}

tmsize_t TiffWriteProc(thandle_t, void*, tmsize_t) {
  return 0;
}

// Positions are kept within the data: a seek before the start or past the end stops at the edge.
toff_t TiffMemSeekProc(thandle_t h, toff_t offset, int whence) {
  auto* s = static_cast<TiffMemStream*>(h);
  const int64_t off = static_cast<int64_t>(offset);
  int64_t pos;
  if (whence == SEEK_CUR)
    pos = static_cast<int64_t>(s->pos) + off;
  else if (whence == SEEK_END)
    pos = static_cast<int64_t>(s->size) + off;
  else
    pos = off;
  if (pos < 0) pos = 0;
  if (static_cast<uint64_t>(pos) > s->size) pos = static_cast<int64_t>(s->size);
  s->pos = static_cast<uint64_t>(pos);
  return s->pos;
}

int TiffCloseProc(thandle_t) {
  return 0;
}
toff_t TiffMemSizeProc(thandle_t h) {
  return static_cast<TiffMemStream*>(h)->size;
}
int TiffMapProc(thandle_t, void**, toff_t*) {
  return 0;
}
void TiffUnmapProc(thandle_t, void*, toff_t) {}

void TiffErrorToLog(const char* module, const char* fmt, va_list args) {
  char buffer[256];
  vsnprintf(buffer, sizeof buffer, fmt, args);
  DebugPrintf(u"libtiff: %hs: %hs\n", module ? module : "", buffer);
}

struct TiffCloser {
  TIFF* tif;
  ~TiffCloser() {
    if (tif) TIFFClose(tif);
  }
};

// 16 when any of the first count entries reaches 256, else 8.
int TiffPaletteDepth(int count, const uint16_t* r, const uint16_t* g, const uint16_t* b) {
  for (int i = 0; i < count; ++i)
    if (r[i] >= 256 || g[i] >= 256 || b[i] >= 256) return 16;
  return 8;
}

}  // namespace

PackedDib LoadTiffToDib(const uint8_t* data, size_t size) {
  PackedDib out;
  if (!data || size == 0) return out;
  TIFFSetWarningHandler(nullptr);
  TIFFSetErrorHandler(TiffErrorToLog);
  TiffMemStream stream{data, size, 0};
  TiffCloser closer{TIFFClientOpen("", "rm", &stream, TiffMemReadProc, TiffWriteProc, TiffMemSeekProc, TiffCloseProc,
                                   TiffMemSizeProc, TiffMapProc, TiffUnmapProc)};
  TIFF* tif = closer.tif;
  if (!tif) return out;
  uint32_t width = 0, height = 0, rowsPerStrip = 0;
  uint16_t bits = 1, spp = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height)) return out;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return out;
  if ((bits != 8 && bits != 16) || TIFFIsTiled(tif) || planar != PLANARCONFIG_CONTIG) return out;
  if (!DibSizeAcceptable(width, height, 32)) return out;
  const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
  if (photometric == PHOTOMETRIC_PALETTE) {
    if (spp != 1 || bits != 8) return out;  // a colour table has at most 256 entries
  } else if (grey) {
    if (spp != 1) return out;
  } else if (photometric == PHOTOMETRIC_RGB) {
    if (spp != 3 && spp != 4) return out;
  } else {
    return out;
  }
  const uint32_t sampleBytes = bits / 8;
  const tmsize_t scanline = TIFFScanlineSize(tif);
  if (scanline <= 0 || static_cast<uint64_t>(scanline) != uint64_t{width} * spp * sampleBytes) return out;
  if (rowsPerStrip == 0 || rowsPerStrip > height) rowsPerStrip = height;
  const uint16_t depth = static_cast<uint16_t>(8 * spp);
  const uint32_t entries = spp == 1 ? 256 : 0;
  if (!AllocatePackedDib(out, static_cast<int32_t>(width), static_cast<int32_t>(height), depth, entries)) return out;
  uint8_t* table = out.bytes.data() + kDibHeaderSize;
  if (photometric == PHOTOMETRIC_PALETTE) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b) {
      out.bytes.clear();
      return out;
    }
    const bool wide = TiffPaletteDepth(256, r, g, b) == 16;
    for (int i = 0; i < 256; ++i) {
      auto conv = [wide](uint16_t v) { return static_cast<uint8_t>(wide ? v * 255u / 65535u : v & 0xFF); };
      table[i * 4] = conv(b[i]);
      table[i * 4 + 1] = conv(g[i]);
      table[i * 4 + 2] = conv(r[i]);
    }
  } else if (grey) {
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(photometric == PHOTOMETRIC_MINISWHITE ? 255 - i : i);
      table[i * 4] = table[i * 4 + 1] = table[i * 4 + 2] = v;
    }
  }
  const uint64_t stride = DibRowSize(width, depth);
  uint8_t* rows = table + entries * 4;
  const tmsize_t stripSize = TIFFStripSize(tif);
  if (stripSize <= 0 || static_cast<uint64_t>(stripSize) > kMaxImageBytes) {
    out.bytes.clear();
    return out;
  }
  std::vector<uint8_t> strip(static_cast<size_t>(stripSize));
  std::vector<uint8_t> line(sampleBytes == 2 ? size_t{width} * spp : 0);  // one row reduced to bytes
  for (uint32_t row = 0; row < height; row += rowsPerStrip) {
    const uint32_t n = height - row < rowsPerStrip ? height - row : rowsPerStrip;
    const tmsize_t got = TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, row, 0), strip.data(), stripSize);
    if (got < 0 || static_cast<uint64_t>(got) < uint64_t{n} * static_cast<uint64_t>(scanline)) {
      out.bytes.clear();
      return out;
    }
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* s = strip.data() + uint64_t{i} * scanline;
      uint8_t* d = rows + (height - 1 - (row + i)) * stride;
      if (sampleBytes == 2) {
        // libtiff hands 16-bit samples over in this machine's byte order; their high byte is kept.
        for (uint64_t k = 0; k < uint64_t{width} * spp; ++k) {
          uint16_t v;
          std::memcpy(&v, s + 2 * k, 2);
          line[k] = static_cast<uint8_t>(v >> 8);
        }
        s = line.data();
      }
      if (spp == 1) {
        std::memcpy(d, s, width);
      } else {
        for (uint32_t x = 0; x < width; ++x, s += spp, d += spp) {
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
          if (spp == 4) d[3] = s[3];
        }
      }
    }
  }
  return out;
}

}  // namespace DxDraw
