// The image decoders and DxImage::Load: PNG, JPEG, TIFF, BMP and their damaged forms.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include "archive/archive.h"
#include "dxdraw/image.h"
#include "dxdraw/surface.h"
#include "image_fixtures.h"
#include "lib/error.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/msgbox.h"
#include "surface_util.h"

using namespace testutil;
using namespace DxDraw;

namespace {

class RecordingBoxes : public platform::MessageBoxService {
 public:
  RecordingBoxes() { m_Prev = platform::SetMessageBoxService(this); }
  ~RecordingBoxes() override { platform::SetMessageBoxService(m_Prev); }
  platform::MsgResult Show(const platform::MessageBoxRequest& r) override {
    captions.push_back(r.caption);
    return platform::MsgResult::Ok;
  }
  std::vector<std::u16string> captions;

 private:
  platform::MessageBoxService* m_Prev;
};

SurfaceRef Loaded(uint32_t bits, const Bytes& file, int* result = nullptr) {
  SurfaceRef s(CreateSurface(bits));
  const int r = s->LoadFromMemory(file.data(), file.size());
  if (result) *result = r;
  return s;
}

// Sets the inline value of a one-value tag in the first directory of a little-endian TIFF.
bool SetTiffTag(Bytes& f, uint16_t tag, uint32_t value) {
  auto le16 = [&f](size_t at) { return static_cast<uint32_t>(f[at] | f[at + 1] << 8); };
  auto le32 = [&](size_t at) { return le16(at) | le16(at + 2) << 16; };
  if (f.size() < 8 || f[0] != 'I') return false;
  const size_t dir = le32(4);
  if (dir + 2 > f.size()) return false;
  for (size_t i = 0, n = le16(dir); i < n && dir + 14 + 12 * i <= f.size(); ++i) {
    const size_t e = dir + 2 + 12 * i;
    if (le16(e) != tag || le32(e + 4) != 1) continue;
    if (le16(e + 2) == TIFF_SHORT)
      Put16(f, e + 8, static_cast<uint16_t>(value));
    else
      Put32(f, e + 8, value);
    return true;
  }
  return false;
}

DibHeader HeaderOf(const PackedDib& d) {
  DibHeader h;
  ReadDibHeader(d.bytes.data(), d.bytes.size(), h);
  return h;
}

TEST(Png, PaletteWithTransparencyBecomes32BitsAndKeepsAlpha) {
  PngSpec s;
  s.width = 2;
  s.height = 1;
  s.colorType = PNG_COLOR_TYPE_PALETTE;
  s.palette = {255, 0, 0, 0, 0, 255};
  s.trns = {0, 255};
  s.rows = {0, 1};
  const Bytes file = EncodePng(s);
  PackedDib dib = LoadPngToDib(file.data(), file.size());
  ASSERT_FALSE(dib.empty());
  EXPECT_EQ(HeaderOf(dib).bitCount, 32);
  int r = 0;
  SurfaceRef s32 = Loaded(32, file, &r);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(Px(s32.Get(), 0, 0) >> 24, 255u) << "alpha 0 is T = 255";
  EXPECT_EQ(Px(s32.Get(), 1, 0), 0x000000FFu) << "opaque blue";
  SurfaceRef s16 = Loaded(16, file, &r);
  EXPECT_EQ(r, 1);
  EXPECT_TRUE(Px(s16.Get(), 0, 0) & 0x8000);
  EXPECT_EQ(Px(s16.Get(), 1, 0), 0x001Fu);
}

TEST(Png, LowDepthsInterlaceAndShortPalettesDecode) {
  // 1-bit grey: 10 pixels 1010011111.
  PngSpec grey1;
  grey1.width = 10;
  grey1.height = 1;
  grey1.colorType = PNG_COLOR_TYPE_GRAY;
  grey1.bitDepth = 1;
  grey1.rows = {0xA7, 0xC0};
  SurfaceRef g = Loaded(32, EncodePng(grey1));
  const uint32_t want1[10] = {1, 0, 1, 0, 0, 1, 1, 1, 1, 1};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Px(g.Get(), x, 0), want1[x] ? 0x00FFFFFFu : 0u) << x;

  // 4-bit palette with three entries.
  PngSpec pal4;
  pal4.width = 3;
  pal4.height = 2;
  pal4.colorType = PNG_COLOR_TYPE_PALETTE;
  pal4.bitDepth = 4;
  pal4.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  pal4.rows = {0x01, 0x20, 0x21, 0x00};
  const Bytes f4 = EncodePng(pal4);
  PackedDib d4 = LoadPngToDib(f4.data(), f4.size());
  ASSERT_FALSE(d4.empty());
  EXPECT_EQ(HeaderOf(d4).clrUsed, 256u) << "the table is padded to 256 entries";
  SurfaceRef p = Loaded(32, f4);
  EXPECT_EQ(Px(p.Get(), 1, 0), 0x0028323Cu) << "entry 1 of a three-entry palette";
  EXPECT_EQ(Px(p.Get(), 0, 1), 0x0046505Au);

  // Interlaced RGB gives the same pixels as plain.
  PngSpec rgb;
  rgb.width = 9;
  rgb.height = 7;
  rgb.colorType = PNG_COLOR_TYPE_RGB;
  for (int i = 0; i < 9 * 7 * 3; ++i) rgb.rows.push_back(static_cast<uint8_t>(i * 7));
  SurfaceRef plain = Loaded(32, EncodePng(rgb));
  rgb.interlace = true;
  SurfaceRef inter = Loaded(32, EncodePng(rgb));
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(Px(inter.Get(), x, y), Px(plain.Get(), x, y)) << x << "," << y;
  EXPECT_EQ(Px(plain.Get(), 1, 0), 0x00151C23u) << "RGB (21, 28, 35) stored B, G, R";
}

// Each colour type decoded into a 32-bit image: the pixels that converting LoadPngToDib's bitmap
// gives, whether libpng wrote them into the image's rows itself or the bitmap was converted.
TEST(Png, ThirtyTwoBitLoadsMatchTheConvertedBitmap) {
  struct Case {
    const char* name;
    int colorType, bitDepth;
    bool interlace;
    std::vector<uint8_t> trns;
    PngDecode want;
  };
  const Case cases[] = {
      {"rgb", PNG_COLOR_TYPE_RGB, 8, false, {}, PngDecode::InImage},
      {"rgb16", PNG_COLOR_TYPE_RGB, 16, false, {}, PngDecode::InImage},
      {"rgb key", PNG_COLOR_TYPE_RGB, 8, false, {7, 14, 21}, PngDecode::InImage},
      {"rgba", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, PngDecode::InImage},
      {"rgba16 interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 16, true, {}, PngDecode::InImage},
      {"grey alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {}, PngDecode::InImage},
      {"grey2 key", PNG_COLOR_TYPE_GRAY, 2, false, {1}, PngDecode::InImage},
      {"palette alpha", PNG_COLOR_TYPE_PALETTE, 8, false, {0, 128, 255}, PngDecode::InImage},
      {"palette", PNG_COLOR_TYPE_PALETTE, 4, false, {}, PngDecode::InDib},
      {"grey4", PNG_COLOR_TYPE_GRAY, 4, true, {}, PngDecode::InDib},
  };
  constexpr int kW = 7, kH = 5;
  for (const Case& c : cases) {
    PngSpec s;
    s.width = kW;
    s.height = kH;
    s.colorType = c.colorType;
    s.bitDepth = c.bitDepth;
    s.interlace = c.interlace;
    s.trns = c.trns;
    const int channels = c.colorType == PNG_COLOR_TYPE_RGB          ? 3
                         : c.colorType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                         : c.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                    : 1;
    const int rowBytes = (kW * channels * c.bitDepth + 7) / 8;
    const int levels = c.colorType == PNG_COLOR_TYPE_PALETTE ? 3 : 256;
    for (int i = 0; i < rowBytes * kH; ++i) s.rows.push_back(static_cast<uint8_t>((i * 7) % levels));
    if (c.colorType == PNG_COLOR_TYPE_PALETTE) {
      s.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90};
      if (c.bitDepth == 4)
        for (uint8_t& b : s.rows) b = static_cast<uint8_t>((b % 3) << 4 | ((b + 1) % 3));
    }
    const Bytes file = EncodePng(s);

    PackedDib converted = LoadPngToDib(file.data(), file.size());
    ASSERT_FALSE(converted.empty()) << c.name;
    SurfaceRef want(CreateSurface(32));
    ASSERT_TRUE(want->CopyFromDib(converted.bytes.data(), converted.bytes.size())) << c.name;

    SurfaceRef got(CreateSurface(32));
    PackedDib dib;
    EXPECT_EQ(LoadPngInto32(*got.Get(), file.data(), file.size(), dib), c.want) << c.name;
    int r = 0;
    SurfaceRef loaded = Loaded(32, file, &r);
    ASSERT_EQ(r, 1) << c.name;
    ASSERT_EQ(loaded->GetWidth(), kW) << c.name;
    ASSERT_EQ(loaded->GetHeight(), kH) << c.name << ": bottom-up, as the conversion makes it";
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        ASSERT_EQ(Px(loaded.Get(), x, y), Px(want.Get(), x, y)) << c.name << " at " << x << "," << y;
  }
}

TEST(Png, DamagedFileFailsWithTheErrorBox) {
  PngSpec s;
  s.width = 16;
  s.height = 16;
  s.colorType = PNG_COLOR_TYPE_RGB;
  s.rows.assign(16 * 16 * 3, 0x55);
  Bytes file = EncodePng(s);
  file.resize(file.size() / 2);
  RecordingBoxes boxes;
  int r = 1;
  SurfaceRef image = Loaded(32, file, &r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(image->GetBits(), nullptr) << "a picture broken off midway leaves the image empty";
  ASSERT_FALSE(boxes.captions.empty());
  EXPECT_EQ(boxes.captions[0], u"libpng error");
}

TEST(Png, WarningsGoToTheLogAndDecodingGoesOn) {
  PngSpec s;
  s.width = 2;
  s.height = 2;
  s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  s.rows.assign(16, 0x80);
  Bytes file = EncodePng(s);
  // A tRNS chunk is not allowed beside an alpha channel: libpng warns and goes on.
  const uint8_t chunk[] = {0, 0, 0, 2, 't', 'R', 'N', 'S', 0, 0};
  Bytes c(chunk, chunk + sizeof chunk);
  const uLong crc = crc32(0, chunk + 4, 6);
  for (int i = 3; i >= 0; --i) c.push_back(static_cast<uint8_t>(crc >> (8 * i)));
  file.insert(file.begin() + 33, c.begin(), c.end());
  RecordingBoxes boxes;
  platform::LogCapture log;
  int r = 0;
  Loaded(32, file, &r);
  EXPECT_EQ(r, 1);
  EXPECT_TRUE(boxes.captions.empty());
  EXPECT_TRUE(log.Contains(u"libpng warning")) << "log: " << std::string(log.Text().begin(), log.Text().end());
}

TEST(Jpeg, RgbAndGreyDecodeAsTwentyFourBits) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 16 * 8; ++i) rgb.insert(rgb.end(), {200, 100, 50});
  const Bytes f = EncodeJpeg(16, 8, 3, rgb);
  PackedDib d = LoadJpegToDib(f.data(), f.size());
  ASSERT_FALSE(d.empty());
  const DibHeader h = HeaderOf(d);
  EXPECT_EQ(h.bitCount, 24);
  EXPECT_EQ(h.width, 16);
  EXPECT_EQ(h.height, 8);
  const uint8_t* px = d.bytes.data() + 40;
  EXPECT_NEAR(px[0], 50, 3);
  EXPECT_NEAR(px[1], 100, 3);
  EXPECT_NEAR(px[2], 200, 3);

  const Bytes g = EncodeJpeg(8, 8, 1, std::vector<uint8_t>(64, 90));
  PackedDib dg = LoadJpegToDib(g.data(), g.size());
  ASSERT_FALSE(dg.empty()) << "greyscale is read as RGB";
  const uint8_t* q = dg.bytes.data() + 40;
  EXPECT_NEAR(q[0], 90, 2);
  EXPECT_EQ(q[0], q[1]);
  EXPECT_EQ(q[1], q[2]);
}

TEST(Jpeg, CmykIsRefusedAndTruncationEnds) {
  const Bytes cmyk = EncodeJpeg(8, 8, 4, std::vector<uint8_t>(8 * 8 * 4, 30));
  platform::LogCapture log;
  EXPECT_TRUE(LoadJpegToDib(cmyk.data(), cmyk.size()).empty());
  std::vector<uint8_t> rgb(64 * 64 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 13);
  const Bytes f = EncodeJpeg(64, 64, 3, rgb);
  for (size_t cut : {size_t{2}, f.size() / 3, f.size() - 2}) {
    PackedDib d = LoadJpegToDib(f.data(), cut);  // must return, whatever it decides
    if (!d.empty()) {
      EXPECT_EQ(HeaderOf(d).width, 64);
    }
  }
  EXPECT_TRUE(LoadJpegToDib(f.data(), 0).empty());
}

TEST(Tiff, RgbGreyAndPaletteImages) {
  TiffSpec rgb;
  rgb.width = 3;
  rgb.height = 2;
  rgb.rowsPerStrip = 1;
  rgb.samples = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  const Bytes fr = EncodeTiff(rgb);
  PackedDib dr = LoadTiffToDib(fr.data(), fr.size());
  ASSERT_FALSE(dr.empty());
  SurfaceRef sr(CreateSurface(32));
  ASSERT_EQ(sr->CopyFromDib(dr.bytes.data(), dr.bytes.size()), 1);
  EXPECT_EQ(Px(sr.Get(), 0, 0), 0x00010203u);
  EXPECT_EQ(Px(sr.Get(), 2, 1), 0x00101112u);

  TiffSpec grey;
  grey.width = 2;
  grey.height = 1;
  grey.samplesPerPixel = 1;
  grey.photometric = PHOTOMETRIC_MINISBLACK;
  grey.samples = {0, 200};
  const Bytes fg = EncodeTiff(grey);
  PackedDib dg = LoadTiffToDib(fg.data(), fg.size());
  ASSERT_FALSE(dg.empty());
  SurfaceRef sg(CreateSurface(32));
  sg->CopyFromDib(dg.bytes.data(), dg.bytes.size());
  EXPECT_EQ(Px(sg.Get(), 1, 0), 0x00C8C8C8u) << "grey images get a grey ramp";

  TiffSpec pal;
  pal.width = 2;
  pal.height = 1;
  pal.samplesPerPixel = 1;
  pal.photometric = PHOTOMETRIC_PALETTE;
  pal.samples = {0, 1};
  pal.colormap.assign(3 * 256, 0);
  pal.colormap[1] = 65535;        // red of entry 1
  pal.colormap[256 + 1] = 32896;  // green of entry 1
  const Bytes fp = EncodeTiff(pal);
  PackedDib dp = LoadTiffToDib(fp.data(), fp.size());
  ASSERT_FALSE(dp.empty());
  SurfaceRef sp(CreateSurface(32));
  sp->CopyFromDib(dp.bytes.data(), dp.bytes.size());
  EXPECT_EQ(Px(sp.Get(), 1, 0), 0x00FF8000u) << "a 16-bit colour map is scaled to bytes";
}

TEST(Tiff, SixteenBitSamplesKeepTheirHighByte) {
  // RGB, grey and RGBA at 16 bits per sample, in both byte orders: each sample becomes its high byte.
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian file" : "little-endian file");
    TiffSpec rgb;
    rgb.width = 2;
    rgb.height = 2;
    rgb.bitsPerSample = 16;
    rgb.rowsPerStrip = 2;
    rgb.bigEndian = bigEndian;
    rgb.samples16 = {0x1234, 0xFFFF, 0x00FF, 0x8000, 0x7FFF, 0x0100, 0xABCD, 0x0001, 0xFE00, 0x0000, 0x5555, 0xFFFE};
    const Bytes fr = EncodeTiff(rgb);
    PackedDib dr = LoadTiffToDib(fr.data(), fr.size());
    ASSERT_FALSE(dr.empty());
    EXPECT_EQ(HeaderOf(dr).bitCount, 24);
    SurfaceRef sr(CreateSurface(32));
    ASSERT_EQ(sr->CopyFromDib(dr.bytes.data(), dr.bytes.size()), 1);
    EXPECT_EQ(Px(sr.Get(), 0, 0), 0x0012FF00u) << "red 0x1234, green 0xFFFF, blue 0x00FF";
    EXPECT_EQ(Px(sr.Get(), 1, 0), 0x00807F01u);
    EXPECT_EQ(Px(sr.Get(), 0, 1), 0x00AB00FEu);
    EXPECT_EQ(Px(sr.Get(), 1, 1), 0x000055FFu);

    TiffSpec grey;
    grey.width = 3;
    grey.height = 1;
    grey.bitsPerSample = 16;
    grey.samplesPerPixel = 1;
    grey.photometric = PHOTOMETRIC_MINISBLACK;
    grey.bigEndian = bigEndian;
    grey.samples16 = {0x0000, 0xC8FF, 0xFFFF};
    const Bytes fg = EncodeTiff(grey);
    PackedDib dg = LoadTiffToDib(fg.data(), fg.size());
    ASSERT_FALSE(dg.empty());
    EXPECT_EQ(HeaderOf(dg).bitCount, 8);
    SurfaceRef sg(CreateSurface(32));
    ASSERT_EQ(sg->CopyFromDib(dg.bytes.data(), dg.bytes.size()), 1);
    EXPECT_EQ(Px(sg.Get(), 1, 0), 0x00C8C8C8u);
    EXPECT_EQ(Px(sg.Get(), 2, 0), 0x00FFFFFFu);

    TiffSpec rgba;
    rgba.width = 2;
    rgba.height = 1;
    rgba.bitsPerSample = 16;
    rgba.samplesPerPixel = 4;
    rgba.bigEndian = bigEndian;
    rgba.samples16 = {0xFFFF, 0x0000, 0x0000, 0x80FF, 0x0000, 0x0000, 0xFFFF, 0x00FF};
    const Bytes fa = EncodeTiff(rgba);
    PackedDib da = LoadTiffToDib(fa.data(), fa.size());
    ASSERT_FALSE(da.empty());
    EXPECT_EQ(HeaderOf(da).bitCount, 32);
    SurfaceRef sa(CreateSurface(32));
    ASSERT_EQ(sa->CopyFromDib(da.bytes.data(), da.bytes.size()), 1);
    EXPECT_EQ(Px(sa.Get(), 0, 0), 0x7FFF0000u) << "alpha 0x80FF is 128: T = 127";
    EXPECT_EQ(Px(sa.Get(), 1, 0), 0xFF0000FFu) << "alpha 0x00FF is 0: transparent";
    SurfaceRef s16(CreateSurface(16));
    ASSERT_EQ(s16->CopyFromDib(da.bytes.data(), da.bytes.size()), 1);
    EXPECT_EQ(Px(s16.Get(), 1, 0), 0x801Fu) << "alpha 0 sets bit 15";
  }
}

TEST(Tiff, RefusedFiles) {
  TiffSpec pal16;
  pal16.width = 2;
  pal16.height = 1;
  pal16.bitsPerSample = 16;
  pal16.samplesPerPixel = 1;
  pal16.photometric = PHOTOMETRIC_PALETTE;
  pal16.samples16 = {0, 1};
  pal16.colormap.assign(3 * 65536, 0);
  TiffSpec rgb16;
  rgb16.width = 16;
  rgb16.height = 16;
  rgb16.bitsPerSample = 16;
  rgb16.rowsPerStrip = 16;
  rgb16.samples16.assign(16 * 16 * 3, 0x4040);
  const Bytes whole = EncodeTiff(rgb16);
  // The one strip moved to the last bytes of the file: it runs past the end.
  Bytes cut = whole;
  ASSERT_TRUE(SetTiffTag(cut, TIFFTAG_STRIPOFFSETS, static_cast<uint32_t>(cut.size() - 100)));
  struct Case {
    const char* name;
    Bytes file;
  } cases[] = {
      {"16-bit palette", EncodeTiff(pal16)},
      {"16-bit strip past the end", cut},
      {"garbage", Bytes{'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3}},
  };
  platform::LogCapture log;
  for (const Case& c : cases) EXPECT_TRUE(LoadTiffToDib(c.file.data(), c.file.size()).empty()) << c.name;
  EXPECT_FALSE(LoadTiffToDib(whole.data(), whole.size()).empty()) << "the uncut file loads";
}

TEST(Bmp, SixteenAndThirtyTwoBitPixels) {
  // 16 bits: opaque (31, 16, 0) and a transparent pixel.
  std::vector<uint8_t> rows16 = {0x00, 0x7E, 0x00, 0x80};
  int r = 0;
  SurfaceRef s = Loaded(32, MakeBmp(2, 1, 16, {}, rows16), &r);
  ASSERT_EQ(r, 1);
  EXPECT_EQ(Px(s.Get(), 0, 0), 0x00FF8000u) << "31 -> 255, 16 -> 128";
  EXPECT_EQ(Px(s.Get(), 1, 0) >> 24, 255u);
  SurfaceRef a = Loaded(32, MakeBmp(1, 1, 32, {}, {1, 2, 3, 128}), &r);
  EXPECT_EQ(Px(a.Get(), 0, 0), 0x7F030201u) << "alpha 128 is T = 127";
  SurfaceRef a16 = Loaded(16, MakeBmp(2, 1, 32, {}, {255, 255, 255, 0, 0, 0, 255, 7}), &r);
  EXPECT_EQ(Px(a16.Get(), 0, 0), 0xFFFFu) << "alpha 0 sets bit 15";
  EXPECT_EQ(Px(a16.Get(), 1, 0), 0x7C00u);
}

TEST(Bmp, LowDepthsAreUnpackedAndTopDownLoadsUpright) {
  const std::vector<uint8_t> table1 = {0, 0, 0, 0, 255, 255, 255, 0};
  // 1 bit, 3 pixels "101", rows padded to 4 bytes; bottom-up: memory row 0 is the bottom row.
  SurfaceRef one = Loaded(32, MakeBmp(3, 2, 1, table1, {0x00, 0, 0, 0, 0xA0, 0, 0, 0}));
  EXPECT_EQ(Px(one.Get(), 0, 0), 0x00FFFFFFu);
  EXPECT_EQ(Px(one.Get(), 1, 0), 0u);
  EXPECT_EQ(Px(one.Get(), 2, 0), 0x00FFFFFFu);
  EXPECT_EQ(Px(one.Get(), 0, 1), 0u);
  std::vector<uint8_t> table4(16 * 4, 0);
  table4[5 * 4 + 2] = 0x99;  // entry 5 is red 0x99
  SurfaceRef four = Loaded(32, MakeBmp(2, 1, 4, table4, {0x05, 0, 0, 0}));
  EXPECT_EQ(Px(four.Get(), 0, 0), 0u);
  EXPECT_EQ(Px(four.Get(), 1, 0), 0x00990000u);
  // 24 bits top-down: the first row in the file is the top.
  SurfaceRef td = Loaded(32, MakeBmp(1, -2, 24, {}, {1, 1, 1, 0, 2, 2, 2, 0}));
  EXPECT_EQ(Px(td.Get(), 0, 0), 0x00010101u);
  EXPECT_EQ(Px(td.Get(), 0, 1), 0x00020202u);
  // The file's offset to the bits is not consulted: the rows follow the header (here the gap's bytes).
  SurfaceRef gap = Loaded(32, MakeBmp(1, 1, 24, {}, {4, 5, 6, 0}, 0, 40, 6));
  EXPECT_EQ(Px(gap.Get(), 0, 0), 0x00EEEEEEu);
}

TEST(Bmp, BitfieldsPixelsFollowTheMasksFromTheFilesOffset) {
  struct Case {
    const char* name;
    uint32_t headerSize;
    std::vector<uint32_t> masks;  // red, green, blue, alpha
    uint32_t gap;
    uint32_t pixel;
    uint32_t want32;  // B, G, R, T
    uint16_t want16;
  } cases[] = {
      {"v5, the usual masks, alpha 128", 124, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0, 0x80112233, 0x7F112233, 0x0886},
      {"v5, alpha 0", 124, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0, 0x00FFFFFF, 0xFFFFFFFF, 0xFFFF},
      {"v4, bytes in R, G, B, A order", 108, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 0, 0xFF332211, 0x00112233, 0x0886},
      {"v5 without an alpha mask: opaque", 124, {0xFF0000, 0xFF00, 0xFF, 0}, 0, 0x00112233, 0x00112233, 0x0886},
      {"v4 with a gap before the bits", 108, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 10, 0xFF445566, 0x00445566, 0x214C},
      {"40-byte header, masks after it: opaque", 40, {0xFF0000, 0xFF00, 0xFF}, 0, 0x00ABCDEF, 0x00ABCDEF, 0x573D},
      {"v3 header with alpha", 56, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0, 0xFE010203, 0x01010203, 0x0000},
      {"v2 header: no alpha mask", 52, {0xFF0000, 0xFF00, 0xFF}, 4, 0x00FFFFFF, 0x00FFFFFF, 0x7FFF},
      {"10-bit channels keep their top 8 bits, 2-bit alpha scaled",
       124,
       {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
       0,
       0xBFF800FF,
       0x55FF803F,
       0x7E07},
      {"5-bit channels scaled to 255", 124, {0x7C00, 0x3E0, 0x1F, 0x8000}, 0, 0x0000FC10, 0x00FF0084, 0x7C10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitfieldsBmpSpec spec;
    spec.width = 2;
    spec.height = 1;
    spec.headerSize = c.headerSize;
    for (size_t i = 0; i < 4; ++i) spec.masks[i] = i < c.masks.size() ? c.masks[i] : 0;
    spec.gap = c.gap;
    spec.pixels = {c.pixel, 0};
    int r = 0;
    SurfaceRef s32 = Loaded(32, MakeBitfieldsBmp(spec), &r);
    ASSERT_EQ(r, 1);
    EXPECT_EQ(Px(s32.Get(), 0, 0), c.want32) << std::hex << Px(s32.Get(), 0, 0);
    SurfaceRef s16 = Loaded(16, MakeBitfieldsBmp(spec), &r);
    ASSERT_EQ(r, 1);
    EXPECT_EQ(Px(s16.Get(), 0, 0), c.want16) << std::hex << Px(s16.Get(), 0, 0);
  }
  // Rows bottom-up by default, top-down with a negative height.
  BitfieldsBmpSpec two;
  two.width = 1;
  two.height = 2;
  two.pixels = {0xFF000001, 0xFF000002};
  SurfaceRef up = Loaded(32, MakeBitfieldsBmp(two));
  EXPECT_EQ(Px(up.Get(), 0, 0), 0x00000002u) << "the last row in the file is the top";
  two.height = -2;
  SurfaceRef down = Loaded(32, MakeBitfieldsBmp(two));
  EXPECT_EQ(Px(down.Get(), 0, 0), 0x00000001u);
  EXPECT_EQ(Px(down.Get(), 0, 1), 0x00000002u);
}

TEST(Bmp, MalformedBitfieldsFilesAreRefused) {
  BitfieldsBmpSpec good;
  good.width = 2;
  good.height = 2;
  good.pixels = {1, 2, 3, 4};
  struct Case {
    const char* name;
    Bytes file;
  };
  std::vector<Case> cases;
  auto with = [&](const char* name, auto change) {
    BitfieldsBmpSpec s = good;
    change(s);
    cases.push_back({name, MakeBitfieldsBmp(s)});
  };
  with("red and green overlap", [](BitfieldsBmpSpec& s) { s.masks[1] = 0x01FF00; });
  with("alpha overlaps red", [](BitfieldsBmpSpec& s) { s.masks[3] = 0xFFFF0000; });
  with("zero red mask", [](BitfieldsBmpSpec& s) { s.masks[0] = 0; });
  with("zero green mask", [](BitfieldsBmpSpec& s) { s.masks[1] = 0; });
  with("zero blue mask, 40-byte header", [](BitfieldsBmpSpec& s) { s.headerSize = 40, s.masks[2] = 0; });
  with("scattered mask bits", [](BitfieldsBmpSpec& s) { s.headerSize = 40, s.masks[0] = 0x05FF0000; });
  with("offset to the bits beyond the file", [](BitfieldsBmpSpec& s) { s.offBits = 100000; });
  with("offset just past the end", [](BitfieldsBmpSpec& s) { s.offBits = 14 + 124 + 16 + 1; });
  with("offset inside the header", [](BitfieldsBmpSpec& s) { s.offBits = 14 + 100; });
  with("offset inside the masks after a 40-byte header", [](BitfieldsBmpSpec& s) {
    s.headerSize = 40;
    s.offBits = 14 + 40 + 4;
  });
  with("truncated rows", [](BitfieldsBmpSpec& s) { s.pixels.pop_back(); });
  with("16 bits per pixel", [](BitfieldsBmpSpec& s) { s.bits = 16; });
  with("24 bits per pixel", [](BitfieldsBmpSpec& s) { s.bits = 24; });
  with("64-byte header", [](BitfieldsBmpSpec& s) { s.headerSize = 64; });
  with("zero width", [](BitfieldsBmpSpec& s) { s.width = 0; });
  with("huge", [](BitfieldsBmpSpec& s) { s.width = 70000; });
  Bytes masksCut = MakeBitfieldsBmp([&] {
    BitfieldsBmpSpec s = good;
    s.headerSize = 40;
    s.pixels.clear();
    return s;
  }());
  masksCut.resize(14 + 40 + 8);
  cases.push_back({"40-byte header, masks cut off", masksCut});
  Bytes lastByte = MakeBitfieldsBmp(good);
  lastByte.pop_back();
  cases.push_back({"last byte missing", lastByte});
  int r = -1;
  Loaded(32, MakeBitfieldsBmp(good), &r);
  ASSERT_EQ(r, 1) << "the unchanged file loads";
  for (const Case& c : cases)
    for (uint32_t bits : {16u, 32u}) {
      r = -1;
      Loaded(bits, c.file, &r);
      EXPECT_EQ(r, 0) << c.name << " into " << bits << " bits";
    }
}

TEST(Bmp, MalformedFilesAreRefused) {
  const std::vector<uint8_t> row = {1, 2, 3, 0};
  Bytes offsetPastEnd = MakeBmp(1, 1, 24, {}, row);
  Put32(offsetPastEnd, 10, 5000);  // ignored: the rows right after the header are used
  Bytes truncated = MakeBmp(4, 4, 24, {}, row);
  Bytes huge = MakeBmp(70000, 70000, 24, {}, row);
  Bytes overflow = MakeBmp(0x40000000, 2, 32, {}, row);
  struct Case {
    const char* name;
    Bytes file;
    int want;
  } cases[] = {
      {"core header", MakeBmp(1, 1, 24, {}, row, 0, 12), 0},
      {"compressed", MakeBmp(1, 1, 24, {}, row, 1), 0},
      {"rows beyond the file", truncated, 0},
      {"huge", huge, 0},
      {"width overflow", overflow, 0},
      {"zero width", MakeBmp(0, 1, 24, {}, row), 0},
      {"2 bits", MakeBmp(1, 1, 2, {}, row), 0},
      {"offset past the end falls back", offsetPastEnd, 1},
      {"just the magic", Bytes{'B', 'M'}, 0},
  };
  for (const Case& c : cases) {
    int r = -1;
    Loaded(32, c.file, &r);
    EXPECT_EQ(r, c.want) << c.name;
  }
}

TEST(ImageLoad, DispatchAndLoadSurfaceArchiveError) {
  const Bytes unknown = {'G', 'I', 'F', '8', '9', 'a'};
  int r = -1;
  Loaded(32, unknown, &r);
  EXPECT_EQ(r, 0);
  try {
    LoadSurfaceArchive_Dx(nullptr, u"/nonexistent/varn/picture.png");
    FAIL() << "expected a throw";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Message), u"LoadSurfaceArchive_Dx: file not found '/nonexistent/varn/picture.png'.\n");
    EXPECT_EQ(std::u16string(e.m_Source), u"dxdraw/dxdraw");
    EXPECT_EQ(e.m_Line, 725);
  }
}

TEST(ImageLoad, LoadSurfaceArchiveReadsThroughTheArchive) {
  const std::string dir = ::testing::TempDir() + "varn_h6_archive";
  const std::u16string wdir(dir.begin(), dir.end());
  platform::RemoveFile(wdir + u"/pic.bmp");
  ASSERT_EQ(system(("mkdir -p '" + dir + "'").c_str()), 0);
  const Bytes file = MakeBmp(1, 1, 24, {}, {9, 8, 7, 0});
  ASSERT_TRUE(platform::WriteWholeFileAtomic(wdir + u"/pic.bmp", file.data(), file.size()));
  ComRef<IArchive> archive(OpenDirArchive(wdir));
  ASSERT_TRUE(archive);
  SurfaceRef s(LoadSurfaceArchive_Dx(archive.Get(), u"pic.bmp"));
  EXPECT_EQ(s->GetDepth(), 32u);
  EXPECT_EQ(Px(s.Get(), 0, 0), 0x00070809u);
  EXPECT_THROW(LoadSurfaceArchive_Dx(archive.Get(), u"missing.bmp"), ExceptionHandle);
  platform::RemoveFile(wdir + u"/pic.bmp");
}

}  // namespace
