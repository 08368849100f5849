// Real-window test of the menus and dialogs as a player sees and works them: items highlight
// under the pointer and the bar switches menus, shortcut texts stand in a column, radio items
// wear a radio mark, the dialog's input fields show their outlines, and closing the window
// while a dialog is open asks once the dialog is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/menu.h"
#include "platform/sdl/sdl_backend.h"
#include "xvfb.h"

// What a window manager sends when the user clicks a window's close box (x_close_box.cpp).
bool SendCloseBox(const std::string& display, unsigned long window);

using namespace platform;
using xvfbtest::At;
using xvfbtest::PumpUntil;
using xvfbtest::Rgb;

namespace {

constexpr int kW = 800, kH = 600;

bool Dark(Rgb c) {
  return c.r < 110 && c.g < 110 && c.b < 110;
}
// ImGui's highlight of a hovered item is blue.
bool Blue(Rgb c) {
  return c.b > 200 && c.r < 190 && c.b - c.r > 40;
}

// Text in black or in the grey of shortcuts; not the blue of a highlight.
bool Ink(Rgb c) {
  return c.r < 200 && c.g < 200 && c.b < 200;
}

// The runs of columns from x0 to x1 with ink between rows y0 and y1, merged over gaps below
// `gap`.
std::vector<std::pair<int, int>> Runs(const std::vector<uint8_t>& shot, int width, int y0, int y1, int x0, int x1,
                                      int gap, bool (*ink)(Rgb) = Ink) {
  std::vector<std::pair<int, int>> runs;
  for (int x = x0; x < x1; ++x) {
    bool any = false;
    for (int y = y0; y < y1 && !any; ++y) any = ink(At(shot, width, x, y));
    if (!any) continue;
    if (!runs.empty() && x - runs.back().second < gap)
      runs.back().second = x + 1;
    else
      runs.emplace_back(x, x + 1);
  }
  return runs;
}

struct Shown {
  unsigned long id = 0;
  int strip = 0, height = 0;
};

// Creates, shows and focuses the window over a white picture.
Shown Open(xvfbtest::Server& x, Window& w, Menu* menu, const std::string& name) {
  Shown s;
  if (!w.Create(WindowDesc{std::u16string(name.begin(), name.end()), kW, kH, menu != nullptr})) return s;
  if (menu) w.SetMenu(menu);
  w.Show();
  std::vector<uint8_t> white(size_t(kW) * kH * 4, 0xFF);
  w.GetPresenter().Present(ImageView{white.data(), kW, kH, kW * 4}, Rect{0, 0, kW, kH});
  s.id = x.FindWindow(name);
  if (!s.id) return s;
  x.Tool("windowfocus --sync " + std::to_string(s.id));
  std::vector<Event> events;
  if (!PumpUntil(w, events, [&] { return w.IsActive(); })) s.id = 0;
  int winW = 0;
  if (!x.WindowSize(s.id, winW, s.height)) s.height = 0;  // no strip to look at
  s.strip = s.height - kH;
  return s;
}

}  // namespace

using XvfbMenuLook = xvfbtest::Desktop;

TEST_F(XvfbMenuLook, ItemsHighlightBarSwitchesShortcutsStandInAColumnAndRadiosAreRadios) {
  Window& w = *b->window;
  Menu menu({MenuItem::Popup(u"システム",
                             {MenuItem::Command(40003, u"タイトルに戻る"), MenuItem::Command(40012, u"戻る\tCtrl+Z"),
                              MenuItem::Command(40001, u"全画面\tAlt+Enter"), MenuItem::Command(40030, u"チェック"),
                              MenuItem::Radio(40004, u"ラジオ")}),
             MenuItem::Popup(u"シナリオ", {MenuItem::Command(40010, u"セーブする")})});
  menu.Check(40030, true);
  menu.Check(40004, true);
  const Shown s = Open(x, w, &menu, "varn-xvfb-look");
  ASSERT_NE(s.id, 0u) << "the window never appeared";
  const std::string win = "mousemove --window " + std::to_string(s.id) + " ";
  std::vector<Event> events;
  std::vector<uint8_t> shot;
  const auto capture = [&](auto ok) {
    return PumpUntil(
        w, events,
        [&] {
          w.GetPresenter().Flush();
          shot = x.Capture(s.id, kW, s.height);
          return !shot.empty() && ok();
        },
        5000);
  };

  // Open the first menu, then rest the pointer on its second item: the item highlights.
  ASSERT_TRUE(x.Tool(win + "20 " + std::to_string(s.strip / 2) + " click 1"));
  ASSERT_TRUE(capture([&] { return !Dark(At(shot, kW, 20, s.strip + 6)) && At(shot, kW, 20, s.strip + 6).r > 200; }))
      << "the menu did not open";
  // Rows of the popup: each label's ink band; the pointer goes to the middle of the second.
  std::vector<int> rowMid;
  {
    int start = -1;
    for (int y = s.strip + 2; y < s.strip + 200; ++y) {
      bool ink = false;
      for (int xx = 8; xx < 60 && !ink; ++xx) ink = Dark(At(shot, kW, xx, y));
      if (ink && start < 0) start = y;
      if (!ink && start >= 0) {
        if (y - start > 4) rowMid.push_back((start + y) / 2);
        start = -1;
      }
    }
  }
  xvfbtest::Dump("look-open", shot, kW, s.height);
  ASSERT_GE(rowMid.size(), 5u) << "the popup's five items";
  const std::vector<uint8_t> opened = shot;
  ASSERT_TRUE(x.Tool(win + "40 " + std::to_string(rowMid[1]) + " getmouselocation"));
  const bool highlighted = capture([&] { return Blue(At(shot, kW, 100, rowMid[1])); });
  xvfbtest::Dump("look-hover", shot, kW, s.height);
  EXPECT_TRUE(highlighted) << "the item under the pointer highlights";

  // Shortcut texts begin at one column, right of the longest label.
  const auto titleRuns = Runs(opened, kW, rowMid[0] - 6, rowMid[0] + 6, 6, 400, 12);
  const auto undoRuns = Runs(opened, kW, rowMid[1] - 6, rowMid[1] + 6, 6, 400, 12);
  const auto fullRuns = Runs(opened, kW, rowMid[2] - 6, rowMid[2] + 6, 6, 400, 12);
  ASSERT_FALSE(titleRuns.empty());
  ASSERT_GE(undoRuns.size(), 2u) << "label and shortcut apart";
  ASSERT_GE(fullRuns.size(), 2u) << "label and shortcut apart";
  EXPECT_LE(std::abs(undoRuns[1].first - fullRuns[1].first), 1)
      << "the shortcuts start at " << undoRuns[1].first << " and " << fullRuns[1].first;
  EXPECT_GT(undoRuns[1].first, titleRuns[0].second + 8) << "the shortcut column lies right of the longest label";

  // The checked items' marks: a check mark for the check item, a round mark for the radio.
  const auto mark = [&](int mid) {
    const auto runs = Runs(opened, kW, mid - 8, mid + 8, 6, 400, 12, Dark);  // not the popup's frame
    return runs.empty() ? std::pair<int, int>{0, 0} : runs.back();
  };
  const std::pair<int, int> check = mark(rowMid[3]), radio = mark(rowMid[4]);
  ASSERT_GT(radio.second - radio.first, 2) << "the checked radio item has a mark";
  // A round mark is as wide as it is high and the same on the left and the right; a check
  // mark is not.
  const auto symmetry = [&](std::pair<int, int> run, int mid) {
    int differ = 0, total = 0;
    for (int y = mid - 8; y < mid + 8; ++y)
      for (int i = 0; i < (run.second - run.first) / 2; ++i) {
        const bool l = Dark(At(opened, kW, run.first + i, y)), r = Dark(At(opened, kW, run.second - 1 - i, y));
        differ += l != r;
        total += l + r;
      }
    return total ? double(differ) / double(total) : 1.0;
  };
  EXPECT_LT(symmetry(radio, rowMid[4]), 0.25) << "the radio item's mark is round";
  EXPECT_GT(symmetry(check, rowMid[3]), 0.25) << "the check item keeps its check mark";

  // The bar fills its strip: right of the titles, every row down to the strip's last is the
  // bar's face, and the last is its line above the picture, with no row of face under it.
  {
    const Rgb face = At(opened, kW, 700, s.strip / 2);
    const auto same = [](Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; };
    int faceRows = 0;
    for (int y = 0; y < s.strip - 1; ++y) faceRows += same(At(opened, kW, 700, y), face);
    EXPECT_EQ(faceRows, s.strip - 1) << "rows 0 to " << s.strip - 2 << " are the bar's face";
    const Rgb line = At(opened, kW, 700, s.strip - 1);
    EXPECT_LT(line.r + line.g + line.b, face.r + face.g + face.b - 60)
        << "the strip's last row is the bar's line: " << line.r << " under a face of " << face.r;
  }

  // Along the bar: resting on the second title switches to its menu.
  int second = 0;
  {
    const auto bar = Runs(opened, kW, 2, s.strip - 2, 4, 400, 14);
    ASSERT_GE(bar.size(), 2u) << "two titles on the bar";
    second = (bar[1].first + bar[1].second) / 2;
  }
  ASSERT_TRUE(x.Tool(win + std::to_string(second) + " " + std::to_string(s.strip / 2) + " getmouselocation"));
  const bool switched = capture([&] {
    const auto runs = Runs(shot, kW, s.strip + 2, s.strip + 24, second - 40, second + 120, 12);
    return !runs.empty() && !Dark(At(shot, kW, 20, rowMid[0])) &&
           Runs(shot, kW, rowMid[0] - 6, rowMid[0] + 6, 6, 60, 12).empty();
  });
  xvfbtest::Dump("look-switch", shot, kW, s.height);
  EXPECT_TRUE(switched) << "moving along the bar opens the next menu in place of the first";
  x.Tool("key Escape");
  w.Destroy();
}

TEST_F(XvfbMenuLook, DialogFieldsShowOutlinesAndACloseWaitsForTheDialog) {
  Window& w = *b->window;
  const Shown s = Open(x, w, nullptr, "varn-xvfb-fields");
  ASSERT_NE(s.id, 0u) << "the window never appeared";
  DialogTemplate t;
  t.caption = u"設定";
  t.width = 400;
  t.height = 240;
  struct Field {
    uint32_t id;
    ControlType type;
    Rect rect;
    const char* what;
  };
  const Field fields[] = {{10, ControlType::CheckBox, Rect{20, 20, 200, 40}, "check box"},
                          {11, ControlType::RadioButton, Rect{20, 50, 200, 70}, "radio button"},
                          {12, ControlType::Edit, Rect{20, 80, 200, 102}, "edit field"},
                          {13, ControlType::ListBox, Rect{220, 20, 380, 120}, "list box"},
                          {14, ControlType::TrackbarH, Rect{20, 140, 380, 162}, "trackbar"}};
  for (const Field& f : fields) {
    ControlTemplate c;
    c.id = f.id;
    c.type = f.type;
    c.rect = f.rect;
    t.controls.push_back(c);
  }
  // Centred over the picture, with a title bar of the font's height and its padding.
  const int left = kW / 2 - t.width / 2, top = kH / 2 - (t.height + 22) / 2;
  std::atomic<bool> ended{false};
  std::vector<uint8_t> shot;
  std::thread user([&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    do {
      shot = x.Capture(s.id, kW, kH);
      // Drawn once the caption is.
      bool caption = false;
      for (int yy = top + 3; yy < top + 19 && !shot.empty() && !caption; ++yy)
        for (int xx = left + 4; xx < left + 40 && !caption; ++xx) caption = Dark(At(shot, kW, xx, yy));
      if (caption) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    } while (std::chrono::steady_clock::now() < end);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    shot = x.Capture(s.id, kW, kH);
    SendCloseBox(x.Display(), s.id);  // the player closes the window while the dialog is open
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    while (!ended) {
      x.Tool("key Escape");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  b->dialogs->RunModal(t, [&](DialogControls& c, const DialogEvent& e) {
    if (e.type == DialogEventType::Init) {
      c.AddLine(13, u"一行目");
      c.SetRange(14, 0, 10);
      return true;
    }
    if (e.type == DialogEventType::Command && e.control == kIdCancel) {
      c.End(0);
      return true;
    }
    return false;
  });
  ended = true;
  user.join();
  ASSERT_FALSE(shot.empty());
  xvfbtest::Dump("look-fields", shot, kW, kH);
  // Each field's outline: along its left part, a line darker than the dialog's face.
  const Rgb face = At(shot, kW, left + 390, top + 22 + 200);
  for (const Field& f : fields) {
    const int y = top + 22 + (f.rect.top + f.rect.bottom) / 2;
    int darkest = 255;
    for (int xx = left + f.rect.left - 2; xx < left + f.rect.left + 12; ++xx) {
      const Rgb c = At(shot, kW, xx, y);
      darkest = std::min(darkest, (c.r + c.g + c.b) / 3);
    }
    EXPECT_LT(darkest, (face.r + face.g + face.b) / 3 - 40) << "the " << f.what << " has a visible outline";
  }

  // The close request made during the dialog arrives now, once.
  std::vector<Event> events;
  const auto closes = [&] {
    return std::count_if(events.begin(), events.end(),
                         [](const Event& e) { return e.type == EventType::CloseRequest; });
  };
  PumpUntil(
      w, events, [&] { return closes() > 0; }, 2000);
  PumpUntil(
      w, events, [] { return false; }, 300);
  EXPECT_EQ(closes(), 1) << "the close box clicked during the dialog asks its question after it";
  w.Destroy();
}
