// CPU time of one frame of the title screen while a button is highlighted, on the headless
// backend with the sample game's title sheet.
//
// How the figure is taken: the screen tests' reader task runs once at the end of every frame (ACT
// level 14) while the title's menu waits; it reads the thread's CPU clock (so the sound thread
// does not count) on entry and on leaving, and the difference from the last leaving to this entry
// is one whole frame of the title: its hover check, WaitFrame with every ACT level, the screen
// drawn and presented. The cursor rests over the start button, which shows its highlighted
// frame; the mouse moves to and fro inside the button every frame, so the tracker works each
// frame while the frame stays lit. 1,000 frames are taken after the fade in; the counters are
// their median and 90th percentile in microseconds.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "tests/script/screens/screenfixture.h"

namespace {

constexpr size_t kFrames = 1000;

double ThreadCpuMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

class TitleGame : public screentest::ScreenTest {
 public:
  TitleGame() { SetUp(); }
  void TestBody() override {}
  bool Ready() const { return bool(archive); }

  std::vector<double> HighlightedFrames() {
    std::vector<double> times;
    times.reserve(kFrames);
    double last = 0;
    bool lit = false;
    everyFrame = [&](uint64_t frame) {
      const double now = ThreadCpuMicroseconds();
      if (lit && times.size() < kFrames) times.push_back(now - last);
      const platform::Point p = Slot(1);
      stack.window->SetCursor(platform::Point{p.x + int32_t(frame % 2) * 3, p.y});
      lit = Pixel(SlotFill(1).x, SlotFill(1).y) == kLitFill;
      if (times.size() == kFrames) {
        stack.window->SetCursor(Slot(5));
        stack.input->TapButton(0);
      }
      last = ThreadCpuMicroseconds();
    };
    RunTitle(Parts());
    everyFrame = nullptr;
    return times;
  }
};

void BM_TitleButtonHighlighted(benchmark::State& state) {
  TitleGame game;
  if (!game.Ready()) return state.SkipWithError("no sample data in " VARN_BINARY_DIR "/data");
  for (auto _ : state) {
    std::vector<double> times = game.HighlightedFrames();
    if (times.size() < kFrames) return state.SkipWithError("the title ended before enough frames were seen");
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times[times.size() / 2];
    state.counters["p90_us"] = times[times.size() * 9 / 10];
    state.counters["frames"] = double(times.size());
  }
}
BENCHMARK(BM_TitleButtonHighlighted)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
