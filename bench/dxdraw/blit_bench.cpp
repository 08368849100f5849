// Speed of every 32-bit pixel operation in both forms on an 800x600 frame, beside memcpy and pixman's OVER,
// and of each version side by side.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

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

// The operations of the 32-bit tables, as benchmark arguments.
std::vector<int64_t> Ops32() {
  const std::vector<uint32_t> ops = BltOperationsOf(32);
  return std::vector<int64_t>(ops.begin(), ops.end());
}

BltParams Prepared(uint32_t op, bool srcT) {
  BltParams caller;
  caller.mode = BltMode(op, 0, srcT ? kBltSrcAlpha : 0);
  caller.level = op == kBltMaskFade ? 300 : 128;
  return PrepareBltParams32(&caller);
}

// args: operation, MMX form (0/1), source transparency (0/1). Row 0, level 128 (MaskFade 300). The MMX
// form runs the vector version in force: the processor's widest, or the one VARN_BLIT_VERSION names.
void BM_Blt32(benchmark::State& state) {
  Frames& f = SharedFrames();
  const uint32_t op = static_cast<uint32_t>(state.range(0));
  const bool mmx = state.range(1) != 0;
  if (mmx && DxDraw::GetBlitVersion() == DxDraw::BlitVersion::kPlain) {
    state.SkipWithError("VARN_BLIT_VERSION=plain: the MMX form is off");
    return;
  }
  const BltParams p = Prepared(op, state.range(2) != 0);
  const BltFunc fn = LookupBlt(mmx ? g_BltTable32Mmx : g_BltTable32, p.mode);
  for (auto _ : state) {
    fn(f.dst.Top(), f.src.Top(), f.mask.Top(), kW, &p, f.dst.Pitch(), f.src.Pitch(), f.mask.Pitch(), kH);
    benchmark::ClobberMemory();
  }
  const std::string form =
      mmx ? std::string(" MMX (") + DxDraw::BlitVersionName(DxDraw::GetBlitVersion()) + ")" : " plain";
  state.SetLabel(BltOperationName(op) + form + (state.range(2) ? " +srcT" : ""));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.src.Size()));
}
BENCHMARK(BM_Blt32)->ArgsProduct({Ops32(), {0, 1}, {0, 1}});

// Every version side by side, each through its own table (args: version in DxDraw::kBlitVersions order,
// operation, source transparency), row 0 at level 128 (MaskFade 300). A version the processor lacks is
// skipped.
void BM_Blt32Version(benchmark::State& state) {
  Frames& f = SharedFrames();
  const DxDraw::BlitVersion version = DxDraw::kBlitVersions[state.range(0)];
  if (!DxDraw::BlitVersionAvailable(version)) {
    state.SkipWithError("this processor lacks the instructions");
    return;
  }
  const uint32_t op = static_cast<uint32_t>(state.range(1));
  const BltParams p = Prepared(op, state.range(2) != 0);
  const BltFunc fn = LookupBlt(BlitVersionTable32(version), p.mode);
  for (auto _ : state) {
    fn(f.dst.Top(), f.src.Top(), f.mask.Top(), kW, &p, f.dst.Pitch(), f.src.Pitch(), f.mask.Pitch(), kH);
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(DxDraw::BlitVersionName(version)) + " " + BltOperationName(op) +
                 (state.range(2) ? " +srcT" : ""));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.src.Size()));
}
BENCHMARK(BM_Blt32Version)
    ->ArgsProduct({benchmark::CreateDenseRange(0, std::size(DxDraw::kBlitVersions) - 1, 1), Ops32(), {0, 1}});

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

// VARN_BLIT_VERSION (plain, sse2, avx2, avx512) chooses the version the MMX form runs.
int main(int argc, char** argv) {
  DxDraw::DetectCpu();
  if (const char* name = std::getenv("VARN_BLIT_VERSION")) {
    DxDraw::BlitVersion version;
    if (!DxDraw::ParseBlitVersion(name, version)) {
      std::fprintf(stderr, "VARN_BLIT_VERSION=%s: not one of plain, sse2, avx2, avx512\n", name);
      return 2;
    }
    if (!DxDraw::SetBlitVersion(version)) {
      std::fprintf(stderr, "VARN_BLIT_VERSION=%s: this processor lacks the instructions\n", name);
      return 2;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
