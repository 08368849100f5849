// Real-window test: the menus and dialogs draw every character the game's Shift-JIS texts can
// hold (symbols, circled numbers, rare kanji) with its own glyph, never as the font's "?".
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/menu.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/utf.h"
#include "xvfb.h"

using namespace platform;
using xvfbtest::PumpUntil;

namespace {

constexpr int kW = 800, kH = 600;
// Characters that a small Japanese range lacks, one of each kind code page 932 holds.
const std::u16string kSample = u"…→♪①②③※―髙薔薇檸檬Ⅲ㈱∵ω";

bool Dark(xvfbtest::Rgb c) {
  return c.r < 110 && c.g < 110 && c.b < 110;
}

// The dark pixels of a cell, one bit a pixel.
std::vector<bool> Ink(const std::vector<uint8_t>& shot, int width, int x0, int y0, int w, int h) {
  std::vector<bool> ink;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) ink.push_back(Dark(xvfbtest::At(shot, width, x, y)));
  return ink;
}

std::string Utf8Of(char16_t c) {
  return WideToUtf8(std::u16string(1, c));
}

int Count(const std::vector<bool>& v) {
  return int(std::count(v.begin(), v.end(), true));
}

int Differ(const std::vector<bool>& a, const std::vector<bool>& b) {
  int n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
  return n;
}

// Ink rows as bands [top, bottom) within the columns x0..x1 between y0 and y1; bands less than
// five rows apart are one.
std::vector<std::pair<int, int>> Bands(const std::vector<uint8_t>& shot, int width, int x0, int x1, int y0, int y1) {
  std::vector<std::pair<int, int>> bands;
  int start = -1;
  for (int y = y0; y < y1; ++y) {
    bool ink = false;
    for (int x = x0; x < x1 && !ink; ++x) ink = Dark(xvfbtest::At(shot, width, x, y));
    if (ink && start < 0) start = y;
    if (!ink && start >= 0) {
      // A gap of a few rows (the dot of a "?") belongs to the band above it.
      if (!bands.empty() && start - bands.back().second <= 4)
        bands.back().second = y;
      else
        bands.emplace_back(start, y);
      start = -1;
    }
  }
  return bands;
}

}  // namespace

using XvfbUiText = xvfbtest::Desktop;

TEST_F(XvfbUiText, MenuAndDialogDrawEveryShiftJisCharacter) {
  Window& w = *b->window;
  std::vector<MenuItem> items;
  // Each item leads with a "?", which marks its row; the last item's character is a "?" too.
  for (char16_t c : kSample) items.push_back(MenuItem::Command(41000 + c, u"? " + std::u16string(1, c)));
  items.push_back(MenuItem::Command(40999, u"? ?"));
  Menu menu({MenuItem::Popup(u"文字", items)});
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-text", kW, kH, true}));
  w.SetMenu(&menu);
  w.Show();
  for (char16_t c : kSample)
    EXPECT_TRUE(sdl::UiFontHasGlyph(w, c)) << "the menu and dialog font has no glyph for " << Utf8Of(c);

  std::vector<uint8_t> white(size_t(kW) * kH * 4, 0xFF);
  w.GetPresenter().Present(ImageView{white.data(), kW, kH, kW * 4}, Rect{0, 0, kW, kH});
  const unsigned long id = x.FindWindow("varn-xvfb-text");
  ASSERT_NE(id, 0u);
  x.Tool("windowfocus --sync " + std::to_string(id));
  std::vector<Event> events;
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.IsActive(); }));
  std::string geometry;
  int winW = 0, winH = 0;
  ASSERT_TRUE(x.WindowSize(id, winW, winH, &geometry)) << geometry;
  const int strip = winH - kH;

  // The menu: the leading "?" of each item is a band of ink rows of its own.
  ASSERT_TRUE(x.Tool("mousemove --window " + std::to_string(id) + " 20 " + std::to_string(strip / 2) + " click 1"));
  const size_t rows = kSample.size() + 1;
  std::vector<uint8_t> shot;
  std::vector<std::pair<int, int>> bands;
  PumpUntil(w, events, [&] {
    w.GetPresenter().Flush();
    shot = x.Capture(id, kW, winH);
    if (shot.empty()) return false;
    bands = Bands(shot, kW, 6, 18, strip + 4, winH);  // inside the popup's frame
    return bands.size() >= rows;
  });
  xvfbtest::Dump("text-menu", shot, kW, winH);
  ASSERT_EQ(bands.size(), rows) << "one band of ink per menu item";
  const int cell = 20;
  const auto rowInk = [&](size_t i) {
    const int mid = (bands[i].first + bands[i].second) / 2;
    return Ink(shot, kW, 22, mid - cell / 2, 24, cell);
  };
  const std::vector<bool> question = rowInk(rows - 1);
  ASSERT_GT(Count(question), 5) << "the \"?\" item is drawn";
  for (size_t i = 0; i + 1 < rows; ++i)
    EXPECT_GT(Differ(rowInk(i), question), 8) << "the menu draws " << Utf8Of(kSample[i]) << " as \"?\"";
  ASSERT_TRUE(x.Tool("key Escape"));
  // The menu's Escape is the window's, read before the dialog opens: left queued, it would be
  // the dialog's first key and close it.
  events.clear();
  ASSERT_TRUE(PumpUntil(w, events, [&] {
    return std::any_of(events.begin(), events.end(),
                       [](const Event& e) { return e.type == EventType::KeyUp && e.key == DIK_ESCAPE; });
  }));

  // The dialog: each character in a static text of its own, and a "?" for comparison.
  DialogTemplate t;
  t.caption = u"※確認…";
  t.width = 600;
  t.height = 120;
  for (size_t i = 0; i < kSample.size(); ++i) {
    ControlTemplate c;
    c.id = uint32_t(100 + i);
    c.rect = Rect{int32_t(20 + i * 30), 20, int32_t(44 + i * 30), 44};
    c.text = std::u16string(1, kSample[i]);
    t.controls.push_back(c);
  }
  ControlTemplate q;
  q.id = 99;
  q.rect = Rect{20, 70, 44, 94};
  q.text = u"?";
  t.controls.push_back(q);
  const int title = strip;
  const int left = kW / 2 - t.width / 2, top = strip + kH / 2 - (t.height + title) / 2;
  std::atomic<bool> ended{false};
  std::vector<uint8_t> dialogShot;
  std::thread user([&] {
    dialogShot = [&] {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
      std::vector<uint8_t> s;
      do {
        s = x.Capture(id, kW, winH);
        if (!s.empty() && Count(Ink(s, kW, left + 20, top + title + 70, 24, 24)) > 5) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
      } while (std::chrono::steady_clock::now() < end);
      return s;
    }();
    while (!ended) {
      x.Tool("key Escape");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  b->dialogs->RunModal(t, [&](DialogControls& c, const DialogEvent& e) {
    if (e.type == DialogEventType::Command && e.control == kIdCancel) {
      c.End(0);
      return true;
    }
    return false;
  });
  ended = true;
  user.join();
  ASSERT_FALSE(dialogShot.empty());
  xvfbtest::Dump("text-dialog", dialogShot, kW, winH);
  const std::vector<bool> mark = Ink(dialogShot, kW, left + 20, top + title + 70, 24, 24);
  ASSERT_GT(Count(mark), 5) << "the \"?\" text is drawn";
  for (size_t i = 0; i < kSample.size(); ++i) {
    const std::vector<bool> cellInk = Ink(dialogShot, kW, left + 20 + int(i) * 30, top + title + 20, 24, 24);
    EXPECT_GT(Count(cellInk), 2) << Utf8Of(kSample[i]) << " is drawn";
    EXPECT_GT(Differ(cellInk, mark), 8) << "the dialog draws " << Utf8Of(kSample[i]) << " as \"?\"";
  }
  w.Destroy();
}
