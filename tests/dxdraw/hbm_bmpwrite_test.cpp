// The engine's HBM format and the BMP writers.
#include <gtest/gtest.h>

#include "dxdraw/image.h"
#include "dxdraw/surface.h"
#include "image_fixtures.h"
#include "platform/files.h"
#include "surface_util.h"

using namespace testutil;
using namespace DxDraw;

namespace {

// Rows of a width-3 HBM: 3 pixels and 2 bytes of padding each; row r holds pixels 0x100*r + x.
std::vector<uint8_t> HbmRows(int height) {
  std::vector<uint8_t> rows;
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < 3; ++x) {
      const uint16_t v = static_cast<uint16_t>(0x100 * r + x);
      rows.push_back(static_cast<uint8_t>(v));
      rows.push_back(static_cast<uint8_t>(v >> 8));
    }
    rows.push_back(0);
    rows.push_back(0);
  }
  return rows;
}

int LoadInto(DxSurface* s, const Bytes& file) {
  return s->LoadFromMemory(file.data(), file.size());
}

TEST(Hbm, RowOrderStoredAndCompressed) {
  const std::vector<uint8_t> rows = HbmRows(3);
  ASSERT_EQ(rows.size(), 24u) << "width 3 gives 8-byte rows";
  for (uint32_t zip : {0u, 0x10u}) {
    SCOPED_TRACE(zip);
    SurfaceRef topFirst(CreateSurface(16));
    ASSERT_EQ(LoadInto(topFirst.Get(), MakeHbm(3, 3, zip, rows)), 1);
    EXPECT_EQ(Px(topFirst.Get(), 2, 0), 0x0002u) << "the file's first row at the top";
    EXPECT_EQ(Px(topFirst.Get(), 1, 2), 0x0201u);
    SurfaceRef bottomFirst(CreateSurface(16));
    ASSERT_EQ(LoadInto(bottomFirst.Get(), MakeHbm(3, 3, zip | 0x20, rows)), 1);
    EXPECT_EQ(Px(bottomFirst.Get(), 2, 2), 0x0002u) << "flag 0x20: the file's first row at the bottom";
    EXPECT_EQ(Px(bottomFirst.Get(), 0, 0), 0x0200u);
  }
  SurfaceRef s32(CreateSurface(32));
  EXPECT_EQ(LoadInto(s32.Get(), MakeHbm(3, 3, 0, rows)), 0) << "only 16-bit images take HBM";
}

TEST(Hbm, DamagedAndShortFilesFail) {
  const std::vector<uint8_t> rows = HbmRows(4);
  Bytes shortStored = MakeHbm(3, 4, 0, rows);
  shortStored.resize(shortStored.size() - 1);
  Bytes damaged = MakeHbm(3, 4, 0x10, rows);
  damaged[24] ^= 0xFF;
  damaged[25] ^= 0x5A;
  Bytes sizeBeyond = MakeHbm(3, 4, 0x10, rows);
  Put32(sizeBeyond, 16, 100000);
  Bytes tooFew = MakeHbm(3, 5, 0x10, rows);  // inflates to fewer bytes than 5 rows
  struct Case {
    const char* name;
    Bytes file;
  } cases[] = {
      {"stored rows cut short", shortStored},
      {"damaged zlib stream", damaged},
      {"zlib size beyond the file", sizeBeyond},
      {"stream shorter than the rows", tooFew},
      {"header only", Bytes{'H', 'B', 'M', 0, 3, 0, 0, 0}},
      {"height with the top bit", MakeHbm(3, 0x80000001u, 0, rows)},
      {"zero width", MakeHbm(0, 4, 0, rows)},
      {"enormous", MakeHbm(0x10000, 0x10000, 0x10, rows)},
  };
  for (const Case& c : cases) {
    SurfaceRef s(CreateSurface(16));
    EXPECT_EQ(LoadInto(s.Get(), c.file), 0) << c.name;
  }
}

TEST(BmpWriter, TwentyFourBitsFrom16And32) {
  SurfaceRef s16 = MakeSurface(16, 2, 2, 0x7FFF);
  SetPx(s16.Get(), 1, 0, 0x8000);
  const std::vector<uint8_t> b = EncodeBmp24(*s16.Get());
  ASSERT_EQ(b.size(), 70u) << "54 + 2 rows of 8 bytes";
  EXPECT_EQ(b[2] | (b[3] << 8), 70);
  EXPECT_EQ(b[10], 54);
  EXPECT_EQ(b[28], 24);
  // Memory order: a bottom-up image writes its bottom row first; row 0 (top) is second.
  const uint8_t* top = b.data() + 54 + 8;
  EXPECT_EQ(top[0], 255);
  EXPECT_EQ(top[2], 255);
  EXPECT_EQ(top[3], 0) << "0x8000 loses its transparency and is black";
  EXPECT_EQ(top[6], 0) << "padding is zero";

  SurfaceRef s32 = MakeSurface(32, 2, 1, 0x00102030);
  SetPx(s32.Get(), 1, 0, 0xFF000000);
  const std::vector<uint8_t> b32 = EncodeBmp32(*s32.Get());
  ASSERT_EQ(b32.size(), 54u + 8);
  EXPECT_EQ(b32[54 + 3], 255) << "T = 0 is alpha 255";
  EXPECT_EQ(b32[54 + 7], 0) << "T = 255 is alpha 0";
  const std::vector<uint8_t> b16to32 = EncodeBmp32(*s16.Get());
  EXPECT_EQ(b16to32[54 + 8 + 4 + 3], 0) << "a transparent 16-bit pixel gets alpha 0";
}

TEST(BmpWriter, SavedFilesLoadBack) {
  SurfaceRef s = MakeSurface(32, 3, 2, 0x00123456);
  SetPx(s.Get(), 2, 1, 0x80ABCDEF);
  const std::string dir = ::testing::TempDir();
  const std::u16string p32 = std::u16string(dir.begin(), dir.end()) + u"varn_save32.bmp";
  const std::u16string p24 = std::u16string(dir.begin(), dir.end()) + u"varn_save24.bmp";
  ASSERT_EQ(s->SaveBmp32(p32.c_str()), 1);
  ASSERT_EQ(s->SaveBmp24(p24.c_str()), 1);
  SurfaceRef back32(CreateSurface(32)), back24(CreateSurface(32));
  ASSERT_EQ(back32->Load(nullptr, p32.c_str()), 1);
  ASSERT_EQ(back24->Load(nullptr, p24.c_str()), 1);
  EXPECT_EQ(Px(back32.Get(), 2, 1), 0x80ABCDEFu);
  EXPECT_EQ(Px(back24.Get(), 2, 1), 0x00ABCDEFu);
  EXPECT_EQ(Px(back24.Get(), 0, 0), 0x00123456u);
  platform::RemoveFile(p32);
  platform::RemoveFile(p24);
  EXPECT_EQ(s->SaveBmp24(u"/nonexistent/dir/x.bmp"), 0);
}

}  // namespace
