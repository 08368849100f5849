// Speed of every 32-bit pixel operation in both forms on an 800x600 frame, beside memcpy and pixman's OVER,
// and of each vector version of the MMX form.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <string>

#include "dxdraw/blit.h"
#include "dxdraw/blitroutines.h"
#include "dxdraw/pixelbuffer.h"

namespace {

constexpr int kW = 800, kH = 600;

// Source and destination frames with varied colours and transparency (no all-opaque shortcuts).
struct Frames {
  DxDraw::PixelBuffer src{kW, kH, 4}, dst{kW, kH, 4}, mask{kW, kH, 4};
  Frames() {
    std::mt19937 rng(1);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        src.Set32(x, y, rng());
        dst.Set32(x, y, rng());
        mask.Set32(x, y, rng());
      }
  }
};

Frames& SharedFrames() {
  static Frames f;
  return f;
}

void BM_Memcpy(benchmark::State& state) {
  Frames& f = SharedFrames();
  for (auto _ : state) {
    std::memcpy(f.dst.Bytes(), f.src.Bytes(), f.src.Size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.src.Size()));
}
BENCHMARK(BM_Memcpy);

void BM_PixmanOver(benchmark::State& state) {
  Frames& f = SharedFrames();
  const int stride = static_cast<int>(f.src.Stride());
  pixman_image_t* src =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, reinterpret_cast<uint32_t*>(f.src.Bytes()), stride);
  pixman_image_t* dst =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, reinterpret_cast<uint32_t*>(f.dst.Bytes()), stride);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.src.Size()));
}
BENCHMARK(BM_PixmanOver);

// args: operation, MMX form (0/1), source transparency (0/1). Row 0, level 128 (MaskFade 300).
void BM_Blt32(benchmark::State& state) {
  Frames& f = SharedFrames();
  const uint32_t op = static_cast<uint32_t>(state.range(0));
  const bool mmx = state.range(1) != 0;
  BltParams caller;
  caller.mode = BltMode(op, 0, state.range(2) ? kBltSrcAlpha : 0);
  caller.level = op == kBltMaskFade ? 300 : 128;
  const BltParams p = PrepareBltParams32(&caller);
  const BltFunc fn = LookupBlt(mmx ? g_BltTable32Mmx : g_BltTable32, p.mode);
  for (auto _ : state) {
    fn(f.dst.Top(), f.src.Top(), f.mask.Top(), kW, &p, f.dst.Pitch(), f.src.Pitch(), f.mask.Pitch(), kH);
    benchmark::ClobberMemory();
  }
  static const char* const kNames[] = {"Copy", "Bright", "Blend", "Add", "Sub", "MaskFade",
                                       "",     "",       "",      "",    "Xor", "BlendOnLayer"};
  state.SetLabel(std::string(kNames[op]) + (mmx ? " MMX" : " plain") + (state.range(2) ? " +srcT" : ""));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.src.Size()));
}
BENCHMARK(BM_Blt32)->ArgsProduct({{0, 1, 2, 3, 4, 5, 10, 11}, {0, 1}, {0, 1}});

// The vector versions of the MMX form side by side (args: 0 SSE2, 1 AVX2, 2 AVX-512; operation; source
// transparency), row 0 at level 128 (MaskFade 300). A version the processor lacks is skipped.
void BM_Blt32Version(benchmark::State& state) {
  Frames& f = SharedFrames();
  static const char* const kVersions[] = {"SSE2", "AVX2", "AVX-512"};
  static const std::array<BltFunc, kBltTableSize>* const kTables[] = {&g_BltTable32MmxSse2, &g_BltTable32MmxAvx2,
                                                                      &g_BltTable32MmxAvx512};
  const int version = static_cast<int>(state.range(0));
  if ((version == 1 && !CpuHasAvx2()) || (version == 2 && !CpuHasAvx512())) {
    state.SkipWithError("this processor lacks the instructions");
    return;
  }
  const uint32_t op = static_cast<uint32_t>(state.range(1));
  BltParams caller;
  caller.mode = BltMode(op, 0, state.range(2) ? kBltSrcAlpha : 0);
  caller.level = op == kBltMaskFade ? 300 : 128;
  const BltParams p = PrepareBltParams32(&caller);
  const BltFunc fn = LookupBlt(*kTables[version], p.mode);
  for (auto _ : state) {
    fn(f.dst.Top(), f.src.Top(), f.mask.Top(), kW, &p, f.dst.Pitch(), f.src.Pitch(), f.mask.Pitch(), kH);
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(kVersions[version]) + " op " + std::to_string(op) + (state.range(2) ? " +srcT" : ""));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.src.Size()));
}
BENCHMARK(BM_Blt32Version)->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3, 4, 5, 10, 11}, {0, 1}});

void BM_Fill32(benchmark::State& state) {
  Frames& f = SharedFrames();
  const bool mmx = state.range(0) != 0;
  for (auto _ : state) {
    (mmx ? Fill32Mmx : Fill32C)(f.dst.Top(), kW, f.dst.Pitch(), 0x80123456, kH);
    benchmark::ClobberMemory();
  }
  state.SetLabel(mmx ? "MMX" : "plain");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.dst.Size()));
}
BENCHMARK(BM_Fill32)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
