// Waits a player feels in the sample game, on the headless backend in-process: from the title's
// start button to the first message character, and from choosing a slot in the load dialog to its
// page shown. The probe is the frame counter and the picture the frame presented, read at present
// time; each interval is paced as a 60 Hz window would pace it, and its fades' frames taken off
// (each fade routine's last frame, which shows the picture it ends on, with them).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/play/measure.h"
#include "bench/play/route.h"
#include "script/dialogs/templates.h"
#include "script/messagewindow.h"
#include "script/scene.h"
#include "tests/app/startfixture.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using platform::headless::DialogAction;

constexpr double kTickMs = 1000.0 / 60.0;
constexpr int kRuns = 9;
constexpr int kClicks = 20;

using playroute::Median;
using playroute::Ms;

// A scene picture is blended in or the background fades to black this frame.
bool SceneFades() {
  if (g_BackgroundSprite && g_BackgroundSprite->m_Params.mode == 2) return true;
  ssGroup* layer = g_SceneLayers[kBackgroundLayer];
  auto* top = layer ? dynamic_cast<DxDraw::DxSprite*>(layer->GetLastChild()) : nullptr;
  return top && top != g_BackgroundSprite && top->m_Params.mode == 2;
}

// The message text on the presented picture: light pixels in the text area of the window.
bool TextShown(const platform::headless::HeadlessPresenter& front) {
  const platform::Rect& a = playroute::kTextArea;
  for (int32_t y = a.top; y < a.bottom; y += 2)
    for (int32_t x = a.left; x < a.right; x += 2) {
      const uint32_t c = front.PixelAt(x, y);
      if (((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && (c & 0xFF) > 200) return true;
    }
  return false;
}

// A page end waits for the reader: its mark sprite is the message window's topmost child.
bool PageWaits() {
  if (!g_MessageWindow) return false;
  ssView* last = g_MessageWindow->GetLastChild();
  return last != static_cast<ssView*>(g_MessageWindow->m_pButtons[kMessageButtons - 1]) &&
         dynamic_cast<DxDraw::DxSprite*>(last) != nullptr;
}

// The frames from a player's action to what it waits for. Each frame costs its compute time, but
// never less than a 60 Hz tick, as the window's pacing would show it; the fades' frames are what
// the game means to take, the rest is the figure.
struct Interval {
  Clock::time_point last;
  std::vector<double> frameMs;
  int fadeFrames = 0;
  int knownFades = 0;  // fades the probe cannot see, counted by the caller
  bool fadedLast = false;
  bool open = false;

  void Begin(int fadesBeforeTheScene = 0) {
    *this = Interval{};
    knownFades = fadesBeforeTheScene;
    last = Clock::now();
    open = true;
  }
  // At each frame's wait, which ends the span since the last one. The wait belongs to the frame
  // it comes before: a fade's, when a fade level is set for it, or when it is the one frame a fade
  // routine runs after its last level to show the picture it ends on.
  void Frame() {
    const Clock::time_point now = Clock::now();
    frameMs.push_back(Ms(now - last));
    const bool fading = SceneFades();
    if (fading || fadedLast) ++fadeFrames;
    fadedLast = fading;
    last = now;
  }
  double PacedMs() const {
    double sum = 0;
    for (double ms : frameMs) sum += std::max(ms, kTickMs);
    return sum;
  }
  double ComputeMs() const {
    double sum = 0;
    for (double ms : frameMs) sum += ms;
    return sum;
  }
  // What the frames took beyond their 60 Hz ticks.
  double OverrunMs() const {
    double sum = 0;
    for (double ms : frameMs) sum += std::max(ms - kTickMs, 0.0);
    return sum;
  }
  double LongestMs() const { return frameMs.empty() ? 0 : *std::max_element(frameMs.begin(), frameMs.end()); }
  int Fades() const { return fadeFrames + knownFades; }
  // The last span ends at the wait after the frame that showed what the interval waits for: that
  // wait comes after the picture was shown, so only the work before it counts.
  double FeltMs() const {
    const double shown = frameMs.empty() ? 0 : frameMs.back();
    return PacedMs() - std::max(shown, kTickMs) + shown - Fades() * kTickMs;
  }
};

// The figure and its breakdown: the medians over the runs.
struct Runs {
  std::vector<double> felt, paced, compute, overrun, longest, frames, fades;
  void Add(const Interval& i) {
    felt.push_back(i.FeltMs());
    paced.push_back(i.PacedMs());
    compute.push_back(i.ComputeMs());
    overrun.push_back(i.OverrunMs());
    longest.push_back(i.LongestMs());
    frames.push_back(double(i.frameMs.size()));
    fades.push_back(double(i.Fades()));
  }
  void Report(benchmark::State& state) const {
    state.counters["felt_ms_median"] = Median(felt);
    state.counters["goal_ms"] = 50;
    state.counters["paced_ms"] = Median(paced);
    state.counters["compute_ms"] = Median(compute);
    state.counters["overrun_ms"] = Median(overrun);
    state.counters["longest_frame_ms"] = Median(longest);
    state.counters["frames"] = Median(frames);
    state.counters["fade_frames"] = Median(fades);
  }
};

// Clicks at the title's button of this row once the title has faded in.
void ClickTitleButton(starttest::StartRig& rig, int row) {
  rig.titleFrames = starttest::StartRig::AtTitle() ? rig.titleFrames + 1 : 0;
  const platform::Point p{g_TitleMenuPos.x + 124, g_TitleMenuPos.y + 48 * row + 20};
  if (rig.titleFrames >= 20) rig.ClickAt(p, (rig.titleFrames - 20) % 30);
}

// Runs `play` in a child process, so that every run starts from a fresh program as a player's
// does; the child hands the intervals back through a pipe. Empty when the run failed.
std::vector<Interval> InChild(const std::function<std::vector<Interval>()>& play) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::vector<double> out;
    for (const Interval& i : play()) {
      out.push_back(double(i.fadeFrames));
      out.push_back(double(i.knownFades));
      out.push_back(double(i.frameMs.size()));
      out.insert(out.end(), i.frameMs.begin(), i.frameMs.end());
    }
    const char* at = reinterpret_cast<const char*>(out.data());
    size_t left = out.size() * sizeof(double);
    while (left > 0) {
      const ssize_t n = write(fds[1], at, left);
      if (n <= 0) break;
      at += n;
      left -= size_t(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::vector<char> bytes;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) bytes.insert(bytes.end(), buf, buf + n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  std::vector<double> in(bytes.size() / sizeof(double));
  std::copy(bytes.begin(), bytes.begin() + std::ptrdiff_t(in.size() * sizeof(double)),
            reinterpret_cast<char*>(in.data()));
  std::vector<Interval> intervals;
  for (size_t k = 0; k + 3 <= in.size();) {
    Interval i;
    i.fadeFrames = int(in[k]);
    i.knownFades = int(in[k + 1]);
    const size_t n = size_t(in[k + 2]);
    k += 3;
    if (k + n > in.size()) break;
    i.frameMs.assign(in.begin() + std::ptrdiff_t(k), in.begin() + std::ptrdiff_t(k + n));
    k += n;
    intervals.push_back(std::move(i));
  }
  return intervals;
}

// A new game from the title's start button to its first message character.
std::vector<Interval> StartToFirstCharacter() {
  starttest::StartRig rig;
  Interval interval;
  bool done = false;
  rig.onFrame = [&](int) {
    if (done) return;
    if (interval.open && !starttest::StartRig::AtTitle()) {
      interval.Frame();
      if (g_SceneRoot && TextShown(rig.window->Front())) {
        done = true;
        rig.Close(platform::MsgResult::Yes);
      }
      return;
    }
    if (interval.open) interval.Frame();
    // The click is taken by the next frame; one the title misses is made again.
    ClickTitleButton(rig, playroute::kStartRow);
    if (rig.titleFrames >= 25 && (rig.titleFrames - 20) % 30 == 5) interval.Begin(playroute::kTitleFadeOutFrames);
  };
  rig.Start();
  if (!done) return {};
  return {interval};
}

void BM_StartButtonToFirstCharacter(benchmark::State& state) {
  Runs runs;
  for (auto _ : state) {
    const std::vector<Interval> run = InChild(StartToFirstCharacter);
    if (run.empty()) {
      state.SkipWithError("no message character came after the start button");
      return;
    }
    runs.Add(run[0]);
  }
  runs.Report(state);
}
BENCHMARK(BM_StartButtonToFirstCharacter)->Iterations(kRuns)->Unit(benchmark::kMillisecond);

// The text area of the presented picture.
std::vector<uint32_t> TextArea(const platform::headless::HeadlessPresenter& front) {
  const platform::Rect& a = playroute::kTextArea;
  std::vector<uint32_t> px;
  for (int32_t y = a.top; y < a.bottom; ++y)
    for (int32_t x = a.left; x < a.right; ++x) px.push_back(front.PixelAt(x, y));
  return px;
}

// The headless side of the real window's click figure, to show where its time goes: from a
// click on a waiting page to the first presented frame whose text area differs, in frames and in
// compute time. Choices take the first option; the story is played again from the title when it
// ends before the clicks are done.
std::vector<Interval> ClicksToNextPage() {
  starttest::StartRig rig;
  std::vector<Interval> timed;
  Interval interval;
  std::vector<uint32_t> waiting;
  int still = 0, quiet = 0;
  rig.onFrame = [&](int) {
    if (int(timed.size()) >= kClicks) return;
    if (interval.open) {
      interval.Frame();
      if (TextArea(rig.window->Front()) != waiting) {
        timed.push_back(interval);
        interval.open = false;
        if (int(timed.size()) == kClicks) rig.Close(platform::MsgResult::Yes);
      } else if (interval.frameMs.size() > 120) {
        interval.open = false;  // not a page turn (a choice, the end of the story)
      }
      return;
    }
    if (!g_SceneRoot) {
      rig.ClickNewGame();
      return;
    }
    still = PageWaits() ? still + 1 : 0;
    quiet = still ? 0 : quiet + 1;
    if (still == 30) {
      waiting = TextArea(rig.window->Front());
      rig.window->MoveCursor(playroute::kAdvance);
      rig.input->TapButton(0);
      interval.Begin();
    } else if (quiet % 120 == 0 && quiet > 0) {
      // Turns between the first choice's place and the turn selection's first button; the
      // cursor goes there a frame before the tap, so the button has seen it.
      rig.window->MoveCursor(quiet % 240 ? playroute::kAdvance : playroute::kTurnChoice);
    } else if (quiet % 120 == 1 && quiet > 1) {
      rig.input->TapButton(0);
    }
  };
  rig.Start();
  // The sample story may end the program before the twentieth click; ten are enough to show it.
  return timed.size() >= 10 ? timed : std::vector<Interval>{};
}

void BM_ClickToNextPageFrames(benchmark::State& state) {
  Runs runs;
  for (auto _ : state) {
    const std::vector<Interval> clicks = InChild(ClicksToNextPage);
    if (clicks.empty()) {
      state.SkipWithError("fewer pages than clicks to time");
      return;
    }
    for (const Interval& i : clicks) runs.Add(i);
  }
  runs.Report(state);
  state.counters.erase("goal_ms");
  state.counters.erase("felt_ms_median");
  state.counters["clicks"] = double(runs.frames.size());
}
BENCHMARK(BM_ClickToNextPageFrames)->Iterations(1)->Unit(benchmark::kMillisecond);

// A save in the first slot of the save dialog, made once on a waiting page; its files are kept
// in `into` for the runs that load it.
bool MakeSave(const fs::path& into) {
  starttest::StartRig rig;
  int waiting = 0;
  bool saved = false;
  rig.onFrame = [&](int) {
    rig.ClickNewGame();
    waiting = PageWaits() ? waiting + 1 : 0;
    if (waiting == 30 && !saved) {
      saved = true;
      rig.host.backend->hdialogs->Script({DialogAction(DialogAction::Choose, IDC_SLOTLIST, {}, playroute::kSlotLine),
                                          DialogAction(DialogAction::Click, platform::kIdOk)});
      rig.boxes->answers.push_back(platform::MsgResult::Yes);
      rig.Command(playroute::kSaveCommand);
    }
    if (saved && waiting == 60) rig.Close(platform::MsgResult::Yes);
  };
  rig.Start();
  if (!saved) return false;
  fs::remove_all(into);
  fs::create_directories(into);
  for (const auto& f : fs::directory_iterator(rig.SaveFolder()))
    if (f.path().filename() != "varn.ini") fs::copy_file(f.path(), into / f.path().filename());
  return fs::exists(into / "save.dat");
}

// The title's load button, the first slot chosen in the dialog, to its page shown.
std::vector<Interval> SlotToPage(const fs::path& saves) {
  starttest::StartRig rig;
  fs::create_directories(rig.SaveFolder());
  for (const auto& f : fs::directory_iterator(saves)) fs::copy_file(f.path(), rig.SaveFolder() / f.path().filename());
  Interval interval;
  bool chosen = false, done = false;
  rig.host.backend->hdialogs->Script({DialogAction(DialogAction::Choose, IDC_SLOTLIST, {}, playroute::kSlotLine),
                                      DialogAction::Inspect([&](const platform::DialogState&) {
                                        chosen = true;
                                        interval.Begin(playroute::kTitleFadeOutFrames);
                                      }),
                                      DialogAction(DialogAction::Click, platform::kIdOk)});
  rig.boxes->answers.push_back(platform::MsgResult::Yes);
  rig.onFrame = [&](int) {
    if (done) return;
    if (interval.open) {
      interval.Frame();
      if (g_SceneRoot && TextShown(rig.window->Front())) {
        done = true;
        rig.Close(platform::MsgResult::Yes);
      }
      return;
    }
    if (!chosen) ClickTitleButton(rig, playroute::kLoadRow);
  };
  rig.Start();
  if (!done) return {};
  return {interval};
}

void BM_SlotToPage(benchmark::State& state) {
  const fs::path saves = fs::temp_directory_path() / ("varn-bench-saves-" + std::to_string(getpid()));
  if (InChild([&] { return MakeSave(saves) ? std::vector<Interval>(1) : std::vector<Interval>{}; }).empty()) {
    state.SkipWithError("the save for the load could not be made");
    return;
  }
  Runs runs;
  for (auto _ : state) {
    const std::vector<Interval> run = InChild([&] { return SlotToPage(saves); });
    if (run.empty()) {
      state.SkipWithError("the chosen slot's page never showed");
      break;
    }
    runs.Add(run[0]);
  }
  fs::remove_all(saves);
  runs.Report(state);
}
BENCHMARK(BM_SlotToPage)->Iterations(kRuns)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
