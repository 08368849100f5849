// Figures of the graphics engine: a typical game scene repainted in full and with one character
// added, on a presenter that does nothing; and the decoding of an 800x600 PNG and JPEG.
#include <benchmark/benchmark.h>
// clang-format off
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <jpeglib.h>
// clang-format on
#include <png.h>

#include <vector>

#include "dxdraw/blit.h"
#include "dxdraw/dxtext.h"
#include "dxdraw/screen.h"
#include "dxdraw/sprite.h"
#include "platform/glyphs.h"

using namespace DxDraw;

namespace {

class NullPresenter : public platform::Presenter {
 public:
  void Present(const platform::ImageView&, const platform::Rect& r) override {
    pixels += int64_t(r.Width()) * r.Height();
  }
  void Flush() override {}
  int64_t pixels = 0;
};

DxSurface* Picture(int w, int h, bool holes) {
  DxSurface* s = CreateSurface(32);
  s->Create(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = s->GetPixelAddress(0, y);
    for (int x = 0; x < w; ++x, p += 4) {
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x ^ y);
      // A character: opaque in an ellipse, a soft edge, transparent outside.
      const int dx = x - w / 2, dy = y - h / 2;
      const int d = dx * dx * 9 / 4 + dy * dy;
      p[3] = !holes ? 0 : d < 250 * 250 ? 0 : d < 270 * 270 ? 128 : 255;
    }
  }
  return s;
}

struct Scene {
  explicit Scene(bool realFont = false) {
    g_MatrixStack.Allocate(128);
    DetectCpu();
    BuildBlendTables();
    if (realFont) glyphs = platform::CreateFreeTypeGlyphSource();
    if (!glyphs) glyphs = platform::CreateBoxGlyphSource();
    platform::SetGlyphSource(glyphs.get());
    root = new DxDrawGroup;
    screen = new DxScreenSurface32();
    root->AddChild(screen);
    screen->SetSize(800, 600);
    target.window = &window;

    auto* bg = new DxSprite(Picture(800, 600, false), nullptr, BltMode(kBltCopy, 0));
    bg->m_OwnsSource = 1;
    screen->AddChild(bg);
    for (int i = 0; i < 3; ++i) {
      auto* ch = new DxSprite(Picture(400, 600, true), nullptr, BltMode(kBltCopy, 3, kBltSrcAlpha));
      ch->m_OwnsSource = 1;
      ch->SetPosition(i * 200, 0);
      screen->AddChild(ch);
    }
    message = new DxSurfaceSprite32(800, 200);
    message->Fill(nullptr, 0x202040, 255);
    message->m_Params.mode = BltMode(kBltBlend, 3, kBltSrcAlpha);
    message->m_Params.level = 128;
    message->SetPosition(0, 400);
    screen->AddChild(message);

    font = new FontDC;
    font->SetFace(u"ＭＳ ゴシック", 32);
    text.Reset();
    text.m_pFont = font;
    text.m_Style = TEXT_ANTIALIAS | TEXT_SHADOW;
    text.m_Area = platform::Rect{40, 30, 760, 190};
    for (int i = 0; i < 60; ++i) message->PutChar(&text, i % 3 ? U'あ' : U'A');
    root->Draw(&target);
  }
  ~Scene() {
    root->Release();
    font->Release();
    platform::SetGlyphSource(nullptr);
    g_MatrixStack.Free();
  }

  std::unique_ptr<platform::GlyphSource> glyphs;
  DxDrawGroup* root;
  DxScreenSurface32* screen;
  DxSurfaceSprite32* message;
  FontDC* font;
  TextContext text;
  NullPresenter window;
  DrawTarget target;
};

void BM_SceneFullRepaint(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    scene.screen->Present(&scene.window, true, nullptr);
    scene.screen->OnMessage(VM_COMMIT, 0, 0);
    scene.screen->GetDirtyList()->Clear(0);
  }
  state.counters["px/frame"] = double(scene.window.pixels) / double(state.iterations());
}
BENCHMARK(BM_SceneFullRepaint)->Unit(benchmark::kMicrosecond);

void BM_SceneOneCharacterAdded(benchmark::State& state) {
  Scene scene(state.range(0) != 0);
  if (state.range(0) && !scene.font->HasFonts()) {
    state.SkipWithError("IPA Gothic is not available");
    return;
  }
  scene.text.m_CursorX = 0;
  scene.text.m_CursorY = 0;
  scene.window.pixels = 0;
  for (auto _ : state) {
    if (scene.text.m_CursorY > 64) scene.text.m_CursorY = 0;  // stay inside the window, never scroll
    scene.message->PutChar(&scene.text, U'あ');
    scene.root->Draw(&scene.target);
  }
  state.counters["px/frame"] = double(scene.window.pixels) / double(state.iterations());
}
// Argument 0: the box glyph source of the headless backend; 1: IPA Gothic through FreeType.
BENCHMARK(BM_SceneOneCharacterAdded)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> Photo() {
  std::vector<uint8_t> rgb(800 * 600 * 3);
  uint32_t seed = 1;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = (seed >> 16) & 15;
      uint8_t* p = &rgb[(y * 800 + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / 800 + noise);
      p[1] = static_cast<uint8_t>(y * 255 / 600 + noise);
      p[2] = static_cast<uint8_t>((x + y) / 6 + noise);
    }
  return rgb;
}

std::vector<uint8_t> Png800x600() {
  const std::vector<uint8_t> rgb = Photo();
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) return {};
  png_set_write_fn(png, &out, PngWrite, nullptr);
  png_set_IHDR(png, info, 800, 600, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < 600; ++y) png_write_row(png, rgb.data() + y * 800 * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> Jpeg800x600() {
  const std::vector<uint8_t> rgb = Photo();
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = 800;
  c.image_height = 600;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < 600) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + size_t(c.next_scanline) * 800 * 3);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(mem, mem + size);
  jpeg_destroy_compress(&c);
  free(mem);
  return out;
}

void BM_DecodePng800x600(benchmark::State& state) {
  const std::vector<uint8_t> file = Png800x600();
  for (auto _ : state) {
    DxSurface* s = CreateSurface(32);
    benchmark::DoNotOptimize(s->LoadFromMemory(file.data(), file.size()));
    s->Release();
  }
  state.counters["bytes"] = double(file.size());
}
BENCHMARK(BM_DecodePng800x600)->Unit(benchmark::kMillisecond);

void BM_DecodeJpeg800x600(benchmark::State& state) {
  const std::vector<uint8_t> file = Jpeg800x600();
  for (auto _ : state) {
    PackedDib dib = LoadJpegToDib(file.data(), file.size());
    DxSurface* s = CreateSurface(32);
    benchmark::DoNotOptimize(s->CopyFromDib(dib.bytes.data(), dib.bytes.size()));
    s->Release();
  }
  state.counters["bytes"] = double(file.size());
}
BENCHMARK(BM_DecodeJpeg800x600)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
