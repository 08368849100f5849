// CPU time of one frame of the running sample scenario at a page-end wait and during a message
// reveal, and the wall time from the start of a run of a generated 1 MB scenario to its first
// character, all on the headless backend with the game's script services installed.
//
// How the figures are taken:
// - Frames: the test fixture's reader task runs once at the end of every frame (ACT level 14)
//   inside the running scenario. It reads the thread's CPU clock (CLOCK_THREAD_CPUTIME_ID, so the
//   sound thread does not count) each time; the difference between two calls is one whole frame
//   of the running task: the script's work between frames, WaitFrame with every ACT level, the
//   scene drawn and presented. A frame is counted as a page-end frame when the page end's mark
//   was up at both ends of it, and as a reveal frame when both ends fell inside the message
//   view's wait between two characters (the view waits through the message-frame service, which
//   the benchmark wraps to see it). 1,000 such frames are taken; the counters are their median
//   and 90th percentile in microseconds.
// - First character: the same wrapper notes the steady clock at the reveal's first wait, which
//   the view makes right after it drew the first character of the first message. The figure is
//   the wall time from the call of RunScenario to that moment: loading "iv.txt" and the 1 MB
//   scenario, compiling it, the title (a test double here), building the scene and opening the
//   message window. The run is then ended by a return to the title, outside the measured time.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "script/gameservices.h"
#include "script/scenario.h"
#include "script/scene.h"
#include "tests/script/gamefixture.h"
#include "tests/script/sampledata.h"
#include "textscript/framewait.h"

namespace {

using scripttest::SceneChoiceShows;
using scripttest::ScenePageWaits;

constexpr size_t kFrames = 1000;
constexpr char16_t kGeneratedName[] = u"bench.txt";

double ThreadCpuMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

// Hands every wait of the message view on to the frame step, noting while the view waits between
// two characters; armed, it notes the time of the first such wait and ends the run at once.
class RevealProbe : public TextScript::IMessageFrame {
 public:
  RevealProbe() : m_pNext(TextScript::SetMessageFrame(this)) {}
  ~RevealProbe() override { TextScript::SetMessageFrame(m_pNext); }

  void WaitFrame() override { m_pNext->WaitFrame(); }
  uint32_t HeldInput() const override { return m_pNext->HeldInput(); }
  uint32_t PressedInput() const override { return m_pNext->PressedInput(); }
  uint32_t WaitTime(uint32_t ms, uint32_t flags) override {
    if (armed) {
      armed = false;
      firstCharacter = std::chrono::steady_clock::now();
      statements = g_pCurrentGroup ? g_pCurrentGroup->Count() : 0;
      g_TransferRequest = 1;  // back to the title: the run ends in this wait
    }
    revealing = true;
    struct Clear {
      bool& flag;
      ~Clear() { flag = false; }
    } clear{revealing};
    return m_pNext->WaitTime(ms, flags);
  }

  bool revealing = false;
  bool armed = false;
  int32_t statements = 0;  // of the running group when the first character was drawn
  std::chrono::steady_clock::time_point firstCharacter;

 private:
  TextScript::IMessageFrame* m_pNext;
};

// The sample game on the script tests' headless game (see SampleGameTest).
class SampleGame : public scripttest::SampleGameTest {
 public:
  SampleGame() { m_Ready = InstallSampleServices(); }
  ~SampleGame() override {
    probe.reset();
    RemoveSampleServices();
  }
  void TestBody() override {}

  using GameTest::AllServices;
  using GameTest::ChoiceAt;
  using GameTest::ClickAt;
  using GameTest::reader;
  using SampleGameTest::script;

  bool Ready() const { return m_Ready; }

  int RunFile(std::u16string_view name) {
    frames = 0;
    return RunScenario(name, 0, table);
  }

  bool m_Ready = false;
  std::unique_ptr<RevealProbe> probe = std::make_unique<RevealProbe>();
};

// The frames of the running sample scenario: each frame's CPU time, kept when keep says so from
// the page-end and reveal states at its start and its end. The reader clicks on through page ends
// (or stays at the first with holdPageEnd) and takes the first choice; once enough frames are
// kept the run returns to the title. Runs the scenario again until enough frames are kept.
struct FrameState {
  bool pageEnd = false;
  bool revealing = false;
};

template <typename Keep>
std::vector<double> CollectFrames(SampleGame& game, bool holdPageEnd, Keep keep) {
  std::vector<double> times;
  times.reserve(kFrames);
  double last = 0;
  FrameState before;
  bool choosing = false;
  game.reader = [&](uint64_t frame) {
    const double now = ThreadCpuMicroseconds();
    const FrameState state{ScenePageWaits(), game.probe->revealing};
    if (frame > 1 && times.size() < kFrames && keep(before, state)) times.push_back(now - last);
    if (times.size() >= kFrames) g_TransferRequest = 1;
    if (state.pageEnd && !before.pageEnd && !holdPageEnd) game.ClickAt(platform::Point{400, 300});
    const bool menu = SceneChoiceShows();
    if (menu && !choosing) game.ClickAt(SampleGame::ChoiceAt(0));
    choosing = menu;
    before = state;
    last = ThreadCpuMicroseconds();
  };
  for (int run = 0; run < 20 && times.size() < kFrames; ++run) {
    before = FrameState{};
    game.RunFile(u"_start.txt");
  }
  game.reader = nullptr;
  return times;
}

void ReportFrames(benchmark::State& state, std::vector<double> times) {
  if (times.size() < kFrames) {
    state.SkipWithError("the scenario ended before enough frames were seen");
    return;
  }
  std::sort(times.begin(), times.end());
  state.counters["median_us"] = times[times.size() / 2];
  state.counters["p90_us"] = times[times.size() * 9 / 10];
  state.counters["frames"] = double(times.size());
}

// A frame at the first page end of the sample scenario, held for 1,000 frames.
void BM_FrameAtPageEnd(benchmark::State& state) {
  SampleGame game;
  if (!game.Ready()) return state.SkipWithError("no sample data in " VARN_BINARY_DIR "/data");
  std::vector<double> times;
  for (auto _ : state)
    times = CollectFrames(game, true, [](FrameState a, FrameState b) { return a.pageEnd && b.pageEnd; });
  ReportFrames(state, std::move(times));
}

// A frame while the sample scenario's messages are revealed, character by character.
void BM_FrameDuringReveal(benchmark::State& state) {
  SampleGame game;
  if (!game.Ready()) return state.SkipWithError("no sample data in " VARN_BINARY_DIR "/data");
  std::vector<double> times;
  for (auto _ : state)
    times = CollectFrames(game, false, [](FrameState a, FrameState b) { return a.revealing && b.revealing; });
  ReportFrames(state, std::move(times));
}

// A scenario of at least `bytes` bytes of Shift-JIS: pages of one message on one long line of
// 100 full-width characters, each followed by a blank line (the page end). Counts its pages and
// lines; both stay far inside what the read flags and the 16-bit line numbers hold.
std::string GenerateScenario(size_t bytes, int* pages, int* lines) {
  const std::string text = WideToSjis(
      u"夕暮れの町に灯りがともり、石畳の坂道を風が静かに渡っていく。提灯の列は川辺まで続き、"
      u"子どもたちの笑い声が遠くから聞こえてきた。今夜は年に一度の灯降りの夜だ。");
  std::string out;
  out.reserve(bytes + 256);
  *pages = 0;
  *lines = 0;
  size_t at = 0;
  while (out.size() < bytes) {
    for (int c = 0; c < 100; ++c) {
      out.append(text, at, 2);
      at = (at + 2) % text.size();
    }
    out += "\n\n";
    ++*pages;
    *lines += 2;
  }
  return out;
}

// The scenario files: the generated one by its name, every other from the script archive.
class GeneratedFiles : public IScriptFiles {
 public:
  GeneratedFiles(IScriptFiles& archive, std::string scenario) : m_Archive(archive), m_Scenario(std::move(scenario)) {}
  std::string LoadScriptFile(std::u16string_view name) override {
    return name == kGeneratedName ? m_Scenario : m_Archive.LoadScriptFile(name);
  }

 private:
  IScriptFiles& m_Archive;
  std::string m_Scenario;
};

// Wall time from RunScenario to the first character of a generated 1 MB scenario.
void BM_FirstCharacterOf1MBScenario(benchmark::State& state) {
  SampleGame game;
  if (!game.Ready()) return state.SkipWithError("no sample data in " VARN_BINARY_DIR "/data");
  int pages = 0, lines = 0;
  std::string scenario = GenerateScenario(size_t(1) << 20, &pages, &lines);
  const size_t bytes = scenario.size();
  GeneratedFiles files(game.script->files, std::move(scenario));
  GameServices services = game.AllServices();
  services.scene = &game.script->scene;
  services.buttons = &game.script->buttons;
  services.files = &files;
  services.pictures = &game.script->sceneServices;
  SetGameServices(services);

  std::vector<double> times;
  for (auto _ : state) {
    game.probe->armed = true;
    const auto start = std::chrono::steady_clock::now();
    game.RunFile(kGeneratedName);
    if (game.probe->armed) {
      state.SkipWithError("the run ended before a character was drawn");
      break;
    }
    const double seconds = std::chrono::duration<double>(game.probe->firstCharacter - start).count();
    state.SetIterationTime(seconds);
    times.push_back(seconds * 1e3);
  }
  if (times.empty()) return;
  std::sort(times.begin(), times.end());
  state.counters["median_ms"] = times[times.size() / 2];
  state.counters["bytes"] = double(bytes);
  state.counters["pages"] = pages;
  state.counters["lines"] = lines;
  state.counters["statements"] = game.probe->statements;
}

BENCHMARK(BM_FrameAtPageEnd)->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameDuringReveal)->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstCharacterOf1MBScenario)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
