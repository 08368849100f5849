// Frame pacing in a real SDL window under a private Xvfb: CPU and frame rate of an idle screen and
// of a page waiting for the reader, the time from a click to the presented answer, the length
// of a 65-frame fade and of the scene's 129-frame fade to black. Run it without arguments; it
// starts and ends its own X server.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "app/frame/framestep.h"
#include "bench/app/varn_process.h"
#include "bench/app/xvfb_window.h"
#include "dxdraw/dxinput.h"
#include "dxdraw/matrix.h"
#include "dxdraw/sprite.h"
#include "platform/sdl/sdl_backend.h"
#include "script/executor.h"
#include "script/scene.h"
#include "script/sceneservices.h"
#include "script/settings.h"
#include "script/transitions.h"
#include "tests/app/stack.h"
#include "tests/desktop/xvfb.h"
#include "textscript/messwindow.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kCpuWindow = std::chrono::seconds(10);
constexpr int kClicks = 20;
constexpr int kFadeSteps = 65;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

using xvfbbench::RealWindow;

RealWindow* g_Window = nullptr;

// Runs frames for the CPU window and reports the share of one core and the frame rate.
template <typename Each>
void MeasureCpu(benchmark::State& state, Each each) {
  for (auto _ : state) {
    const uint64_t frames = GetFrameCount();
    const std::clock_t cpu = std::clock();
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < kCpuWindow) each();
    const double wall = Seconds(Clock::now() - start);
    const double used = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    state.counters["cpu_percent"] = 100.0 * used / wall;
    state.counters["fps"] = double(GetFrameCount() - frames) / wall;
  }
}

// The floor of this machine: a thread that only wakes 60 times a second, with no window.
void BM_SixtyWakeupsAlone(benchmark::State& state) {
  const Clock::duration tick = std::chrono::microseconds(16667);
  Clock::time_point next = Clock::now();
  uint64_t wakeups = 0;
  for (auto _ : state) {
    const std::clock_t cpu = std::clock();
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < kCpuWindow) {
      next += tick;
      std::this_thread::sleep_until(next);
      ++wakeups;
    }
    const double wall = Seconds(Clock::now() - start);
    state.counters["cpu_percent"] = 100.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC / wall;
    state.counters["fps"] = double(wakeups) / wall;
  }
}

// Nothing on the screen changes.
void BM_IdleWindow(benchmark::State& state) {
  g_Window->Settle();
  MeasureCpu(state, [] { WaitFrame(); });
}

// A page shown and its click-wait indicator animating, as the reader sees it between pages.
void BM_WaitingPage(benchmark::State& state) {
  auto* window = new TextScript::DxMessWindow(800, 200, 8, 24, 44, 16);
  window->SetPosition(0, 400);
  g_Window->screen->AddChild(window);
  TextScript::DxMessView2* view = window->m_pView;
  view->SetFont(16, 0, nullptr);
  view->PrintText(0xFFFFFF, 0, u"ABCDEFGH", nullptr, nullptr);
  g_Window->Settle();
  ACT* task = view->CreateTextTask(0, -1);
  MeasureCpu(state, [&] {
    RunACT(task);
    WaitFrame();
  });
  FreeACT(task);
  window->Release();
  g_Window->Settle();
}

// Turns a square on the screen on or off in the frame that polled a click, before its render.
int32_t AnswerClickProc(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
  if (message != ACTMSG_RUN || !(g_Input.pressed & INPUT_LBUTTON)) return 0;
  auto* square = reinterpret_cast<DxDraw::DxSurfaceSprite32*>(act->m_User);
  if (square->IsShown())
    square->Hide();
  else
    square->Show();
  return 0;
}

using xvfbbench::ClickPipe;

// From the click (the moment xdotool is told to press, and the press's arrival in the window) to
// the end of the frame that presented the answer.
void BM_ClickToPresent(benchmark::State& state) {
  ClickPipe xdotool;
  if (!xdotool.Ok()) {
    state.SkipWithError("xdotool did not start");
    return;
  }
  auto* square = new DxDraw::DxSurfaceSprite32(64, 64);
  square->DxDraw::DxSurface32::Fill(nullptr, 0x00FF00, 255);
  square->SetPosition(100, 100);
  g_Window->screen->AddChild(square);
  ACT* answer = MakeACT(AnswerClickProc, reinterpret_cast<uintptr_t>(square));
  AddACT(1, answer);
  g_Window->Settle();
  std::vector<double> fromClick, fromArrival;
  for (auto _ : state) {
    for (int i = 0; i < kClicks; ++i) {
      std::atomic<int64_t> clickNs{0};
      std::atomic<bool> done{false};
      // The clicks fall at different places of the frame tick.
      const auto pause = std::chrono::milliseconds(60 + (i * 37) % 50);
      std::thread clicker([&] {
        std::this_thread::sleep_for(pause);
        clickNs = Clock::now().time_since_epoch().count();
        xdotool.Send("mousedown 1");
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        xdotool.Send("mouseup 1");
      });
      const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(5);
      bool seen = false;
      while (!seen && Clock::now() < giveUp) {
        WaitFrame();
        seen = (g_Input.pressed & INPUT_LBUTTON) != 0;
      }
      const int64_t presentedNs = Clock::now().time_since_epoch().count();
      done = true;
      clicker.join();
      if (seen) {
        fromClick.push_back(double(presentedNs - clickNs) / 1e6);
        fromArrival.push_back(double(presentedNs - g_Window->main.lastPressNs) / 1e6);
      }
      // The release, and a quiet moment before the next click.
      for (int f = 0; f < 10; ++f) WaitFrame();
    }
  }
  state.counters["clicks"] = double(fromClick.size());
  state.counters["median_ms_from_click"] = Median(fromClick);
  state.counters["median_ms_from_arrival"] = Median(fromArrival);
  FreeACT(answer);
  square->Release();
  g_Window->Settle();
}

// A full-screen picture faded in over 65 frames, one level step a frame.
void BM_Fade65(benchmark::State& state) {
  auto* picture = new DxDraw::DxSurfaceSprite32(800, 600);
  picture->DxDraw::DxSurface32::Fill(nullptr, 0x3060C0, 255);
  picture->m_Params.mode = 2;
  picture->m_Params.level = 0;
  g_Window->screen->AddChild(picture);
  g_Window->Settle();
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kFadeSteps; ++i) {
      picture->m_Params.level = uint32_t(std::min(255, i * 4));
      picture->MarkDirty(16);
      WaitFrame();
    }
    state.counters["fade_ms"] = Seconds(Clock::now() - start) * 1000.0;
  }
  picture->Release();
  g_Window->Settle();
}

// Notes when the background sprite has run its frame at level 0: the last of the fade's 129.
int32_t FadeEndProc(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
  if (message != ACTMSG_RUN || !g_BackgroundSprite) return 0;
  auto* end = reinterpret_cast<Clock::time_point*>(act->m_User);
  if (g_BackgroundSprite->m_Params.mode == 2 && g_BackgroundSprite->m_Params.level == 0) *end = Clock::now();
  return 0;
}

// The scene's fade to black of a full-screen picture (levels 255, 253, ..., 1, 0: 129 frames),
// from the call to the end of its level-0 frame, beside the 129 / 60 s the frame count promises.
void BM_SceneFadeToBlack129(benchmark::State& state) {
  SceneServices services(g_Window->system.get());
  BuildScene(g_Window->screen, g_Window->system.get(), g_Setting.m_FontName, WindowColourOf(g_Setting), services);
  Clock::time_point end;
  ACT* probe = MakeACT(FadeEndProc, reinterpret_cast<uintptr_t>(&end));
  AddACT(14, probe);
  std::vector<double> fades;
  for (auto _ : state) {
    g_BackgroundSurface->Fill(nullptr, 0x3060C0, 255);
    g_BackgroundState |= BACKGROUND_PENDING;
    g_SkipMode = 1;
    ShowPendingBackground();
    g_SkipMode = 0;
    g_Window->Settle();
    const Clock::time_point start = Clock::now();
    FadeToBlack();
    fades.push_back(Seconds(end - start) * 1000.0);
  }
  state.counters["median_fade_ms"] = Median(fades);
  state.counters["of_129_frames_at_60hz"] = Median(fades) / (129.0 * 1000.0 / 60.0);
  FreeACT(probe);
  ReleaseScene(services);
  g_Window->Settle();
}

BENCHMARK(BM_SixtyWakeupsAlone)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleWindow)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaitingPage)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClickToPresent)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fade65)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneFadeToBlack129)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return xvfbbench::RunWithWindow(argc, argv, u"varn-xvfb-bench", [](RealWindow& window) {
    g_Window = &window;
    benchmark::RunSpecifiedBenchmarks();
    g_Window = nullptr;
  });
}
