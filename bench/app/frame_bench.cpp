// CPU time of one headless frame while a message is revealed and while the window waits for the
// reader, against a full repaint of the screen; each figure is the median over 1,000 frames.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include "tests/app/stack.h"
#include "textscript/messwindow.h"

namespace {

constexpr int kFrames = 1000;

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};

// The game's scene in small: an opaque background picture and the message window over it.
struct Scene {
  varntest::HeadlessStack stack;
  std::unique_ptr<DxDraw::DxSurface, SurfaceRelease> system{DxDraw::CreateSurface(32)};
  TextScript::DxMessWindow* window = nullptr;
  TextScript::DxMessView2* view = nullptr;

  Scene() {
    system->Create(128, 32);
    system->Fill(nullptr, 0x808080, 255);
    TextScript::MessageServices services;
    services.systemImage = system.get();
    TextScript::SetMessageServices(services);
    auto* background = new DxDraw::DxSurfaceSprite32(800, 600);
    for (int y = 0; y < 600; y += 8) {
      platform::Rect band{0, y, 800, y + 8};
      background->DxDraw::DxSurface32::Fill(&band, uint32_t(y * 0x010203) & 0xFFFFFF, 255);
    }
    stack.screen->AddChild(background);
    window = new TextScript::DxMessWindow(800, 200, 8, 24, 44, 16, 1);
    window->SetPosition(0, 400);
    stack.screen->AddChild(window);
    view = window->m_pView;
    view->SetFont(32, 3, nullptr);
    view->SetStyleFlags(view->GetStyleFlags() | 0x10);
    RunFrame();
  }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <typename Step>
void MeasureFrames(benchmark::State& state, Step step) {
  std::vector<double> times;
  times.reserve(kFrames);
  for (auto _ : state) {
    times.clear();
    for (int i = 0; i < kFrames; ++i) {
      const std::clock_t start = std::clock();
      step(i);
      times.push_back(double(std::clock() - start) * 1e6 / CLOCKS_PER_SEC);
    }
  }
  state.counters["median_us"] = Median(times);
  double sum = 0;
  for (double t : times) sum += t;
  state.counters["mean_us"] = sum / double(times.size());
}

// One character drawn and one frame run, as in a reveal with one character a frame.
void BM_FrameWhileRevealing(benchmark::State& state) {
  Scene scene;
  const char16_t text[] = u"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。";
  const size_t length = sizeof(text) / sizeof(text[0]) - 1;
  MeasureFrames(state, [&](int i) {
    platform::Point origin;
    scene.view->GetTextOrigin(&origin);
    if (origin.y >= 3 * 35) {
      scene.view->Clear(0);
      scene.view->SetTextOrigin(0, 0);
    }
    const TextScript::MessageToken tokens[] = {{TextScript::MTOKEN_CHAR, text[size_t(i) % length]}, {}};
    scene.view->DrawTokens(0xFFFFFF, 0, tokens, nullptr, nullptr);
    RunFrame();
  });
}

// The click wait: the indicator task and one frame.
void BM_FrameWhileWaiting(benchmark::State& state) {
  Scene scene;
  scene.view->PrintText(0xFFFFFF, 0, u"「待っている」", nullptr, nullptr);
  RunFrame();
  ACT* task = scene.view->CreateTextTask(0, -1);
  MeasureFrames(state, [&](int) {
    RunACT(task);
    RunFrame();
  });
  FreeACT(task);
}

// Every pixel of the screen cleared, redrawn and presented.
void BM_FullRepaint(benchmark::State& state) {
  Scene scene;
  platform::Presenter* presenter = &scene.stack.window->GetPresenter();
  MeasureFrames(state, [&](int) { scene.stack.screen->Present(presenter, true, nullptr); });
}

BENCHMARK(BM_FrameWhileRevealing)->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameWhileWaiting)->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullRepaint)->Iterations(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
