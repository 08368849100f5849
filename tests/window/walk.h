// Walks through the game run twice and compared: the whole program in-process on the headless
// backend, which records the picture at each step and the action taken there, and the real
// build/bin/varn under a private Xvfb, which waits at each step until its window shows that
// picture and then takes the same action with xdotool.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/geometry.h"
#include "tests/app/startfixture.h"
#include "tests/desktop/xvfb.h"
#include "tests/sanitizer.h"

namespace walk {

namespace fs = std::filesystem;

constexpr int kWidth = 800, kHeight = 600;

// Where the cursor rests between buttons in both runs: clear of every button and choice.
constexpr platform::Point kRest{400, 100};

// The game's picture: rows of R, G, B, kWidth x kHeight, or empty.
struct Picture {
  std::vector<uint8_t> rgb;
  bool Empty() const { return rgb.empty(); }
  xvfbtest::Rgb At(int x, int y) const { return xvfbtest::At(rgb, kWidth, x, y); }
};

// The headless window's front image.
Picture FromFront(const platform::headless::HeadlessPresenter& front);
// The client picture of a window capture: the rows below the menu strip.
Picture BelowStrip(const std::vector<uint8_t>& window, int stripHeight);
void WritePng(const Picture& picture, const fs::path& path);

// How two pictures differ: the pixels with a channel off by more than the tolerance (the blinking
// page-end mark left out), and the largest channel difference of all.
struct Difference {
  int pixels = 0;
  int worst = 0;
};
Difference Compare(const Picture& a, const Picture& b, int tolerance);
// Same run, same fonts: a capture matches its headless picture when no channel is more than
// kChannelTolerance off in all but kAllowedPixels pixels.
constexpr int kChannelTolerance = 24;
constexpr int kAllowedPixels = kWidth * kHeight / 1000;
bool Matches(const Picture& a, const Picture& b, Difference* d = nullptr);

class RealGame;

// The sanitizer build cannot run the game's forked children reliably; the real walks skip there.
using varntest::kSanitized;

// One step of a walk: the picture shown before its action, and the action in the real window
// (none for a picture that is only watched).
struct Step {
  std::string name;
  Picture picture;
  std::function<void(RealGame&)> real;
  bool retry = false;  // a lost click is sent again while the picture stays
};

// What the headless driver does at a still picture: wait on, take an action (the headless half
// now, the real half in the replay), watch a picture that goes by itself, or end the walk (with
// a last action, whose effect no later picture shows).
struct Move {
  enum Kind { Wait, Act, Watch, Finish } kind = Wait;
  std::string name;
  std::function<void(starttest::StartRig&)> headless;
  std::function<void(RealGame&)> real;
  bool retry = false;
};
Move WaitOn();
Move Watch(std::string name);
Move Finish(std::string name);
Move FinishWith(Move last);
// The cursor to p (a button lights), the left button at the cursor, or both at once.
Move Hover(std::string name, platform::Point p);
Move Press(std::string name);
Move ClickAt(std::string name, platform::Point p);
// The save dialog opened from the menu and a save into the slot with the comment typed (none
// when empty): the headless dialog gets the actions, the real one the mouse on the menu bar and
// the keys; look, when given, sees the real dialog as it opened.
Move MenuSave(std::string name, int32_t slot, const std::string& comment = "",
              std::function<void(RealGame&)> look = {});
// The save dialog opened from the menu again; the real half looks at it, then its cancel button
// closes it.
Move MenuSaveDialog(std::string name, std::function<void(RealGame&)> look);

// A control's rectangle in its template; empty when it has none with that id.
platform::Rect ControlRect(const platform::DialogTemplate& t, uint32_t id);

// The game's state the drivers read in the headless run.
bool PageWaits();
bool ChoiceWaits();
bool TurnSelectionWaits();
// The turn selection's choices are up (after its caption, which spans the screen): the screen's
// last child is one of them, in their column right of kTurnLeft from kTurnFirstY down.
bool TurnChoicesShown();
constexpr int kTurnLeft = 400, kTurnFirstY = 222, kTurnStep = 36;
bool AllBlack(const Picture& p);

// Runs the program on the rig with FreeType glyphs (the real window's), calling decide at every
// picture that has stayed still a while; the steps recorded, in order.
std::vector<Step> RecordHeadless(starttest::StartRig& rig, const std::function<Move(const Picture&)>& decide);

// The real program under a private Xvfb, with its own home, configuration, data and runtime
// folders. Usable() is false, with the reason in Why(), where it cannot run.
class RealGame {
 public:
  RealGame();
  ~RealGame();
  RealGame(const RealGame&) = delete;
  RealGame& operator=(const RealGame&) = delete;

  bool Usable() const { return m_Why.empty(); }
  const std::string& Why() const { return m_Why; }
  // The save folder of the real program, made on demand (for files a walk starts from).
  fs::path SaveFolder();
  // Starts varn, waits for its window and focuses it; false with a failure reported.
  bool Launch();
  // SIGTERM, then the exit code (-1 when it had to be killed).
  int Stop();

  // The picture below the strip; empty when the capture failed.
  Picture Capture();
  // The whole window, strip included.
  std::vector<uint8_t> CaptureWindow();
  int StripHeight() const { return m_Strip; }
  // Waits until captures in a row (two by default) match the picture; the last difference and
  // capture.
  bool WaitFor(const Picture& want, int seconds, Difference* last = nullptr, Picture* seen = nullptr, int inARow = 2);

  void MoveTo(platform::Point p);
  void Press();
  void ClickAt(platform::Point p);
  void Key(const std::string& keys);
  void Type(const std::string& utf8);
  // The menu bar's top item `top` opened with the mouse and its `item`-th entry clicked.
  bool ChooseMenu(int top, int item);
  // Captures the window until shown holds for one; empty when it never did.
  std::vector<uint8_t> WaitForWindow(const std::function<bool(const std::vector<uint8_t>&)>& shown, int seconds);
  // Where a point of a dialog centred on the picture is, in window coordinates.
  platform::Point DialogPoint(const platform::DialogTemplate& t, int x, int y) const;

 private:
  xvfbtest::Server m_X;
  fs::path m_Home;
  std::string m_Why;
  pid_t m_Pid = -1;
  unsigned long m_Window = 0;
  int m_Strip = 0;
  int m_WindowHeight = 0;
};

// In a window capture, the save dialog is open: its light background around its controls.
bool SaveDialogOpen(const RealGame& g, const std::vector<uint8_t>& shot);

// A walk's test: the real game under its own Xvfb, made in SetUp. The test is skipped, with the
// reason, in the sanitizer build or where the real game cannot run.
class RealWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kSanitized)
      GTEST_SKIP() << "the real program's message boxes come from a forked child, which the sanitizer build "
                      "cannot run reliably";
    m_Game.emplace();
    if (!m_Game->Usable()) GTEST_SKIP() << "real-window test skipped: " << m_Game->Why();
  }
  RealGame& Game() { return *m_Game; }

 private:
  std::optional<RealGame> m_Game;
};

// Replays the steps in the real window; a step whose picture never shows fails the test with
// both pictures written under the build folder. The worst difference of the matched steps.
Difference Play(RealGame& game, const std::vector<Step>& steps, const std::string& walk);

}  // namespace walk
