// Real-window test: build/bin/varn started under a private Xvfb: its caption, the 800x600 picture
// below the menu strip, a menu command chosen with the mouse, the window manager's close request
// answered "いいえ" (the game runs on), and the termination signal ending it with 0, also while a
// dialog is open.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/desktop/xvfb.h"
#include "tests/sanitizer.h"

bool SendCloseBox(const std::string& display, unsigned long window);

namespace {

using varntest::kSanitized;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool Light(xvfbtest::Rgb c) {
  return c.r > 150 && c.g > 150 && c.b > 150;
}

class XvfbVarn : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x.Ok()) GTEST_SKIP() << "real-window test skipped: " << x.Error();
    if (kSanitized)
      GTEST_SKIP() << "the game's message boxes come from a forked child, which the sanitizer build "
                      "cannot run reliably";
    home = fs::temp_directory_path() / ("varn-xvfb-home-" + std::to_string(getpid()));
    fs::remove_all(home);
    fs::create_directories(home);
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (!home.empty()) fs::remove_all(home);
  }

  // The game, with one option when one is given.
  void Launch(const char* option = nullptr) {
    const std::string program = std::string(VARN_BINARY_DIR) + "/bin/varn";
    pid = fork();
    if (pid == 0) {
      setenv("HOME", home.c_str(), 1);
      setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
      // The instance lock of its own, so that a game another test plays does not make it a
      // second instance.
      setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
      unsetenv("VARN_BACKEND");
      execl(program.c_str(), program.c_str(), option, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  // Sends the termination signal; true when the game then ended with 0 within 10 s.
  bool TerminatesCleanly() {
    kill(pid, SIGTERM);
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
      std::this_thread::sleep_for(100ms);
      ended = waitpid(pid, &status, WNOHANG) == pid;
    }
    if (!ended) return false;
    pid = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  bool Running() { return pid > 0 && waitpid(pid, &status, WNOHANG) == 0; }
  // Waits for the box with this caption, answers it with Return (its default) until it is gone.
  bool AnswerBox(const std::string& caption) {
    unsigned long box = 0;
    for (int i = 0; i < 100 && !box; ++i) {
      std::this_thread::sleep_for(100ms);
      box = x.FindWindowNow(caption);
    }
    if (!box) return false;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (x.FindWindowNow(caption) == box && std::chrono::steady_clock::now() < deadline) {
      x.Tool("windowfocus " + std::to_string(box) + " key Return");
      std::this_thread::sleep_for(150ms);
    }
    return x.FindWindowNow(caption) != box;
  }
  std::vector<uint8_t> CaptureUntil(unsigned long id, int h,
                                    const std::function<bool(const std::vector<uint8_t>&)>& ok) {
    std::vector<uint8_t> shot;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    do {
      shot = x.Capture(id, 800, h);
      if (!shot.empty() && ok(shot)) return shot;
      std::this_thread::sleep_for(50ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return shot;
  }

  xvfbtest::Server x;
  xvfbtest::LeakCheckOff leakCheckOff;
  fs::path home;
  pid_t pid = -1;
  int status = 0;
};

TEST_F(XvfbVarn, TheWindowItsMenuAndTheCloseQuestion) {
  Launch();
  const unsigned long id = x.FindWindow("Lanternfall");
  ASSERT_NE(id, 0u) << "no game window";
  std::string name;
  ASSERT_TRUE(x.Tool("getwindowname " + std::to_string(id), &name));
  EXPECT_EQ(name, "Lanternfall　体験版\n");

  std::string geometry;
  int w = 0, h = 0;
  ASSERT_TRUE(x.WindowSize(id, w, h, &geometry)) << geometry;
  EXPECT_EQ(w, 800);
  const int strip = h - 600;
  ASSERT_GT(strip, 10) << "no menu strip above the picture";

  // The title of the game waits on black below the light menu bar.
  std::vector<uint8_t> shot = CaptureUntil(id, h, [&](const std::vector<uint8_t>& s) {
    return Light(xvfbtest::At(s, 800, 600, strip / 2)) &&
           xvfbtest::Near(xvfbtest::At(s, 800, 400, strip + 300), 0, 0, 0);
  });
  ASSERT_FALSE(shot.empty());
  xvfbtest::Dump("varn-title", shot, 800, h);
  EXPECT_TRUE(Light(xvfbtest::At(shot, 800, 600, strip / 2))) << "the menu bar is drawn in the strip";
  EXPECT_TRUE(xvfbtest::Near(xvfbtest::At(shot, 800, 2, strip), 0, 0, 0)) << "the picture starts below the strip";
  EXPECT_TRUE(xvfbtest::Near(xvfbtest::At(shot, 800, 797, h - 2), 0, 0, 0));

  // "システム" opened with the mouse; its last item, "終了(&X)", asks the close question.
  x.Tool("windowfocus --sync " + std::to_string(id));
  ASSERT_TRUE(x.Tool("mousemove --window " + std::to_string(id) + " 24 " + std::to_string(strip / 2) + " click 1"));
  shot =
      CaptureUntil(id, h, [&](const std::vector<uint8_t>& s) { return Light(xvfbtest::At(s, 800, 133, strip + 20)); });
  ASSERT_FALSE(shot.empty());
  xvfbtest::Dump("varn-menu", shot, 800, h);
  int bottom = strip + 20;
  // Down the popup's right margin, clear of its labels, to its lower border.
  while (bottom + 1 < h && Light(xvfbtest::At(shot, 800, 133, bottom + 1))) ++bottom;
  ASSERT_GT(bottom, strip + 60) << "the popup is open";
  ASSERT_TRUE(x.Tool("mousemove --window " + std::to_string(id) + " 40 " + std::to_string(bottom - 10) + " click 1"));
  EXPECT_TRUE(AnswerBox("終了")) << "the menu's exit item asked nothing";
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(Running()) << "いいえ keeps the game running";

  // The window manager's close request asks the same; いいえ (the default) keeps it running.
  ASSERT_TRUE(SendCloseBox(x.Display(), id));
  EXPECT_TRUE(AnswerBox("終了")) << "the close request asked nothing";
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(Running());

  // A log-out's termination signal ends it without a question, writing its configuration.
  EXPECT_TRUE(TerminatesCleanly()) << "the game did not end with 0 on SIGTERM: " << status;
  EXPECT_TRUE(fs::exists(home / "Documents" / "quillbrook" / "varn_trial" / "varn.ini"));
}

// The termination signal while a dialog waits for the player (the display-driver choice at start):
// the dialog closes as Cancel and the game ends with 0, writing its configuration.
TEST_F(XvfbVarn, TheTerminationSignalClosesAnOpenDialog) {
  Launch("--seldriver");
  const unsigned long id = x.FindWindow("Lanternfall");
  ASSERT_NE(id, 0u) << "no game window";
  std::string geometry;
  int w = 0, h = 0;
  ASSERT_TRUE(x.WindowSize(id, w, h, &geometry)) << geometry;
  // The dialog's light face in the middle of the picture.
  const std::vector<uint8_t> shot =
      CaptureUntil(id, h, [&](const std::vector<uint8_t>& s) { return Light(xvfbtest::At(s, 800, 400, h - 300)); });
  xvfbtest::Dump("varn-driver-dialog", shot, 800, h);
  ASSERT_TRUE(!shot.empty() && Light(xvfbtest::At(shot, 800, 400, h - 300))) << "the driver dialog is not shown";
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(Running()) << "the dialog waits for an answer";
  EXPECT_TRUE(TerminatesCleanly()) << "the game did not end with 0 on SIGTERM: " << status;
  EXPECT_TRUE(fs::exists(home / "Documents" / "quillbrook" / "varn_trial" / "varn.ini"));
}

}  // namespace
