// The game's executable under a private Xvfb: from exec to its first presented frame (the window
// found with its menu bar drawn), its peak resident size and its processor use while the title
// waits for input (10 s). Run it without arguments; it starts and ends its own X server.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "bench/app/varn_process.h"
#include "tests/desktop/xvfb.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using Game = xvfbbench::VarnProcess;

bool Light(xvfbtest::Rgb c) {
  return c.r > 150 && c.g > 150 && c.b > 150;
}

xvfbtest::Server* g_X = nullptr;

// Waits for the game's window and its first frame: the menu bar drawn in its strip. The window
// is looked for every few milliseconds (xdotool's own wait looks only twice a second), and its
// size read again with every capture, as the window takes its final size once shown.
bool FirstFrame(const Game&) {
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  unsigned long id = 0;
  while (Clock::now() < deadline) {
    std::string found, geometry;
    if (!id && g_X->Tool("search --name 'Lanternfall'", &found)) id = std::strtoul(found.c_str(), nullptr, 10);
    int w = 0, h = 0;
    const size_t g = id && g_X->Tool("getwindowgeometry " + std::to_string(id), &geometry) ? geometry.find("Geometry: ")
                                                                                           : std::string::npos;
    if (g != std::string::npos && std::sscanf(geometry.c_str() + g, "Geometry: %dx%d", &w, &h) == 2 && w > 200 &&
        h > 600) {
      const std::vector<uint8_t> shot = g_X->Capture(id, w, h);
      if (!shot.empty() && Light(xvfbtest::At(shot, w, w - 200, (h - 600) / 2))) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

void BM_ExecToFirstFrame(benchmark::State& state) {
  if (!g_X->Ok()) {
    state.SkipWithError(("no Xvfb: " + g_X->Error()).c_str());
    return;
  }
  int n = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    Game game("-" + std::to_string(n++));
    if (!FirstFrame(game)) {
      state.SkipWithError("the game's first frame never came");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
}
BENCHMARK(BM_ExecToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_TitleIdle(benchmark::State& state) {
  if (!g_X->Ok()) {
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
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
