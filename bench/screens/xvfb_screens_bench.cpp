// The brand logo's and the timed notice's holds at real pacing, in an SDL window under a private
// Xvfb, with the sample game's pictures. Run it without arguments; it starts and ends its own X
// server.
//
// How the figures are taken: a task at the end of every frame (ACT level 14) notes the steady
// clock. The logo's hold is the time from the end of the fade in's last frame (the first frame at
// full level) to the end of the fade out's first frame (the last frame at full level); the
// notice's hold is the time from the end of its first frame (the release wait, no input held) to
// its return. Each is set against its 5000 or 2000 ms; hold_error_percent is the difference in
// percent of it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/frame/framestep.h"
#include "bench/app/xvfb_window.h"
#include "lib/act.h"
#include "platform/sdl/sdl_backend.h"
#include "script/screens/screens.h"
#include "tests/app/stack.h"
#include "tests/desktop/xvfb.h"
#include "tests/script/sampledata.h"

namespace {

using Clock = xvfbbench::Clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

using xvfbbench::RealWindow;

RealWindow* g_Window = nullptr;

// The end of every frame: the clock, and the level of the screen's topmost sprite.
struct FrameNote {
  Clock::time_point at;
  int level;
};
std::vector<FrameNote>* g_Notes = nullptr;

int32_t NoteProc(ACT*, uint32_t message, uintptr_t, uintptr_t) {
  if (message != ACTMSG_RUN || !g_Notes) return 0;
  auto* top = dynamic_cast<DxDraw::DxSprite*>(g_Window->frames->screen->GetLastChild());
  g_Notes->push_back(FrameNote{Clock::now(), top ? int(top->m_Params.level) : -1});
  return 0;
}

void Report(benchmark::State& state, double hold, double expected) {
  state.counters["hold_ms"] = hold;
  state.counters["hold_error_percent"] = 100.0 * std::fabs(hold - expected) / expected;
}

void BM_BrandLogoHold(benchmark::State& state) {
  ComRef<IArchive> archive = scripttest::OpenSampleArchive("script.pux");
  if (!archive) return state.SkipWithError("no sample data in " VARN_BINARY_DIR "/data");
  for (auto _ : state) {
    std::vector<FrameNote> notes;
    g_Notes = &notes;
    ShowBrandLogo(g_Window->frames->screen, archive.Get());
    g_Notes = nullptr;
    size_t in = 0;
    while (in < notes.size() && notes[in].level != 255) ++in;
    size_t out = in;
    while (out + 1 < notes.size() && notes[out + 1].level == 255) ++out;
    if (out >= notes.size()) return state.SkipWithError("the logo's levels were not seen");
    Report(state, Ms(notes[out].at - notes[in].at), 5000.0);
    state.counters["frames"] = double(notes.size());
  }
}

void BM_TimedNoticeHold(benchmark::State& state) {
  scripttest::SampleSurface system = scripttest::LoadSystemPicture();
  if (!system) return state.SkipWithError("no sample data in " VARN_BINARY_DIR "/data");
  for (auto _ : state) {
    std::vector<FrameNote> notes;
    g_Notes = &notes;
    ShowTimedNotice(g_Window->frames->screen, system.get(), u"セーブしました", 2000);
    const Clock::time_point end = Clock::now();
    g_Notes = nullptr;
    if (notes.empty()) return state.SkipWithError("no frame was seen");
    Report(state, Ms(end - notes.front().at), 2000.0);
  }
}

BENCHMARK(BM_BrandLogoHold)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimedNoticeHold)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return xvfbbench::RunWithWindow(argc, argv, u"varn-xvfb-screens", [](RealWindow& window) {
    g_Window = &window;
    AddACT(14, MakeACT(NoteProc, 0));
    benchmark::RunSpecifiedBenchmarks();
    g_Window = nullptr;
  });
}
