// Real-window test of build/bin/varn under a private Xvfb: a dialog opened from the menu over a
// waiting page and closed with a held Escape or Enter leaves the page as it was: the message
// window stays shown and the page does not turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/app/varn_process.h"
#include "bench/play/route.h"
#include "tests/sanitizer.h"
#include "xvfb.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool Light(xvfbtest::Rgb c) {
  return c.r > 150 && c.g > 150 && c.b > 150;
}

bool Differs(xvfbtest::Rgb a, xvfbtest::Rgb b) {
  return std::abs(a.r - b.r) > 40 || std::abs(a.g - b.g) > 40 || std::abs(a.b - b.b) > 40;
}

bool Inside(const platform::Rect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

class XvfbGameDialogKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x.Ok()) GTEST_SKIP() << "real-window test skipped: " << x.Error();
    if (varntest::kSanitized) GTEST_SKIP() << "the whole game under the sanitizer is too slow for the key timing";
    game.emplace("-dialog-keys");
  }

  // The window's capture as RGB rows; empty when it cannot be read.
  std::vector<uint8_t> Shot() const { return x.Capture(id, 800, height); }
  // A pixel of the 800x600 picture in a capture.
  xvfbtest::Rgb At(const std::vector<uint8_t>& shot, int px, int py) const {
    return xvfbtest::At(shot, 800, px, py + strip);
  }
  // Pixels of the picture's rectangle that differ between two captures, outside `skip`.
  int Changed(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, const platform::Rect& r,
              const platform::Rect& skip, platform::Rect* box = nullptr) const {
    int n = 0;
    for (int py = r.top; py < r.bottom; ++py)
      for (int px = r.left; px < r.right; ++px) {
        if (Inside(skip, px, py) || !Differs(At(a, px, py), At(b, px, py))) continue;
        ++n;
        if (box)
          *box = box->right == 0 ? platform::Rect{px, py, px + 1, py + 1}
                                 : platform::Rect{std::min(box->left, px), std::min(box->top, py),
                                                  std::max(box->right, px + 1), std::max(box->bottom, py + 1)};
      }
    return n;
  }
  bool HasText(const std::vector<uint8_t>& shot) const {
    const platform::Rect& r = playroute::kTextArea;
    int light = 0;
    for (int py = r.top; py < r.bottom; py += 2)
      for (int px = r.left; px < r.right; px += 2) light += Light(At(shot, px, py));
    return light > 20;
  }
  // Polls captures until the rectangle stays the same (but for a box of 48 pixels at most, the
  // waiting mark) for `still`, with `ok` holding; the last capture and the box, or nothing.
  struct Still {
    std::vector<uint8_t> shot;
    platform::Rect mark{0, 0, 0, 0};
  };
  template <typename Ok>
  std::optional<Still> WaitStill(const platform::Rect& r, Ok ok, Clock::duration still, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    std::vector<uint8_t> last = Shot();
    platform::Rect box{0, 0, 0, 0};
    auto since = Clock::now();
    while (Clock::now() < deadline && game->Running()) {
      std::this_thread::sleep_for(30ms);
      std::vector<uint8_t> now = Shot();
      if (now.empty() || last.empty()) {
        last = std::move(now);
        since = Clock::now();
        continue;
      }
      Changed(last, now, r, platform::Rect{0, 0, 0, 0}, &box);
      last = std::move(now);
      if (!ok(last) || box.right - box.left > 48 || box.bottom - box.top > 48) {
        box = platform::Rect{0, 0, 0, 0};
        since = Clock::now();
        continue;
      }
      if (Clock::now() - since >= still) {
        if (box.right != 0) box = platform::Rect{box.left - 4, box.top - 4, box.right + 4, box.bottom + 4};
        return Still{last, box};
      }
    }
    return std::nullopt;
  }
  // The dialog's near-white face covers much of the middle of the picture.
  bool DialogShown(const std::vector<uint8_t>& shot) const {
    if (shot.empty()) return false;
    int face = 0, all = 0;
    for (int py = 150; py < 450; py += 3)
      for (int px = 200; px < 600; px += 3, ++all) face += xvfbtest::Near(At(shot, px, py), 250, 250, 250, 7);
    return face * 4 > all;
  }
  template <typename Ok>
  bool CaptureUntil(Ok ok, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    do {
      if (ok(Shot())) return true;
      std::this_thread::sleep_for(30ms);
    } while (Clock::now() < deadline && game->Running());
    return false;
  }
  bool Click(int px, int py) {
    return x.Tool("mousemove --window " + std::to_string(id) + " " + std::to_string(px) + " " +
                  std::to_string(py + strip) + " click 1");
  }
  // "システム" opened from the bar, and "システム設定" chosen in it: a dialog over the page.
  bool OpenDialog() {
    if (!x.Tool("mousemove --window " + std::to_string(id) + " 24 " + std::to_string(strip / 2) + " click 1"))
      return false;
    // The popup's right margin, clear of its labels, light from its top down to its bottom.
    std::vector<uint8_t> menu;
    if (!CaptureUntil(
            [&](const std::vector<uint8_t>& s) {
              menu = s;
              return !s.empty() && Light(xvfbtest::At(s, 800, 133, strip + 20));
            },
            10s))
      return false;
    int top = strip, bottom = strip + 20;
    while (top < height && !Light(xvfbtest::At(menu, 800, 133, top))) ++top;
    while (bottom + 1 < height && Light(xvfbtest::At(menu, 800, 133, bottom + 1))) ++bottom;
    // Eight items, the separator's row counted as one of them; the fourth is the dialog's.
    const int row = (bottom - top) / 8;
    xvfbtest::Dump("game-dialog-keys-menu", menu, 800, height);
    // Below the popup's padding of 8, one row each.
    return row > 8 && x.Tool("mousemove --window " + std::to_string(id) + " 40 " +
                             std::to_string(top + 8 + row * 3 + row / 2) + " click 1");
  }

  xvfbtest::Server x;
  xvfbtest::LeakCheckOff leakCheckOff;
  std::optional<xvfbbench::VarnProcess> game;  // started once the test is to run
  unsigned long id = 0;
  int height = 0, strip = 0;
};

TEST_F(XvfbGameDialogKeys, TheKeyThatClosesAMenuDialogLeavesThePageWaiting) {
  id = x.FindWindow("Lanternfall");
  ASSERT_NE(id, 0u) << "no game window";
  std::string geometry;
  ASSERT_TRUE(x.Tool("getwindowgeometry " + std::to_string(id), &geometry));
  int w = 0;
  const size_t g = geometry.find("Geometry: ");
  ASSERT_NE(g, std::string::npos) << geometry;
  ASSERT_EQ(std::sscanf(geometry.c_str() + g, "Geometry: %dx%d", &w, &height), 2);
  strip = height - 600;
  ASSERT_GT(strip, 10) << "no menu strip above the picture";
  x.Tool("windowfocus --sync " + std::to_string(id));

  // The title waits; its start button starts a new game.
  const platform::Point& m = playroute::kTitleMenu;
  const platform::Rect start{m.x, m.y + 48 * playroute::kStartRow, m.x + 248, m.y + 48 * playroute::kStartRow + 40};
  const std::optional<Still> title = WaitStill(
      start,
      [&](const std::vector<uint8_t>& s) {
        int light = 0;
        for (int py = start.top; py < start.bottom; ++py)
          for (int px = start.left; px < start.right; ++px) light += Light(At(s, px, py));
        return light > 20;  // the button's label
      },
      500ms, 30s);
  ASSERT_TRUE(title) << "the title never waited";
  // The button is lit under the pointer first, then clicked.
  x.Tool("mousemove --window " + std::to_string(id) + " " + std::to_string((start.left + start.right) / 2) + " " +
         std::to_string(strip + (start.top + start.bottom) / 2));
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(x.Tool("click 1"));
  std::this_thread::sleep_for(300ms);
  x.Tool("mousemove --window " + std::to_string(id) + " 400 " + std::to_string(strip + 100));

  // A page that has written its text and waits, the title gone (its buttons reach into the
  // text area).
  const platform::Rect& area = playroute::kTextArea;
  const platform::Rect none{0, 0, 0, 0};
  const std::optional<Still> page = WaitStill(
      area, [&](const std::vector<uint8_t>& s) { return HasText(s) && Changed(title->shot, s, start, none) > 500; },
      800ms, 30s);
  ASSERT_TRUE(page) << "no page came to wait";
  xvfbtest::Dump("game-dialog-keys-page", page->shot, 800, height);

  for (const char* key : {"Escape", "Return"}) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(OpenDialog()) << "the menu did not open";
    std::vector<uint8_t> dialog;
    const bool shown = CaptureUntil(
        [&](const std::vector<uint8_t>& s) {
          dialog = s;
          return DialogShown(s);
        },
        10s);
    xvfbtest::Dump(std::string("game-dialog-keys-dialog-") + key, dialog, 800, height);
    ASSERT_TRUE(shown) << "no dialog opened from the menu";
    // The key goes down, closes the dialog and stays down while the game runs its frames.
    ASSERT_TRUE(x.Tool(std::string("keydown ") + key));
    const bool closed = CaptureUntil([&](const std::vector<uint8_t>& s) { return !s.empty() && !DialogShown(s); }, 10s);
    std::this_thread::sleep_for(400ms);
    ASSERT_TRUE(x.Tool(std::string("keyup ") + key));
    ASSERT_TRUE(closed) << "the key did not close the dialog";
    std::this_thread::sleep_for(400ms);
    const std::vector<uint8_t> after = Shot();
    ASSERT_FALSE(after.empty());
    xvfbtest::Dump(std::string("game-dialog-keys-after-") + key, after, 800, height);
    const int changed = Changed(page->shot, after, area, page->mark);
    EXPECT_LT(changed, 20) << "the page changed: the message window was hidden or the page turned";
    if (changed >= 20) {
      // A hidden message window comes back with a click, so that the next key starts from the
      // waiting page too.
      Click(400, 100);
      std::this_thread::sleep_for(500ms);
    }
  }
  EXPECT_TRUE(game->Running());
}

}  // namespace
