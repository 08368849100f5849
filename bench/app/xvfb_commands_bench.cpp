// Real pacing of the commands that hold the screen for a written time: the white flash (FLS 5:
// five flashes of 100 ms shown and 100 ms hidden), an ending (END1: three seconds of black after
// its fade) and the turn selection (SSL: the turn's caption held 2000 ms, then 500 ms before the
// choices), in the SDL window under a private Xvfb with the frame step's own pacing. Run it
// without arguments; it starts and ends its own X server.
//
// How the figures are taken: a task at ACT level 14 notes the steady clock at the end of every
// frame's tasks, and the level of the screen's topmost sprite. FLS is timed whole (its holds are
// all of it but its last frame). The ending's hold runs from the end of its 53rd frame (52 fade
// steps and one frame) to the command's end. The caption's hold runs from the frame that set its
// level to 255 to two frames before the first frame of the fade-out at 240; the pause after it
// from the frame that set the level to 0 to one frame before the choices appear, when the probe
// raises a return to the title so that the selection ends. The frame period is the median of
// the noted intervals. The pictures' fades are test doubles here: they take no frames.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/app/xvfb_window.h"
#include "lib/act.h"
#include "lib/sjis.h"
#include "script/executor.h"
#include "script/gameservices.h"
#include "script/images.h"
#include "script/scene.h"
#include "tests/script/fakeservices.h"
#include "tests/script/sampledata.h"
#include "textscript/messview.h"
#include "textscript/variables.h"

namespace {

using xvfbbench::Clock;
using xvfbbench::RealWindow;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// What the probe saw at the end of each frame.
struct FrameNote {
  Clock::time_point time;
  int32_t captionLevel = -1;  // the turn's caption, while it is the topmost sprite
  bool choices = false;       // a choice is the topmost sprite
};

struct Probe {
  std::vector<FrameNote> notes;
  DxDraw::DxScreenSurface32* screen = nullptr;
  bool endAtChoices = false;
};
Probe g_Probe;

int32_t ProbeProc(ACT*, uint32_t message, uintptr_t, uintptr_t) {
  if (message != ACTMSG_RUN) return 0;
  FrameNote note{Clock::now()};
  ssView* top = g_Probe.screen ? g_Probe.screen->GetLastChild() : nullptr;
  if (auto* caption = dynamic_cast<TextScript::DxMessView2*>(top)) {
    note.captionLevel = int32_t(caption->m_Params.level);
  } else if (dynamic_cast<DxDraw::DxSprite*>(top)) {
    const bool captionSeen =
        std::any_of(g_Probe.notes.begin(), g_Probe.notes.end(), [](const FrameNote& n) { return n.captionLevel >= 0; });
    note.choices = captionSeen;
    if (note.choices && g_Probe.endAtChoices) g_TransferRequest = 1;
  }
  g_Probe.notes.push_back(note);
  return 0;
}

double MedianPeriodMs(const std::vector<FrameNote>& notes, size_t from) {
  std::vector<double> d;
  for (size_t i = from + 1; i < notes.size(); ++i) d.push_back(Ms(notes[i].time - notes[i - 1].time));
  if (d.empty()) return 0;
  std::sort(d.begin(), d.end());
  return d[d.size() / 2];
}

// The game's script services on the real window: the sample's "SYSTEM" picture and script
// archive, test doubles for the rest; one scene built for all the benchmarks.
struct Game {
  scripttest::SampleSurface system = scripttest::LoadSystemPicture();
  ComRef<IArchive> archive = scripttest::OpenSampleArchive("script.pux");
  scripttest::FakeSceneServices pictures;
  scripttest::FakeVoice voice;
  scripttest::FakeSounds sounds;
  scripttest::FakeOptions options;
  scripttest::FakeSaves saves;
  scripttest::FakeNotices notices;
  scripttest::FakeScreens screens;
  scripttest::FakeMenu menu;
  scripttest::FakeFiles files;
  scripttest::FakeNames names;
  scripttest::FakeVoiceChannels voiceChannels;
  std::unique_ptr<GameScriptServices> script;
  AppCommandTable table;
  bool ok = false;

  explicit Game(RealWindow& window) {
    if (!system || !archive) return;
    RegisterGameScriptGlobals();
    TextScript::MessageServices message;
    message.voice = &voiceChannels;
    message.names = &names;
    message.systemImage = system.get();
    TextScript::SetMessageServices(message);
    script = std::make_unique<GameScriptServices>(window.screen, system.get(), archive.Get(), pictures);
    InstallGameScriptServices(*script, GameServices{nullptr, nullptr, &voice, &sounds, &options, &saves, &notices,
                                                    &screens, &menu, &files, &pictures});
    g_ScriptArchive = archive.Get();
    RegisterGameCommands(table);
    ClearSceneStates();
    GameScene().BuildScene();
    ok = true;
  }
  ~Game() {
    if (!ok) return;
    GameScene().ReleaseScene();
    SetGameServices(GameServices{});
    g_ScriptArchive = nullptr;
  }

  // Runs the statements one after the other; a return to the title ends them.
  Clock::time_point Run(std::u16string_view text) {
    const std::string sjis = WideToSjis(text);
    ScriptStateGroup_App group(table);
    group.Compile(sjis.data(), sjis.size(), u"bench.txt");
    try {
      for (TextScript::ScriptStateNode* n = group.First(); n;) n = n->Execute();
    } catch (const ScriptException&) {
    }
    return Clock::now();
  }
};

RealWindow* g_Window = nullptr;
Game* g_Game = nullptr;

void Report(benchmark::State& state, const char* name, double measured, double written) {
  state.counters[std::string(name) + "_ms"] = measured;
  state.counters[std::string(name) + "_written_ms"] = written;
  state.counters[std::string(name) + "_off_percent"] = 100.0 * (measured - written) / written;
}

void BM_FlashFiveTimes(benchmark::State& state) {
  g_Window->Settle();
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = g_Game->Run(u".FLS 5\n");
    Report(state, "flash", Ms(end - start), 5 * 200.0);
  }
}

void BM_EndingHold(benchmark::State& state) {
  g_Window->Settle();
  for (auto _ : state) {
    const size_t first = g_Probe.notes.size();
    const Clock::time_point end = g_Game->Run(u".END1\n");
    const size_t holdFrom = first + 52;  // the frame after the 52 fade steps
    if (g_Probe.notes.size() <= holdFrom) {
      state.SkipWithError("too few frames noted");
      return;
    }
    state.counters["frame_ms"] = MedianPeriodMs(g_Probe.notes, first);
    Report(state, "ending_hold", Ms(end - g_Probe.notes[holdFrom].time), 3000.0);
  }
}

void BM_TurnCaptionHold(benchmark::State& state) {
  g_Window->Settle();
  g_Variables.Set(u"TURN", 7);
  for (auto _ : state) {
    const size_t first = g_Probe.notes.size();
    g_Probe.endAtChoices = true;
    g_Game->Run(u".SSL 1\n");
    g_Probe.endAtChoices = false;
    const std::vector<FrameNote> notes(g_Probe.notes.begin() + long(first), g_Probe.notes.end());
    const double period = MedianPeriodMs(notes, 0);
    auto find = [&](size_t from, auto pred) {
      for (size_t i = from; i < notes.size(); ++i)
        if (pred(notes[i])) return i;
      return notes.size();
    };
    const size_t full = find(0, [](const FrameNote& n) { return n.captionLevel == 255; });
    const size_t fading = find(full, [](const FrameNote& n) { return n.captionLevel == 240; });
    const size_t gone = find(fading, [](const FrameNote& n) { return n.captionLevel == 0; });
    const size_t choices = find(gone, [](const FrameNote& n) { return n.choices; });
    if (choices == notes.size()) {
      state.SkipWithError("the caption or the choices were not seen");
      return;
    }
    state.counters["frame_ms"] = period;
    Report(state, "caption_hold", Ms(notes[fading].time - notes[full].time) - 2 * period, 2000.0);
    Report(state, "after_caption", Ms(notes[choices].time - notes[gone].time) - period, 500.0);
  }
}

BENCHMARK(BM_FlashFiveTimes)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EndingHold)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TurnCaptionHold)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return xvfbbench::RunWithWindow(argc, argv, u"varn-xvfb-commands", [](RealWindow& window) {
    Game game(window);
    if (!game.ok) {
      std::fprintf(stderr, "real-window benchmark skipped: no sample data in " VARN_BINARY_DIR "/data\n");
      return;
    }
    g_Window = &window;
    g_Game = &game;
    g_Probe.screen = window.screen;
    AddACT(14, MakeACT(ProbeProc, 0));
    benchmark::RunSpecifiedBenchmarks();
    g_Probe.screen = nullptr;
    g_Game = nullptr;
    g_Window = nullptr;
  });
}
