// Start-up on the headless backend, in-process: from WinMain's call to the first frame, from the
// brand logo's last frame to the title's first, and the peak resident size at the title. The
// sample game's archives from the build; the headless clock lets the logo's hold pass at once.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>

#include "bench/app/varn_process.h"
#include "tests/app/startfixture.h"

namespace {

using xvfbbench::PeakRssKb;

void BM_StartToTitle(benchmark::State& state) {
  long peak = 0;
  for (auto _ : state) {
    starttest::StartRig rig;
    const auto start = std::chrono::steady_clock::now();
    double seconds = 0;
    rig.onFrame = [&](int) {
      if (!starttest::StartRig::AtTitle() || seconds > 0) return;
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      peak = PeakRssKb();
      rig.Close(platform::MsgResult::Yes);
    };
    rig.Start();
    state.SetIterationTime(seconds);
  }
  state.counters["peak_rss_kB_at_title"] = double(peak);
}
BENCHMARK(BM_StartToTitle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_StartToFirstFrame(benchmark::State& state) {
  for (auto _ : state) {
    starttest::StartRig rig;
    const auto start = std::chrono::steady_clock::now();
    double seconds = 0;
    rig.onFrame = [&](int frame) {
      if (frame != 1) return;
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      rig.Close(platform::MsgResult::Yes);
    };
    rig.Start();
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The logo's end to the title: the last frame before the scenario run to the title's first.
void BM_LogoEndToTitle(benchmark::State& state) {
  for (auto _ : state) {
    starttest::StartRig rig;
    auto lastLogoFrame = std::chrono::steady_clock::now();
    double seconds = 0;
    rig.onFrame = [&](int) {
      if (seconds > 0) return;
      const auto now = std::chrono::steady_clock::now();
      if (!g_pCurrentGroup) {
        lastLogoFrame = now;
        return;
      }
      if (!starttest::StartRig::AtTitle()) return;
      seconds = std::chrono::duration<double>(now - lastLogoFrame).count();
      rig.Close(platform::MsgResult::Yes);
    };
    rig.Start();
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_LogoEndToTitle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
