// The two runs of a walk: the headless recorder with its still-picture driver, the real program
// under Xvfb driven by xdotool, the picture comparison and the replay.
#include "tests/window/walk.h"

#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/frame/framestep.h"
#include "dxdraw/sprite.h"
#include "platform/glyphs.h"
#include "platform/utf.h"
#include "script/dialogs/templates.h"
#include "script/messagewindow.h"
#include "script/save/slots.h"
#include "script/scenario.h"
#include "textscript/statement.h"

namespace walk {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The page-end mark's cell, which blinks on each run's own clock.
constexpr platform::Rect kMarkCell{752, kMessageWindowY + 160, 776, kMessageWindowY + 184};
// A picture is still after this many unchanged frames (a third of a second at 60 Hz).
constexpr int kStillFrames = 20;
// A watched picture counts as a step when it stayed this long: the real window's captures,
// a tenth of a second or so apart, cannot miss it.
constexpr int kWatchFrames = 60;
// An action that changes nothing for this long ends the walk.
constexpr int kStuckFrames = 900;

bool InMark(int x, int y) {
  return x >= kMarkCell.left && x < kMarkCell.right && y >= kMarkCell.top && y < kMarkCell.bottom;
}

bool Identical(const Picture& a, const Picture& b) {
  return !a.Empty() && !b.Empty() && Compare(a, b, 0).pixels == 0;
}

Move Make(Move::Kind kind, std::string name) {
  Move m;
  m.kind = kind;
  m.name = std::move(name);
  return m;
}

}  // namespace

Picture FromFront(const platform::headless::HeadlessPresenter& front) {
  Picture p;
  if (front.Width() != kWidth || front.Height() != kHeight) return p;
  p.rgb.resize(size_t(kWidth) * kHeight * 3);
  const std::vector<uint8_t>& bgrx = front.Front();
  for (size_t i = 0, o = 0; o < p.rgb.size(); i += 4, o += 3) {
    p.rgb[o] = bgrx[i + 2];
    p.rgb[o + 1] = bgrx[i + 1];
    p.rgb[o + 2] = bgrx[i];
  }
  return p;
}

Picture BelowStrip(const std::vector<uint8_t>& window, int stripHeight) {
  Picture p;
  const size_t row = size_t(kWidth) * 3;
  if (stripHeight < 0 || window.size() < row * size_t(stripHeight + kHeight)) return p;
  p.rgb.assign(window.begin() + ptrdiff_t(row * size_t(stripHeight)),
               window.begin() + ptrdiff_t(row * size_t(stripHeight + kHeight)));
  return p;
}

void WritePng(const Picture& picture, const fs::path& path) {
  if (picture.Empty()) return;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = kWidth;
  image.height = kHeight;
  image.format = PNG_FORMAT_RGB;
  png_image_write_to_file(&image, path.c_str(), 0, picture.rgb.data(), 0, nullptr);
}

Difference Compare(const Picture& a, const Picture& b, int tolerance) {
  Difference d;
  if (a.Empty() || b.Empty() || a.rgb.size() != b.rgb.size()) {
    d.pixels = kWidth * kHeight;
    d.worst = 255;
    return d;
  }
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* pa = a.rgb.data() + size_t(y) * kWidth * 3;
    const uint8_t* pb = b.rgb.data() + size_t(y) * kWidth * 3;
    for (int x = 0; x < kWidth; ++x, pa += 3, pb += 3) {
      if (InMark(x, y)) continue;
      const int worst = std::max({std::abs(pa[0] - pb[0]), std::abs(pa[1] - pb[1]), std::abs(pa[2] - pb[2])});
      d.worst = std::max(d.worst, worst);
      if (worst > tolerance) ++d.pixels;
    }
  }
  return d;
}

bool Matches(const Picture& a, const Picture& b, Difference* d) {
  const Difference diff = Compare(a, b, kChannelTolerance);
  if (d) *d = diff;
  return diff.pixels <= kAllowedPixels;
}

// ---- The moves ----

Move WaitOn() {
  return Move{};
}

Move Watch(std::string name) {
  return Make(Move::Watch, std::move(name));
}

Move Finish(std::string name) {
  return Make(Move::Finish, std::move(name));
}

Move FinishWith(Move last) {
  last.kind = Move::Finish;
  return last;
}

Move Hover(std::string name, platform::Point p) {
  Move m = Make(Move::Act, std::move(name));
  m.headless = [p](starttest::StartRig& rig) { rig.window->MoveCursor(p); };
  m.real = [p](RealGame& g) { g.MoveTo(p); };
  return m;
}

Move Press(std::string name) {
  Move m = Make(Move::Act, std::move(name));
  m.headless = [](starttest::StartRig& rig) { rig.input->TapButton(0); };
  m.real = [](RealGame& g) { g.Press(); };
  m.retry = true;
  return m;
}

Move ClickAt(std::string name, platform::Point p) {
  Move m = Make(Move::Act, std::move(name));
  m.headless = [p](starttest::StartRig& rig) {
    rig.window->MoveCursor(p);
    rig.input->TapButton(0);
  };
  m.real = [p](RealGame& g) { g.ClickAt(p); };
  m.retry = true;
  return m;
}

Move MenuSave(std::string name, int32_t slot, const std::string& comment, std::function<void(RealGame&)> look) {
  Move m = Make(Move::Act, std::move(name));
  // The dialog opens on the last slot saved, or on none: the list's cursor moves from there.
  const int32_t downs = (slot - 1) - g_LastSaveSlot;
  using platform::headless::DialogAction;
  std::vector<DialogAction> dialog{DialogAction(DialogAction::Choose, IDC_SLOTLIST, {}, slot - 1)};
  if (!comment.empty()) dialog.emplace_back(DialogAction::Type, IDC_COMMENT, platform::Utf8ToWide(comment));
  dialog.emplace_back(DialogAction::Click, platform::kIdOk);
  m.headless = [dialog](starttest::StartRig& rig) {
    rig.host.backend->hdialogs->Script(dialog);
    rig.Command(40010);
  };
  m.real = [downs, comment, look = std::move(look)](RealGame& g) {
    ASSERT_TRUE(g.ChooseMenu(1, 1));
    ASSERT_FALSE(g.WaitForWindow([&](const std::vector<uint8_t>& s) { return SaveDialogOpen(g, s); }, 20).empty())
        << "the save dialog did not open";
    if (look) look(g);
    std::string keys;
    for (int32_t i = 0; i < std::abs(downs); ++i) keys += downs > 0 ? " Down" : " Up";
    if (!keys.empty()) g.Key(keys);
    if (!comment.empty()) {
      g.Key("Tab");
      g.Type(comment);
    }
    g.Key("Return");
  };
  return m;
}

Move MenuSaveDialog(std::string name, std::function<void(RealGame&)> look) {
  Move m = Make(Move::Act, std::move(name));
  m.headless = [](starttest::StartRig& rig) { rig.Command(40010); };  // no script: Cancel
  m.real = [look = std::move(look)](RealGame& g) {
    ASSERT_TRUE(g.ChooseMenu(1, 1));
    ASSERT_FALSE(g.WaitForWindow([&](const std::vector<uint8_t>& s) { return SaveDialogOpen(g, s); }, 20).empty())
        << "the save dialog did not open";
    look(g);
    // Closed by the mouse: an Escape key still held as the dialog ends reaches the waiting page,
    // which hides its window for it.
    const platform::Rect cancel = ControlRect(SaveLoadTemplate(), platform::kIdCancel);
    const platform::Point at =
        g.DialogPoint(SaveLoadTemplate(), (cancel.left + cancel.right) / 2, (cancel.top + cancel.bottom) / 2);
    g.ClickAt(platform::Point{at.x, at.y - g.StripHeight()});
  };
  return m;
}

platform::Rect ControlRect(const platform::DialogTemplate& t, uint32_t id) {
  for (const platform::ControlTemplate& c : t.controls)
    if (c.id == id) return c.rect;
  return platform::Rect{};
}

// ---- The headless run ----

bool PageWaits() {
  if (!g_MessageWindow) return false;
  ssView* last = g_MessageWindow->GetLastChild();
  return last != static_cast<ssView*>(g_MessageWindow->m_pButtons[kMessageButtons - 1]) &&
         dynamic_cast<DxDraw::DxSprite*>(last) != nullptr;
}

namespace {
bool CurrentIs(uint8_t type) {
  const TextScript::ScriptStateNode* node = g_pCurrentGroup ? g_pCurrentGroup->Current() : nullptr;
  return g_SceneRoot && node && node->m_Type == type;
}
}  // namespace

bool ChoiceWaits() {
  return CurrentIs(TextScript::STMT_SEL);
}

bool TurnSelectionWaits() {
  return CurrentIs(TextScript::STMT_SSL);
}

bool TurnChoicesShown() {
  if (!TurnSelectionWaits() || !g_Frame.screen) return false;
  auto* last = dynamic_cast<DxDraw::DxSprite*>(g_Frame.screen->GetLastChild());
  return last && last->m_Position[0] >= float(kTurnLeft) && last->m_Position[1] >= float(kTurnFirstY);
}

bool AllBlack(const Picture& p) {
  return std::all_of(p.rgb.begin(), p.rgb.end(), [](uint8_t v) { return v < 8; });
}

std::vector<Step> RecordHeadless(starttest::StartRig& rig, const std::function<Move(const Picture&)>& decide) {
  rig.host.backend->glyphs = platform::CreateFreeTypeGlyphSource();
  rig.window->SetCursor(kRest);
  std::vector<Step> steps;
  Picture last;
  int still = 0;
  bool decided = false, finished = false;
  Move watching;  // a watched picture, recorded once it has gone if it stayed long enough
  Picture watched;
  int held = 0;
  rig.onFrame = [&](int) {
    if (finished) return;
    Picture now = FromFront(rig.window->Front());
    if (!Identical(now, last)) {
      if (watching.kind == Move::Watch && held >= kWatchFrames) steps.push_back(Step{watching.name, watched, {}});
      watching = Move{};
      last = std::move(now);
      still = held = 0;
      decided = false;
      return;
    }
    ++still;
    ++held;
    if (decided) {
      if (watching.kind != Move::Watch && held == kStuckFrames) {
        const fs::path stuck = fs::path(VARN_BINARY_DIR) / "window-walks" / "headless-stuck.png";
        fs::create_directories(stuck.parent_path());
        WritePng(last, stuck);
        ADD_FAILURE() << "the headless run stayed on one picture after \""
                      << (steps.empty() ? std::string("the start") : steps.back().name) << "\" (in " << stuck.string()
                      << ")";
        finished = true;
        rig.Close(platform::MsgResult::Yes);
      }
      return;
    }
    if (still < kStillFrames) return;
    Move m = decide(last);
    switch (m.kind) {
      case Move::Wait:
        return;
      case Move::Watch:
        watching = m;
        watched = last;
        break;
      case Move::Finish:
        steps.push_back(Step{m.name, last, m.real});
        if (m.headless) m.headless(rig);
        finished = true;
        rig.Close(platform::MsgResult::Yes);
        return;
      case Move::Act:
        steps.push_back(Step{m.name, last, m.real, m.retry});
        if (m.headless) m.headless(rig);
        break;
    }
    decided = true;
  };
  const int code = rig.Start();
  EXPECT_EQ(code, 0) << "the headless run ended with an error";
  EXPECT_TRUE(finished) << "the headless run ended before its walk did, after \""
                        << (steps.empty() ? std::string("the start") : steps.back().name) << "\"";
  rig.onFrame = nullptr;
  return steps;
}

// ---- The real run ----

RealGame::RealGame() {
  if (!m_X.Ok()) {
    m_Why = m_X.Error();
    return;
  }
  m_Home = fs::temp_directory_path() / ("varn-window-" + std::to_string(getpid()));
  fs::remove_all(m_Home);
  fs::create_directories(m_Home / ".config");
  fs::create_directories(m_Home / "run");
  chmod((m_Home / "run").c_str(), 0700);
}

RealGame::~RealGame() {
  if (m_Pid > 0) {
    kill(m_Pid, SIGKILL);
    waitpid(m_Pid, nullptr, 0);
  }
  if (!m_Home.empty()) fs::remove_all(m_Home);
}

fs::path RealGame::SaveFolder() {
  const fs::path folder = m_Home / "Documents" / "quillbrook" / "varn_trial";
  fs::create_directories(folder);
  return folder;
}

bool RealGame::Launch() {
  const std::string program = std::string(VARN_BINARY_DIR) + "/bin/varn";
  const std::string log = (m_Home / "varn.log").string();
  m_Pid = fork();
  if (m_Pid == 0) {
    setenv("HOME", m_Home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_Home / ".config").c_str(), 1);
    setenv("XDG_DATA_HOME", (m_Home / ".local" / "share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (m_Home / ".cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (m_Home / "run").c_str(), 1);
    unsetenv("VARN_BACKEND");
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (m_Pid < 0) {
    ADD_FAILURE() << "fork failed";
    return false;
  }
  m_Window = m_X.FindWindow("Lanternfall");
  if (!m_Window) {
    ADD_FAILURE() << "the game's window never appeared";
    return false;
  }
  std::string geometry;
  int w = 0;
  if (!m_X.WindowSize(m_Window, w, m_WindowHeight, &geometry) || w != kWidth || m_WindowHeight <= kHeight) {
    ADD_FAILURE() << "the window is not 800 wide with a strip above 600 rows: " << geometry;
    return false;
  }
  m_Strip = m_WindowHeight - kHeight;
  // An inactive game holds its frames: the window gets the focus first.
  m_X.Tool("windowfocus --sync " + std::to_string(m_Window));
  MoveTo(kRest);
  return true;
}

int RealGame::Stop() {
  if (m_Pid <= 0) return -1;
  kill(m_Pid, SIGTERM);
  int status = 0;
  const auto end = Clock::now() + 10s;
  while (Clock::now() < end) {
    if (waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
      m_Pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(50ms);
  }
  kill(m_Pid, SIGKILL);
  waitpid(m_Pid, nullptr, 0);
  m_Pid = -1;
  return -1;
}

std::vector<uint8_t> RealGame::CaptureWindow() {
  return m_X.Capture(m_Window, kWidth, m_WindowHeight);
}

Picture RealGame::Capture() {
  return BelowStrip(CaptureWindow(), m_Strip);
}

bool RealGame::WaitFor(const Picture& want, int seconds, Difference* last, Picture* seen, int inARow) {
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  int matched = 0;
  do {
    Picture shot = Capture();
    Difference d;
    matched = Matches(shot, want, &d) ? matched + 1 : 0;
    if (last) *last = d;
    if (seen) *seen = shot;
    if (matched >= inARow) return true;
    std::this_thread::sleep_for(20ms);
  } while (Clock::now() < end);
  return false;
}

void RealGame::MoveTo(platform::Point p) {
  m_X.Tool("mousemove --window " + std::to_string(m_Window) + " " + std::to_string(p.x) + " " +
           std::to_string(p.y + m_Strip));
}

void RealGame::Press() {
  m_X.Tool("click 1");
}

void RealGame::ClickAt(platform::Point p) {
  m_X.Tool("mousemove --window " + std::to_string(m_Window) + " " + std::to_string(p.x) + " " +
           std::to_string(p.y + m_Strip) + " click 1");
}

// The keyboard goes to the window again first: SDL can lose its keyboard focus to the pointer
// grab of a click on the menu strip without a window manager to give it back.
void RealGame::Key(const std::string& keys) {
  m_X.Tool("windowfocus --sync " + std::to_string(m_Window) + " key --delay 60 " + keys);
}

// One character at a time, slowly: xdotool types a character that the keyboard map lacks by
// mapping it to a spare key and maps that key back after typing it. A game reading the key after
// the map went back finds no character, so each key is held long enough for a loaded machine.
void RealGame::Type(const std::string& utf8) {
  m_X.Tool("windowfocus --sync " + std::to_string(m_Window));
  for (size_t at = 0; at < utf8.size();) {
    size_t end = at + 1;
    while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
    m_X.Tool("type --delay 300 '" + utf8.substr(at, end - at) + "'");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    at = end;
  }
}

namespace {

bool Dark(xvfbtest::Rgb c) {
  return c.r < 110 && c.g < 110 && c.b < 110;
}
bool Light(xvfbtest::Rgb c) {
  return c.r > 200 && c.g > 200 && c.b > 200;
}

// Runs of true in a sequence of flags, as [begin, end) pairs, joined across gaps shorter than gap
// and kept when at least minimum long.
std::vector<std::pair<int, int>> Runs(const std::vector<bool>& on, int gap, int minimum) {
  std::vector<std::pair<int, int>> runs;
  for (int i = 0; i < int(on.size()); ++i) {
    if (!on[size_t(i)]) continue;
    if (!runs.empty() && i - runs.back().second < gap)
      runs.back().second = i + 1;
    else
      runs.push_back({i, i + 1});
  }
  std::erase_if(runs, [minimum](const std::pair<int, int>& r) { return r.second - r.first < minimum; });
  return runs;
}

}  // namespace

bool RealGame::ChooseMenu(int top, int item) {
  // The top items: the labels' ink in the strip, a label's characters closer than the gap
  // between labels.
  std::vector<uint8_t> shot = CaptureWindow();
  if (shot.empty()) return false;
  std::vector<bool> ink(kWidth);
  for (int x = 0; x < kWidth; ++x)
    for (int y = 2; y < m_Strip - 2; ++y) ink[size_t(x)] = ink[size_t(x)] || Dark(xvfbtest::At(shot, kWidth, x, y));
  const auto labels = Runs(ink, 12, 8);
  if (top >= int(labels.size())) {
    ADD_FAILURE() << "the menu bar shows " << labels.size() << " items";
    return false;
  }
  const int left = labels[size_t(top)].first;
  m_X.Tool("mousemove --window " + std::to_string(m_Window) + " " +
           std::to_string((labels[size_t(top)].first + labels[size_t(top)].second) / 2) + " " +
           std::to_string(m_Strip / 2) + " click 1");
  // The popup: a light column in its margin left of the label's text, as long as the popup (a
  // separator crosses it in a row or two).
  int bottom = 0;
  const auto end = Clock::now() + 10s;
  while (Clock::now() < end) {
    shot = CaptureWindow();
    bottom = m_Strip + 2;
    for (int y = bottom, gap = 0; !shot.empty() && y < m_WindowHeight && gap < 3; ++y) {
      const bool light = Light(xvfbtest::At(shot, kWidth, left - 4, y));
      gap = light ? 0 : gap + 1;
      if (light) bottom = y;
    }
    if (bottom > m_Strip + 30) break;
    std::this_thread::sleep_for(30ms);
  }
  if (bottom <= m_Strip + 30) {
    xvfbtest::Dump("menu-not-open", shot, kWidth, m_WindowHeight);
    ADD_FAILURE() << "the menu did not open below the item at x " << left;
    return false;
  }
  // Its entries: rows of ink (enabled or greyed) under the label; the separator is a single row.
  std::vector<bool> rows(size_t(bottom - m_Strip));
  for (int y = m_Strip + 2; y < bottom; ++y)
    for (int x = left + 4; x < left + 100; ++x) {
      const xvfbtest::Rgb c = xvfbtest::At(shot, kWidth, x, y);
      rows[size_t(y - m_Strip)] = rows[size_t(y - m_Strip)] || (c.r < 180 && c.g < 180 && c.b < 180);
    }
  const auto entries = Runs(rows, 3, 6);
  if (item >= int(entries.size())) {
    ADD_FAILURE() << "the menu holds " << entries.size() << " entries";
    return false;
  }
  const int y = m_Strip + (entries[size_t(item)].first + entries[size_t(item)].second) / 2;
  m_X.Tool("mousemove --window " + std::to_string(m_Window) + " " + std::to_string(left + 40) + " " +
           std::to_string(y) + " click 1");
  return true;
}

std::vector<uint8_t> RealGame::WaitForWindow(const std::function<bool(const std::vector<uint8_t>&)>& shown,
                                             int seconds) {
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  do {
    std::vector<uint8_t> shot = CaptureWindow();
    if (!shot.empty() && shown(shot)) return shot;
    std::this_thread::sleep_for(20ms);
  } while (Clock::now() < end);
  return {};
}

platform::Point RealGame::DialogPoint(const platform::DialogTemplate& t, int x, int y) const {
  // Centred on the picture, below a title bar as high as the menu strip.
  const int title = m_Strip;
  const int left = kWidth / 2 - t.width / 2, top = m_Strip + kHeight / 2 - (t.height + title) / 2;
  return platform::Point{left + x, top + title + y};
}

bool SaveDialogOpen(const RealGame& g, const std::vector<uint8_t>& shot) {
  const platform::DialogTemplate& t = SaveLoadTemplate();
  const platform::Rect list = ControlRect(t, IDC_SLOTLIST), picture = ControlRect(t, IDC_THUMBNAIL);
  if (shot.empty()) return false;
  for (const platform::Point p : {platform::Point{4, 4}, platform::Point{t.width - 4, t.height - 4},
                                  platform::Point{(list.right + picture.left) / 2, (list.top + list.bottom) / 2}}) {
    const platform::Point at = g.DialogPoint(t, p.x, p.y);
    if (!Light(xvfbtest::At(shot, kWidth, at.x, at.y))) return false;
  }
  return true;
}

Difference Play(RealGame& game, const std::vector<Step>& steps, const std::string& walk) {
  Difference worst;
  const fs::path dumps = fs::path(VARN_BINARY_DIR) / "window-walks";
  bool seenAlready = false;  // the step's picture was caught while the last click was watched
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    Difference d;
    Picture seen;
    // A watched picture goes by itself, perhaps within a couple of slow captures: one will do.
    if (!seenAlready && !game.WaitFor(step.picture, 30, &d, &seen, step.real ? 2 : 1)) {
      fs::create_directories(dumps);
      const std::string base = walk + "-" + std::to_string(i);
      WritePng(step.picture, dumps / (base + "-headless.png"));
      WritePng(seen, dumps / (base + "-window.png"));
      ADD_FAILURE() << walk << ": the window never showed step " << i << " \"" << step.name << "\" (" << d.pixels
                    << " pixels differ, worst channel " << d.worst << "); pictures in " << dumps.string() << "/" << base
                    << "-*.png";
      return worst;
    }
    // With VARN_XVFB_DUMP set to a folder, every step's two pictures are kept there for a look.
    if (const char* keep = std::getenv("VARN_XVFB_DUMP")) {
      const std::string base = walk + "-" + std::to_string(i);
      WritePng(step.picture, fs::path(keep) / (base + "-headless.png"));
      WritePng(seen, fs::path(keep) / (base + "-window.png"));
    }
    worst.pixels = std::max(worst.pixels, d.pixels);
    worst.worst = std::max(worst.worst, d.worst);
    seenAlready = false;
    if (!step.real) continue;
    step.real(game);
    if (!step.retry || i + 1 == steps.size()) continue;
    // A click a busy server lost: the picture stays as it was, and the click goes again.
    for (int again = 0; again < 3; ++again) {
      const auto until = Clock::now() + 3s;
      bool stayed = true;
      while (stayed && Clock::now() < until) {
        const Picture shot = game.Capture();
        seenAlready = Matches(shot, steps[i + 1].picture);
        stayed = !seenAlready && Matches(shot, step.picture);
      }
      if (!stayed) break;
      step.real(game);
    }
  }
  return worst;
}

}  // namespace walk
