// The game's executable under a private Xvfb: from exec to its first presented frame (the window
// found with its menu bar drawn), its peak resident size and its processor use while the title
// waits for input (10 s). Run it without arguments; it starts and ends its own X server.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/app/varn_process.h"
#include "tests/desktop/xvfb.h"
// Last: Xlib's macros (None, Bool, Status) would clash with the names in the headers above.
#include "bench/app/xprobe.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using Game = xvfbbench::VarnProcess;

bool Light(xvfbtest::Rgb c) {
  return c.r > 150 && c.g > 150 && c.b > 150;
}

xvfbtest::Server* g_X = nullptr;

xvfbbench::XProbe* g_Probe = nullptr;

// Waits for the game's window and its first frame: the menu bar drawn in its strip. The window
// and its pixel are read straight from the X server every millisecond, and its size again with
// every look, as the window takes its final size once shown.
bool FirstFrame(const Game&) {
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  Window id = 0;
  while (Clock::now() < deadline) {
    if (!id) id = g_Probe->FindMapped("Lanternfall");
    int w = 0, h = 0;
    if (id && g_Probe->Size(id, w, h) && w > 200 && h > 600) {
      const long pixel = g_Probe->Pixel(id, w - 200, (h - 600) / 2);
      if (pixel >= 0 && Light(xvfbtest::Rgb{int(pixel >> 16) & 0xFF, int(pixel >> 8) & 0xFF, int(pixel) & 0xFF}))
        return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

void BM_ExecToFirstFrame(benchmark::State& state) {
  if (!g_X->Ok() || !g_Probe->Ok()) {
    state.SkipWithError(("no Xvfb: " + g_X->Error()).c_str());
    return;
  }
  int n = 0;
  std::vector<double> times;
  for (auto _ : state) {
    const auto start = Clock::now();
    Game game("-" + std::to_string(n++));
    if (!FirstFrame(game)) {
      state.SkipWithError("the game's first frame never came");
      return;
    }
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    state.SetIterationTime(times.back());
  }
  // The median: on a machine shared with other work a few slow starts pull the mean up.
  std::sort(times.begin(), times.end());
  if (!times.empty()) state.counters["median_ms"] = 1000.0 * times[times.size() / 2];
}
BENCHMARK(BM_ExecToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_TitleIdle(benchmark::State& state) {
  if (!g_X->Ok() || !g_Probe->Ok()) {
    state.SkipWithError(("no Xvfb: " + g_X->Error()).c_str());
    return;
  }
  for (auto _ : state) {
    Game game("-idle");
    if (!FirstFrame(game)) {
      state.SkipWithError("the game's first frame never came");
      return;
    }
    // The brand logo takes about seven seconds; the title is up after it.
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const long before = game.CpuTicks();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double ticks = double(game.CpuTicks() - before);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["cpu_percent_of_a_core"] = 100.0 * ticks / double(sysconf(_SC_CLK_TCK)) / seconds;
    state.counters["peak_rss_kB_at_title"] = double(game.PeakRssKb());
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_TitleIdle)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  xvfbtest::Server x;
  g_X = &x;
  xvfbbench::XProbe probe(x.Ok() ? x.Display() : std::string());
  g_Probe = &probe;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
