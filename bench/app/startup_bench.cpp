// Start-up on the headless backend, in-process: from WinMain's call to the title's first frame,
// and the peak resident size there. The sample game's archives from the build; the brand logo is
// the stand-in's (none), so the time holds everything from the archives to the title.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>

#include "tests/app/startfixture.h"

namespace {

// The process's peak resident set, in kB (VmHWM).
long PeakRssKb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

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

}  // namespace

BENCHMARK_MAIN();
