// Writers for the decoder tests' fixtures.
#include "image_fixtures.h"

#include <gtest/gtest.h>
// clang-format off
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <jpeglib.h>
// clang-format on
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

namespace testutil {

void Put32(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put16(Bytes& b, size_t at, uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

namespace {
void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void PngFlush(png_structp) {}
}  // namespace

Bytes EncodePng(const PngSpec& s) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng could not write the fixture";
    return {};
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
               s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> pal;
  for (size_t i = 0; i + 2 < s.palette.size(); i += 3)
    pal.push_back({s.palette[i], s.palette[i + 1], s.palette[i + 2]});
  if (!pal.empty()) png_set_PLTE(png, info, pal.data(), static_cast<int>(pal.size()));
  png_color_16 key{};
  if (!s.trns.empty()) {
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
      png_set_tRNS(png, info, s.trns.data(), static_cast<int>(s.trns.size()), nullptr);
    } else {
      key.gray = key.red = s.trns[0];
      key.green = s.trns.size() > 1 ? s.trns[1] : 0;
      key.blue = s.trns.size() > 2 ? s.trns[2] : 0;
      png_set_tRNS(png, info, nullptr, 0, &key);
    }
  }
  png_write_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  std::vector<png_bytep> rows(s.height);
  for (int y = 0; y < s.height; ++y) rows[y] = const_cast<png_bytep>(s.rows.data() + y * rowBytes);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes EncodeJpeg(int width, int height, int components, const std::vector<uint8_t>& samples) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = width;
  c.image_height = height;
  c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + size_t(c.next_scanline) * width * components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(mem, mem + size);
  jpeg_destroy_compress(&c);
  free(mem);
  return out;
}

Bytes EncodeTiff(const TiffSpec& s) {
  const std::string path = ::testing::TempDir() + "fixture_" + std::to_string(reinterpret_cast<uintptr_t>(&s)) + ".tif";
  TIFF* t = TIFFOpen(path.c_str(), s.bigEndian ? "wb" : "w");
  if (!t) {
    ADD_FAILURE() << "libtiff could not create " << path;
    return {};
  }
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, s.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s.bitsPerSample);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, s.samplesPerPixel);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, s.photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, s.rowsPerStrip);
  if (s.samplesPerPixel == 4) {
    const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  if (!s.colormap.empty()) {
    const size_t n = s.colormap.size() / 3;
    TIFFSetField(t, TIFFTAG_COLORMAP, s.colormap.data(), s.colormap.data() + n, s.colormap.data() + 2 * n);
  }
  const size_t rowBytes = size_t(s.width) * s.samplesPerPixel * s.bitsPerSample / 8;
  const uint8_t* samples =
      s.bitsPerSample == 16 ? reinterpret_cast<const uint8_t*>(s.samples16.data()) : s.samples.data();
  for (int y = 0; y < s.height; ++y) TIFFWriteScanline(t, const_cast<uint8_t*>(samples + y * rowBytes), y, 0);
  TIFFClose(t);
  Bytes out;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    int ch;
    while ((ch = fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(ch));
    fclose(f);
  }
  remove(path.c_str());
  return out;
}

Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, const std::vector<uint8_t>& table,
              const std::vector<uint8_t>& rows, uint32_t compression, uint32_t headerSize, uint32_t gap) {
  Bytes b(14 + headerSize, 0);
  b[0] = 'B';
  b[1] = 'M';
  const uint32_t off = 14 + headerSize + static_cast<uint32_t>(table.size()) + gap;
  Put32(b, 2, off + static_cast<uint32_t>(rows.size()));
  Put32(b, 10, off);
  Put32(b, 14, headerSize);
  if (headerSize >= 40) {
    Put32(b, 18, static_cast<uint32_t>(width));
    Put32(b, 22, static_cast<uint32_t>(height));
    Put16(b, 26, 1);
    Put16(b, 28, bits);
    Put32(b, 30, compression);
    Put32(b, 46, bits <= 8 ? static_cast<uint32_t>(table.size() / 4) : 0);
  }
  b.insert(b.end(), table.begin(), table.end());
  b.insert(b.end(), gap, 0xEE);
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

Bytes MakeBitfieldsBmp(const BitfieldsBmpSpec& s) {
  const uint32_t masksAfter = s.headerSize == 40 ? 12 : 0;
  const uint32_t realOff = 14 + s.headerSize + masksAfter + s.gap;
  const uint32_t pixelBytes = static_cast<uint32_t>(s.pixels.size() * 4);
  Bytes b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, 2, realOff + pixelBytes);
  Put16(b, 6, 0);
  Put16(b, 8, 0);
  Put32(b, 10, s.offBits ? s.offBits : realOff);
  Put32(b, 14, s.headerSize);
  Put32(b, 18, static_cast<uint32_t>(s.width));
  Put32(b, 22, static_cast<uint32_t>(s.height));
  Put16(b, 26, 1);
  Put16(b, 28, s.bits);
  Put32(b, 30, 3);  // BITFIELDS
  Put32(b, 34, pixelBytes);
  Put32(b, 38, 2835);
  Put32(b, 42, 2835);
  Put32(b, 46, 0);
  Put32(b, 50, 0);
  const int masks = s.headerSize >= 56 ? 4 : 3;
  for (int i = 0; i < masks; ++i) Put32(b, 54 + 4 * i, s.masks[i]);
  if (s.headerSize >= 108) Put32(b, 70, 0x73524742);  // colour space "sRGB"; end points and gammas 0
  if (s.headerSize >= 124) Put32(b, 122, 4);          // rendering intent; no profile
  b.resize(14 + s.headerSize + masksAfter, 0);
  b.insert(b.end(), s.gap, 0xEE);
  for (uint32_t p : s.pixels) Put32(b, b.size(), p);
  return b;
}

Bytes MakeHbm(uint32_t width, uint32_t height, uint32_t flags, const std::vector<uint8_t>& rows) {
  Bytes b(16, 0);
  b[0] = 'H';
  b[1] = 'B';
  b[2] = 'M';
  Put32(b, 4, width);
  Put32(b, 8, height);
  Put32(b, 12, flags);
  if (flags & 0x10) {
    uLongf n = compressBound(rows.size());
    Bytes z(n);
    compress(z.data(), &n, rows.data(), rows.size());
    z.resize(n);
    Put32(b, 16, static_cast<uint32_t>(n));
    b.insert(b.end(), z.begin(), z.end());
  } else {
    b.insert(b.end(), rows.begin(), rows.end());
  }
  return b;
}

}  // namespace testutil
