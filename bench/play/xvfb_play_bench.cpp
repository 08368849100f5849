// Figures of build/bin/varn played under a private Xvfb: from exec to its first frame, the peak
// resident size at the title, after ten pages and over a whole play-through, the processor use
// while a page waits, and the time from a click on a waiting page to the next page's first frame.
// The probe is the window's presented picture, read straight from the X server a few hundred
// times a second; the clicks go through one xdotool on a pipe. Run it without arguments.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/app/varn_process.h"
#include "bench/play/measure.h"
#include "bench/play/route.h"
#include "tests/desktop/xvfb.h"

// Last: its macros (None, Status, Bool) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using xvfbbench::VarnProcess;

constexpr int kStarts = 20;
constexpr int kClicks = 20;
constexpr int kPageEndFrames = 2;
constexpr int kMaxSessions = 4;
constexpr int kMaxPagesASession = 80;
constexpr auto kCpuWindow = 10s;

using playroute::Median;
using playroute::Ms;

int IgnoreXErrors(Display*, XErrorEvent*) {
  return 0;
}

// A part of the window's picture: 0x00RRGGBB pixels, row by row.
struct Picture {
  platform::Rect rect{};
  std::vector<uint32_t> px;
  bool Empty() const { return px.empty(); }
  uint32_t At(int32_t x, int32_t y) const {
    return px[size_t(y - rect.top) * size_t(rect.right - rect.left) + size_t(x - rect.left)];
  }
};

bool Light(uint32_t c) {
  return ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && (c & 0xFF) > 200;
}

bool Differs(uint32_t a, uint32_t b) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 40) return true;
  return false;
}

// The X server's side of the game's window: found by its name, read with XGetImage.
class WindowReader {
 public:
  WindowReader() : m_Display(XOpenDisplay(nullptr)) {
    XSetErrorHandler(IgnoreXErrors);
    if (m_Display) m_NetName = XInternAtom(m_Display, "_NET_WM_NAME", False);
  }
  ~WindowReader() {
    if (m_Display) XCloseDisplay(m_Display);
  }
  WindowReader(const WindowReader&) = delete;
  WindowReader& operator=(const WindowReader&) = delete;
  bool Ok() const { return m_Display != nullptr; }

  // The shown window whose name holds `name`; 0 when there is none yet.
  Window Find(const char* name) { return FindUnder(DefaultRootWindow(m_Display), name); }

  // The pointer on the screen.
  platform::Point Pointer() {
    Window root, child;
    int x = 0, y = 0, wx, wy;
    unsigned mask;
    XQueryPointer(m_Display, DefaultRootWindow(m_Display), &root, &child, &x, &y, &wx, &wy, &mask);
    return platform::Point{x, y};
  }

  // The height of the strip above the 800x600 picture; -1 until the window has its size.
  int Strip(Window w) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(m_Display, w, &a) || a.map_state != IsViewable || a.width < 800 || a.height <= 600)
      return -1;
    return a.height - 600;
  }

  // The rectangle of the picture (window coordinates); empty when it cannot be read.
  Picture Read(Window w, const platform::Rect& r) {
    Picture p;
    XImage* image = XGetImage(m_Display, w, r.left, r.top, unsigned(r.right - r.left), unsigned(r.bottom - r.top),
                              AllPlanes, ZPixmap);
    if (!image) return p;
    if (image->bits_per_pixel == 32) {
      p.rect = r;
      p.px.resize(size_t(r.right - r.left) * size_t(r.bottom - r.top));
      for (int32_t y = 0; y < r.bottom - r.top; ++y)
        std::memcpy(&p.px[size_t(y) * size_t(r.right - r.left)],
                    image->data + size_t(y) * size_t(image->bytes_per_line), size_t(r.right - r.left) * 4);
      for (uint32_t& c : p.px) c &= 0xFFFFFF;
    }
    XDestroyImage(image);
    return p;
  }

 private:
  Window FindUnder(Window parent, const char* name) {
    Window root, up, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(m_Display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
      if (Named(children[i], name)) found = children[i];
      if (!found) found = FindUnder(children[i], name);
    }
    if (children) XFree(children);
    return found;
  }
  bool Named(Window w, const char* name) {
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* value = nullptr;
    if (XGetWindowProperty(m_Display, w, m_NetName, 0, 256, False, AnyPropertyType, &type, &format, &items, &after,
                           &value) != Success ||
        !value)
      return false;
    const bool match = std::strstr(reinterpret_cast<const char*>(value), name) != nullptr;
    XFree(value);
    return match;
  }

  Display* m_Display;
  Atom m_NetName = 0;
};

// One game under the probe: its window, the strip above its picture, and clicks at picture places.
struct Session {
  VarnProcess game;
  WindowReader reader;
  xvfbbench::ClickPipe xdotool;
  Window id = 0;
  int strip = -1;

  explicit Session(const std::string& tag) : game(tag) {}

  // Until the first frame: the window shown at its size with the menu bar drawn in its strip.
  // The time it came, or nothing.
  std::optional<Clock::time_point> FirstFrame() {
    const auto deadline = Clock::now() + 20s;
    while (Clock::now() < deadline && game.Running()) {
      if (!id) id = reader.Find("Lanternfall");
      if (id && strip < 0) strip = reader.Strip(id);
      if (strip > 0) {
        const Picture p = reader.Read(id, platform::Rect{600, strip / 2, 601, strip / 2 + 1});
        if (!p.Empty() && Light(p.px[0])) return Clock::now();
      }
      std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
  }
  // A rectangle of the 800x600 picture.
  Picture Read(const platform::Rect& r) {
    Picture p = reader.Read(id, platform::Rect{r.left, r.top + strip, r.right, r.bottom + strip});
    p.rect = r;
    return p;
  }
  // The pointer a pixel aside and back, so that what lies under it (a choice) sees it arrive.
  void Nudge(platform::Point p) {
    MoveTo(platform::Point{p.x + 1, p.y});
    MoveTo(p);
  }
  void MoveTo(platform::Point p) {
    xdotool.Send("mousemove --window " + std::to_string(id) + " " + std::to_string(p.x) + " " +
                 std::to_string(p.y + strip));
  }
};

// The title's start button as it waits: the picture there stays the same for half a second.
platform::Rect StartButton() {
  const platform::Point& m = playroute::kTitleMenu;
  return platform::Rect{m.x, m.y + 48 * playroute::kStartRow, m.x + 248, m.y + 48 * playroute::kStartRow + 40};
}

bool Same(const Picture& a, const Picture& b) {
  if (a.px.size() != b.px.size()) return false;
  for (size_t i = 0; i < a.px.size(); ++i)
    if (Differs(a.px[i], b.px[i])) return false;
  return true;
}

bool HasInk(const Picture& p) {
  return std::any_of(p.px.begin(), p.px.end(), Light);
}

// Waits until the rectangle shows the picture it showed before.
bool WaitFor(Session& s, const platform::Rect& r, const Picture& shown, Clock::duration limit) {
  const auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline && s.game.Running()) {
    if (Same(s.Read(r), shown)) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

bool NotBlack(const Picture& p) {
  return std::any_of(p.px.begin(), p.px.end(), [](uint32_t c) { return Differs(c, 0); });
}

// Waits until the rectangle shows something and stays as it is for `still`.
Picture WaitStill(Session& s, const platform::Rect& r, Clock::duration still, Clock::duration limit) {
  const auto deadline = Clock::now() + limit;
  Picture last = s.Read(r);
  auto since = Clock::now();
  while (Clock::now() < deadline && s.game.Running()) {
    std::this_thread::sleep_for(20ms);
    Picture now = s.Read(r);
    if (!NotBlack(now) || !Same(now, last)) {
      last = std::move(now);
      since = Clock::now();
      continue;
    }
    if (Clock::now() - since >= still) return now;
  }
  return Picture{};
}

// A page that has written its text and waits: the text area changes no more, but for the
// waiting mark's animation. The picture then, and the box the mark moves in.
struct WaitingPage {
  Picture picture;
  platform::Rect mark{0, 0, 0, 0};
};

std::optional<WaitingPage> WaitForPage(Session& s, Clock::duration limit) {
  const platform::Rect& area = playroute::kTextArea;
  const auto deadline = Clock::now() + limit;
  Picture last = s.Read(area);
  platform::Rect box{0, 0, 0, 0};
  auto since = Clock::now();
  while (Clock::now() < deadline && s.game.Running()) {
    std::this_thread::sleep_for(20ms);
    Picture now = s.Read(area);
    if (now.Empty() || last.Empty()) {
      last = std::move(now);
      continue;
    }
    // The changes since the last look, added to the box of this still spell.
    for (int32_t y = area.top; y < area.bottom; ++y)
      for (int32_t x = area.left; x < area.right; ++x) {
        if (!Differs(now.At(x, y), last.At(x, y))) continue;
        if (box.right == 0) box = platform::Rect{x, y, x + 1, y + 1};
        box = platform::Rect{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                             std::max(box.bottom, y + 1)};
      }
    last = std::move(now);
    if (!HasInk(last) || box.right - box.left > 48 || box.bottom - box.top > 48) {
      box = platform::Rect{0, 0, 0, 0};
      since = Clock::now();
      continue;
    }
    if (Clock::now() - since >= 600ms) {
      const int pad = 4;
      if (box.right != 0) box = platform::Rect{box.left - pad, box.top - pad, box.right + pad, box.bottom + pad};
      return WaitingPage{last, box};
    }
  }
  return std::nullopt;
}

bool Inside(const platform::Rect& r, int32_t x, int32_t y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// From the click to the first picture of the text area that is no longer the waiting page's
// (the mark's box aside); nothing when none came within two seconds.
std::optional<double> ClickToNextPage(Session& s, const WaitingPage& page) {
  const platform::Rect& area = playroute::kTextArea;
  const auto start = Clock::now();
  s.xdotool.Send("click 1");
  while (Clock::now() - start < 2s) {
    const Picture now = s.Read(area);
    if (now.Empty()) continue;
    for (int32_t y = area.top; y < area.bottom; ++y)
      for (int32_t x = area.left; x < area.right; ++x)
        if (!Inside(page.mark, x, y) && Differs(now.At(x, y), page.picture.At(x, y))) return Ms(Clock::now() - start);
  }
  return std::nullopt;
}

double CpuPercent(const VarnProcess& game, Clock::duration window) {
  const long before = game.CpuTicks();
  const auto start = Clock::now();
  std::this_thread::sleep_for(window);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return 100.0 * double(game.CpuTicks() - before) / double(sysconf(_SC_CLK_TCK)) / seconds;
}

void BM_ExecToFirstFrame(benchmark::State& state) {
  std::vector<double> starts;
  int n = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    Session s("-start" + std::to_string(n++));
    const auto first = s.FirstFrame();
    if (!first) {
      state.SkipWithError("the game's first frame never came");
      return;
    }
    starts.push_back(Ms(*first - start));
  }
  state.counters["median_ms"] = Median(starts);
  state.counters["goal_ms"] = 120;
  state.counters["min_ms"] = *std::min_element(starts.begin(), starts.end());
  state.counters["max_ms"] = *std::max_element(starts.begin(), starts.end());
}
BENCHMARK(BM_ExecToFirstFrame)->Iterations(kStarts)->Unit(benchmark::kMillisecond);

// The probe's own share of a click's time: from telling xdotool to move the pointer to the X
// server having moved it (a click takes the same way in).
void BM_ClickPipeLatency(benchmark::State& state) {
  WindowReader reader;
  xvfbbench::ClickPipe xdotool;
  std::vector<double> moves;
  for (auto _ : state) {
    for (int i = 0; i < kClicks; ++i) {
      const platform::Point to{100 + 10 * i, 100 + 5 * i};
      const auto start = Clock::now();
      xdotool.Send("mousemove " + std::to_string(to.x) + " " + std::to_string(to.y));
      while (Clock::now() - start < 2s) {
        const platform::Point at = reader.Pointer();
        if (at.x == to.x && at.y == to.y) {
          moves.push_back(Ms(Clock::now() - start));
          break;
        }
      }
      std::this_thread::sleep_for(50ms);
    }
  }
  state.counters["median_ms"] = Median(moves);
}
BENCHMARK(BM_ClickPipeLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

// New games read to their end, clicking each waiting page (and the first choice), until twenty
// clicks are timed; the first game also gives the resident sizes and the waiting page's CPU.
void BM_PlayThrough(benchmark::State& state) {
  std::vector<double> clicks;
  double rssTitle = 0, rssTen = 0, rssWhole = 0, rssAnon = 0, rssFile = 0, cpu = -1, pagesRead = 0;
  for (auto _ : state) {
    for (int session = 0; session < kMaxSessions && int(clicks.size()) < kClicks; ++session) {
      Session s("-play" + std::to_string(session));
      if (!s.xdotool.Ok() || !s.FirstFrame()) {
        state.SkipWithError("the game's first frame never came");
        return;
      }
      // The brand logo, then the title faded in and waiting.
      const Picture title = WaitStill(s, StartButton(), 500ms, 30s);
      if (title.Empty()) {
        state.SkipWithError("the title never waited");
        return;
      }
      if (session == 0) rssTitle = double(s.game.PeakRssKb());
      const platform::Rect b = StartButton();
      s.MoveTo(platform::Point{(b.left + b.right) / 2, (b.top + b.bottom) / 2});
      std::this_thread::sleep_for(200ms);
      s.xdotool.Send("click 1");
      std::this_thread::sleep_for(200ms);
      s.MoveTo(playroute::kAdvance);
      int pages = 0, quiet = 0;
      bool ended = false;
      while (pages < kMaxPagesASession && !ended) {
        s.Nudge(playroute::kAdvance);
        const std::optional<WaitingPage> page = WaitForPage(s, 4s);
        // The title again: the run has ended (its buttons' labels reach into the text area).
        ended = Same(s.Read(StartButton()), title);
        if (ended) break;
        if (!page) {
          // No page waits: a choice (the first is under the pointer), a long fade or roll.
          if (++quiet >= 15) break;
          s.Nudge(quiet % 2 ? playroute::kTurnChoice : playroute::kAdvance);
          s.xdotool.Send("click 1");
          continue;
        }
        quiet = 0;
        if (session == 0 && cpu < 0) cpu = CpuPercent(s.game, kCpuWindow);
        if (const auto ms = ClickToNextPage(s, *page)) clicks.push_back(*ms);
        ++pages;
        if (session == 0 && pages == 10) rssTen = double(s.game.PeakRssKb());
      }
      if (session == 0) {
        pagesRead = pages;
        // The last page, an ending roll or the way back to the title: a minute at most.
        rssWhole = ended || WaitFor(s, StartButton(), title, 60s) ? double(s.game.PeakRssKb()) : 0;
        rssAnon = double(s.game.StatusKb("RssAnon"));
        rssFile = double(s.game.StatusKb("RssFile"));
      }
    }
  }
  state.counters["click_to_next_page_median_ms"] = Median(clicks);
  // The page end runs two frames after the click before the next page can show: the one after the
  // voice stops and the one that shows the cleared text. What is left is the game's own delay.
  state.counters["click_beyond_page_end_frames_ms"] = Median(clicks) - kPageEndFrames * 1000.0 / 60.0;
  state.counters["click_goal_ms"] = 8;
  state.counters["clicks_timed"] = double(clicks.size());
  state.counters["waiting_page_cpu_percent"] = cpu;
  state.counters["cpu_goal_percent"] = 1;
  state.counters["peak_rss_kB_at_title"] = rssTitle;
  state.counters["peak_rss_kB_after_ten_pages"] = rssTen;
  state.counters["peak_rss_kB_whole_play"] = rssWhole;
  state.counters["rss_goal_kB"] = 45 * 1024;
  state.counters["rss_anon_kB_at_end"] = rssAnon;
  state.counters["rss_file_kB_at_end"] = rssFile;
  state.counters["pages_in_first_play"] = pagesRead;
}
BENCHMARK(BM_PlayThrough)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  xvfbtest::Server x;
  if (!x.Ok()) {
    std::fprintf(stderr, "real-window benchmark skipped: %s\n", x.Error().c_str());
    return 0;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
