// The background's pictures on the headless backend: the CPU time of one frame of a full-screen
// cross-fade beside one 800x600 blend pass of the pixel routines, and the time to compose a
// background with its overlay from the sample's script archive.
//
// How the figures are taken:
// - Cross-fade frames: the sample scene is built on the game's scene services, and two pictures
//   are shown in turn with the 17-frame cross-fade (ShowPendingBackground). The script tests'
//   reader task runs at the end of every frame (ACT level 14) and reads the thread's CPU clock;
//   the difference between two calls is one whole frame: the fade step, WaitFrame with every ACT
//   level, the changed screen cleared, the background and the fading picture drawn (a copy and a
//   blend of 800x600), and the result presented to the headless front image. Only frames with the
//   fading picture up at both ends count (so the composition before a fade does not). 1,000 such
//   frames are taken; the counters are their median and 90th percentile in microseconds, the
//   median of 200 blend passes (one DxSurface32::Blt of 800x600 in blend mode at level 128, the
//   routine the sprite's blend uses) timed the same way in the same run, and their ratio; once
//   with the plain pixel routines and once with the MMX form that start-up chooses.
// - Composition: DrawBackground of "H021000" (a base and one overlay, 800x600 PNGs) onto the
//   scene's work image, Google Benchmark's own timing per call.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "dxdraw/blit.h"
#include "script/images.h"
#include "script/scene.h"
#include "script/transitions.h"
#include "tests/script/gamefixture.h"

namespace {

constexpr size_t kFrames = 1000;
constexpr int kBlendPasses = 200;

double ThreadCpuMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The sample scene built on the headless game of the script tests.
class PictureGame : public scripttest::SampleGameTest {
 public:
  PictureGame() {
    m_Ready = InstallSampleServices();
    if (!m_Ready) return;
    GameScene().BuildScene();
    WaitFrame();
  }
  ~PictureGame() override { RemoveSampleServices(); }
  void TestBody() override {}

  using GameTest::reader;
  bool Ready() const { return m_Ready; }

 private:
  bool m_Ready = false;
};

bool Fading() {
  return g_SceneLayers[kBackgroundLayer] &&
         g_SceneLayers[kBackgroundLayer]->GetLastChild() != static_cast<ssView*>(g_BackgroundSprite);
}

double BlendPassMedian() {
  scripttest::SampleSurface source(DxDraw::CreateSurface(32)), target(DxDraw::CreateSurface(32));
  source->Create(kSceneWidth, kSceneHeight);
  target->Create(kSceneWidth, kSceneHeight);
  source->Fill(nullptr, 0x3060C0, 255);
  target->Fill(nullptr, 0x102030, 255);
  BltParams params;
  params.mode = kBltBlend;
  params.level = 128;
  const platform::Rect whole = source->Bounds();
  std::vector<double> times;
  for (int i = 0; i < kBlendPasses; ++i) {
    const double start = ThreadCpuMicroseconds();
    target->Blt(0, 0, source.get(), &whole, nullptr, &params);
    times.push_back(ThreadCpuMicroseconds() - start);
  }
  return Median(times);
}

// arg: 0 the plain pixel routines, 1 the MMX form as start-up picks it (DetectCpu).
void BM_CrossFadeFrame(benchmark::State& state) {
  if (state.range(0)) {
    DxDraw::DetectCpu();
  } else {
    g_UseMmx = 0;
  }
  PictureGame game;
  if (!game.Ready()) return state.SkipWithError("no sample data in " VARN_BINARY_DIR "/data");
  std::vector<double> times;
  for (auto _ : state) {
    times.clear();
    double last = 0;
    bool before = false;
    game.reader = [&](uint64_t) {
      const double now = ThreadCpuMicroseconds();
      const bool fading = Fading();
      if (before && fading && times.size() < kFrames) times.push_back(now - last);
      before = fading;
      last = ThreadCpuMicroseconds();
    };
    // The first picture after the black of the build takes the slow fade; the rest cross-fade.
    for (int i = 0; times.size() < kFrames && i < 1000; ++i) {
      g_BackgroundState |= BACKGROUND_PENDING;
      GameSceneServices().DrawBackground(i % 2 ? u"H020000" : u"E010000");
      GameSceneServices().ShowPendingBackground();
    }
    game.reader = nullptr;
  }
  std::sort(times.begin(), times.end());
  const double blend = BlendPassMedian();
  state.counters["median_us"] = times[times.size() / 2];
  state.counters["p90_us"] = times[times.size() * 9 / 10];
  state.counters["blend_pass_us"] = blend;
  state.counters["frame_per_blend"] = blend > 0 ? times[times.size() / 2] / blend : 0;
  state.counters["frames"] = double(times.size());
  state.SetLabel(g_UseMmx ? "MMX form" : "plain form");
  g_UseMmx = 0;
}

void BM_ComposeBackgroundWithOverlay(benchmark::State& state) {
  PictureGame game;
  if (!game.Ready()) return state.SkipWithError("no sample data in " VARN_BINARY_DIR "/data");
  for (auto _ : state) GameSceneServices().DrawBackground(u"H021000");
}

BENCHMARK(BM_CrossFadeFrame)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeBackgroundWithOverlay)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
