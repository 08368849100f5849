// CPU time of one frame of the backlog while it scrolls through 60 entries, on the headless
// backend with the sample game's pictures and faces.
//
// How the figure is taken: the backlog opens over 60 voiced entries of two lines each (180
// display lines with the empty ones, so it scrolls). The test fixture's reader task runs at the end of every frame
// (ACT level 14) and reads the thread's CPU clock; the difference between two calls is one whole
// frame of the screen: its input handling, the redraw of the 25 shown lines and their faces on the
// dim layer and the text view, and WaitFrame with the render and present. Each frame the reader
// moves the wheel one line, up until the top is reached and then down again, so every measured
// frame scrolls and redraws. 1,000 frames are taken; the counters are their median and 90th
// percentile in microseconds.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "script/screens/backlog.h"
#include "tests/script/gamefixture.h"

namespace {

constexpr size_t kFrames = 1000;

double ThreadCpuMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

class BacklogGame : public scripttest::SampleGameTest {
 public:
  BacklogGame() { m_Ready = InstallSampleServices(); }
  ~BacklogGame() override { RemoveSampleServices(); }
  void TestBody() override {}
  using GameTest::reader;
  using GameTest::stack;
  using SampleGameTest::archive;
  using SampleGameTest::system;
  bool m_Ready = false;
};

void BM_BacklogScrollingSixtyEntries(benchmark::State& state) {
  BacklogGame game;
  if (!game.m_Ready) return state.SkipWithError("no sample data in " VARN_BINARY_DIR "/data");
  const ScreenSources sources{game.stack.screen, game.archive.Get(), game.system.get()};
  std::vector<double> times;
  for (auto _ : state) {
    g_BackLog = std::make_unique<BackLogList>();
    for (int i = 0; i < 60; ++i)
      g_BackLog->Append(
          u"灯降りの夜、川辺には小さな灯籠がいくつも浮かんでいた。水面に映った火が、ゆっくりと下流へ運ばれていく。",
          u"TK001");
    const int maxTop = static_cast<int>(CutBacklogLines(*g_BackLog).lines.size()) - kBacklogVisibleLines;
    times.clear();
    times.reserve(kFrames);
    double last = 0;
    int direction = 1, moved = 0;
    game.reader = [&](uint64_t) {
      const double now = ThreadCpuMicroseconds();
      if (last > 0 && times.size() < kFrames) times.push_back(now - last);
      if (times.size() >= kFrames) {
        game.stack.input->TapButton(1);
      } else {
        // From the end to the top, then back.
        if (++moved > maxTop) {
          moved = 1;
          direction = -direction;
        }
        game.stack.input->AddMotion(0, 0, 120 * direction);
      }
      last = ThreadCpuMicroseconds();
    };
    RunBackLog(sources);
    game.reader = nullptr;
  }
  std::sort(times.begin(), times.end());
  if (times.size() < kFrames) return state.SkipWithError("the backlog closed early");
  state.counters["median_us"] = times[times.size() / 2];
  state.counters["p90_us"] = times[times.size() * 9 / 10];
  state.counters["frames"] = double(times.size());
}
BENCHMARK(BM_BacklogScrollingSixtyEntries)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
