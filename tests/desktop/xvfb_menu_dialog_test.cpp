// Real-window test: the ImGui menu bar with Japanese labels draws in its strip above the
// picture and reports a chosen item; a dialog template draws centred and modal over the last
// frame and takes clicks and typing; full screen letterboxes the picture.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/input.h"
#include "platform/menu.h"
#include "platform/sdl/sdl_backend.h"
#include "xvfb.h"

using namespace platform;
using Steady = std::chrono::steady_clock;
using xvfbtest::Near;
using xvfbtest::PumpUntil;

namespace {

constexpr int kW = 800, kH = 600;

bool Light(xvfbtest::Rgb c) {
  return c.r > 170 && c.g > 170 && c.b > 170;
}
bool Dark(xvfbtest::Rgb c) {
  return c.r < 110 && c.g < 110 && c.b < 110;
}

// Polls captures until `ok` holds for one (bounded); the last capture.
template <typename Pred>
std::vector<uint8_t> CaptureUntil(const xvfbtest::Server& x, unsigned long id, int w, int h, Pred ok, int ms = 15000) {
  const auto end = Steady::now() + std::chrono::milliseconds(ms);
  std::vector<uint8_t> shot;
  do {
    shot = x.Capture(id, w, h);
    if (!shot.empty() && ok(shot)) return shot;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  } while (Steady::now() < end);
  return shot;
}

}  // namespace

using XvfbMenuAndDialog = xvfbtest::Desktop;

TEST_F(XvfbMenuAndDialog, MenuBarDialogAndFullScreenDraw) {
  Window& w = *b->window;
  Menu menu({MenuItem::Popup(u"システム", {MenuItem::Command(40000, u"終了(&X)")}),
             MenuItem::Popup(u"シナリオ", {MenuItem::Command(40003, u"タイトルに戻る(&X)")})});
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-menu", kW, kH, true}));
  w.SetMenu(&menu);
  w.Show();
  w.SetSystemCursorVisible(false);  // as the game hides it over its picture
  EXPECT_TRUE(sdl::UiFontHasGlyph(w, u'主')) << "the UI font lacks Japanese glyphs (IPA Gothic missing?)";
  EXPECT_TRUE(sdl::UiFontHasGlyph(w, u'ｷ'));

  std::vector<uint8_t> blue(size_t(kW) * kH * 4);
  for (size_t i = 0; i < blue.size(); i += 4) blue[i] = 0xFF;
  w.GetPresenter().Present(ImageView{blue.data(), kW, kH, kW * 4}, Rect{0, 0, kW, kH});
  w.GetPresenter().Flush();

  const unsigned long id = x.FindWindow("varn-xvfb-menu");
  ASSERT_NE(id, 0u);
  x.Tool("windowfocus --sync " + std::to_string(id));
  std::vector<Event> events;
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.IsActive(); }));

  // The strip: window height is the picture plus the bar.
  std::string geometry;
  int winW = 0, winH = 0;
  ASSERT_TRUE(x.WindowSize(id, winW, winH, &geometry)) << geometry;
  EXPECT_EQ(winW, kW);
  const int strip = winH - kH;
  ASSERT_GT(strip, 10) << "no room for the menu bar";

  std::vector<uint8_t> shot;
  PumpUntil(w, events, [&] {
    w.GetPresenter().Flush();
    shot = x.Capture(id, kW, winH);
    return !shot.empty() && Near(xvfbtest::At(shot, kW, 400, strip + 300), 0, 0, 255);
  });
  ASSERT_FALSE(shot.empty());
  xvfbtest::Dump("menu-bar", shot, kW, winH);
  EXPECT_TRUE(Light(xvfbtest::At(shot, kW, 600, strip / 2))) << "the bar is drawn in the strip";
  int dark = 0;
  for (int yy = 0; yy < strip; ++yy)
    for (int xx = 0; xx < 70; ++xx) dark += Dark(xvfbtest::At(shot, kW, xx, yy));
  EXPECT_GT(dark, 20) << "the first label is drawn";
  EXPECT_TRUE(Near(xvfbtest::At(shot, kW, 2, strip), 0, 0, 255)) << "the picture starts right below the strip";

  // Open the first menu and choose its item.
  events.clear();
  ASSERT_TRUE(x.Tool("mousemove --window " + std::to_string(id) + " 20 " + std::to_string(strip / 2) + " click 1"));
  PumpUntil(w, events, [&] {
    w.GetPresenter().Flush();
    shot = x.Capture(id, kW, winH);
    return !shot.empty() && Light(xvfbtest::At(shot, kW, 95, strip + 6));
  });
  xvfbtest::Dump("menu-open", shot, kW, winH);
  ASSERT_TRUE(Light(xvfbtest::At(shot, kW, 95, strip + 6))) << "the popup opens over the picture";
  for (const Event& e : events) EXPECT_NE(e.type, EventType::MouseDown) << "clicks on the bar are not the game's";
  events.clear();
  // The press on the item lies over the picture; the game's mouse must not see it.
  ASSERT_TRUE(
      x.Tool("mousemove --window " + std::to_string(id) + " 30 " + std::to_string(strip + 14) + " mousedown 1"));
  PumpUntil(w, events, [&] { return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0; });
  ASSERT_NE(SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK, 0u) << "the press never arrived";
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE) << "the open menu over the picture has the system cursor";
  MouseState mouse;
  ASSERT_TRUE(b->input->ReadMouse(mouse));
  EXPECT_EQ(mouse.buttons[0], 0) << "a press in an open menu is the menu's, not the game's";
  for (const Event& e : events) EXPECT_NE(e.type, EventType::MouseDown) << "nor is it a game event";
  ASSERT_TRUE(x.Tool("mouseup 1"));
  bool chosen = false;
  PumpUntil(w, events, [&] {
    for (const Event& e : events) chosen |= e.type == EventType::Command && e.command == 40000;
    return chosen;
  });
  EXPECT_TRUE(chosen) << "choosing the item sends its command";
  // The menu closed, the picture under the pointer is the game's again, and so is the cursor.
  EXPECT_TRUE(PumpUntil(w, events, [&] {
    w.GetPresenter().Flush();
    return SDL_ShowCursor(SDL_QUERY) == SDL_DISABLE;
  })) << "the system cursor stays over the game's picture";

  // A greyed item sends nothing.
  menu.Enable(40003, false);

  // The dialog: centred over the picture, modal, drawn over the last frame.
  DialogTemplate t;
  t.caption = u"主人公名変更";
  t.width = 360;
  t.height = 200;
  auto add = [&](uint32_t cid, ControlType type, Rect r, std::u16string text) {
    ControlTemplate c;
    c.id = cid;
    c.type = type;
    c.rect = r;
    c.text = std::move(text);
    c.maxLength = type == ControlType::Edit ? 8 : 0;
    t.controls.push_back(c);
  };
  add(100, ControlType::Static, Rect{20, 10, 340, 30}, u"主人公の名前を入力してください");
  add(1061, ControlType::Edit, Rect{20, 50, 200, 72}, u"");
  add(1058, ControlType::Picture, Rect{20, 100, 80, 140}, u"");
  add(1, ControlType::DefaultButton, Rect{200, 150, 280, 180}, u"OK");
  add(2, ControlType::Button, Rect{290, 150, 350, 180}, u"ｷｬﾝｾﾙ");

  const int title = strip;  // the dialog's title bar has the bar's height
  const int left = kW / 2 - t.width / 2, top = strip + kH / 2 - (t.height + title) / 2;
  const auto at = [&](int cx, int cy) { return std::to_string(left + cx) + " " + std::to_string(top + title + cy); };
  std::atomic<bool> drawn{false}, ended{false};
  std::vector<uint8_t> dialogShot;
  std::thread user([&] {
    dialogShot = CaptureUntil(x, id, kW, winH, [&](const std::vector<uint8_t>& s) {
      return Near(xvfbtest::At(s, kW, left + 50, top + title + 120), 255, 0, 0);
    });
    drawn = true;
    const std::string win = "mousemove --window " + std::to_string(id) + " ";
    x.Tool(win + at(60, 61) + " click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    x.Tool("type --delay 30 abcdefghij");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    x.Tool(win + at(240, 165) + " click 1");
    // Should the click have been lost, Escape still closes the dialog (and the test fails on
    // its result instead of hanging).
    const auto end = Steady::now() + std::chrono::seconds(15);
    while (!ended && Steady::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!ended) x.Tool("key Escape");
  });
  std::u16string name;
  const int32_t result = b->dialogs->RunModal(t, [&](DialogControls& c, const DialogEvent& e) {
    if (e.type == DialogEventType::Init) {
      std::vector<uint8_t> red(60 * 40 * 3);
      for (size_t i = 0; i < red.size(); i += 3) red[i + 2] = 0xFF;
      c.SetPicture(1058, red.data(), 60, 40, 60 * 3);
      return true;
    }
    if (e.type == DialogEventType::Command && e.control == 1) {
      name = c.GetText(1061);
      c.End(1);
      return true;
    }
    return false;
  });
  ended = true;
  user.join();
  ASSERT_TRUE(drawn);
  EXPECT_EQ(result, 1) << "OK ends the dialog with its result";
  EXPECT_EQ(name, u"abcdefgh") << "typed text arrives, cut to the edit's limit";
  ASSERT_FALSE(dialogShot.empty());
  xvfbtest::Dump("dialog", dialogShot, kW, winH);
  EXPECT_TRUE(Near(xvfbtest::At(dialogShot, kW, left + 50, top + title + 120), 255, 0, 0)) << "the picture control";
  EXPECT_TRUE(Light(xvfbtest::At(dialogShot, kW, left + 300, top + title + 100))) << "the dialog's face";
  const xvfbtest::Rgb under = xvfbtest::At(dialogShot, kW, 20, winH - 20);
  EXPECT_TRUE(under.b > 150 && under.r < 80 && under.g < 80)
      << "the last frame stays visible under the dialog: " << under.r << "," << under.g << "," << under.b;
  int text = 0;
  for (int yy = 10; yy < 30; ++yy)
    for (int xx = 20; xx < 300; ++xx) text += Dark(xvfbtest::At(dialogShot, kW, left + xx, top + title + yy));
  EXPECT_GT(text, 100) << "the Japanese static text is drawn";

  // Full screen: the picture is scaled and letterboxed on the 1024x768 screen (same ratio, so
  // it fills it), and the cursor maps back to client coordinates.
  ASSERT_TRUE(w.SetFullScreen(true));
  w.SetMenuShown(false);
  events.clear();
  int fullW = 0, fullH = 0;
  const auto screenSized = [&] { return fullW == 1024 && fullH == 768; };
  PumpUntil(w, events, [&] {
    w.GetPresenter().Flush();
    return x.WindowSize(id, fullW, fullH) && screenSized();
  });
  if (screenSized()) {
    // getmouselocation makes xdotool wait for the server before it exits.
    ASSERT_TRUE(x.Tool("mousemove 512 384 getmouselocation"));
    PumpUntil(w, events, [&] { return w.CursorPos() == Point{400, 300}; });
    EXPECT_EQ(w.CursorPos(), (Point{400, 300}));
    shot = CaptureUntil(x, id, 1024, 768, [&](const std::vector<uint8_t>& s) {
      return Near(xvfbtest::At(s, 1024, 1023, 767), 0, 0, 255);
    });
    ASSERT_FALSE(shot.empty());
    EXPECT_TRUE(Near(xvfbtest::At(shot, 1024, 0, 0), 0, 0, 255)) << "no strip in full screen";
  } else {
    ADD_FAILURE() << "the window did not go full screen: " << fullW << "x" << fullH;
  }
  ASSERT_TRUE(w.SetFullScreen(false));
  w.Destroy();
}

// The outside end (a termination) closes a drawn dialog as Cancel within a few of the host's
// turns, even one whose procedure keeps itself open on Cancel.
TEST_F(XvfbMenuAndDialog, TheOutsideEndClosesADrawnDialogAsCancel) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-end", kW, kH, true}));
  w.Show();
  std::vector<uint8_t> black(size_t(kW) * kH * 4);
  w.GetPresenter().Present(ImageView{black.data(), kW, kH, kW * 4}, Rect{0, 0, kW, kH});
  w.GetPresenter().Flush();
  const unsigned long id = x.FindWindow("varn-xvfb-end");
  ASSERT_NE(id, 0u);

  DialogTemplate t;
  t.caption = u"システム設定";
  t.width = 300;
  t.height = 160;
  ControlTemplate ok;
  ok.id = kIdOk;
  ok.type = ControlType::DefaultButton;
  ok.rect = Rect{20, 100, 120, 130};
  ok.text = u"OK";
  t.controls.push_back(ok);

  std::atomic<bool> ended{false};
  std::atomic<int64_t> endedAt{0};
  b->dialogs->SetOutsideEnd([&] { return ended.load(); });
  std::thread signal([&] {
    // Once the dialog's light face is on the screen.
    CaptureUntil(x, id, kW, kH, [](const std::vector<uint8_t>& s) { return Light(xvfbtest::At(s, kW, 400, 300)); });
    endedAt = Steady::now().time_since_epoch().count();
    ended = true;
  });
  std::vector<std::string> commands;
  const int32_t result = b->dialogs->RunModal(t, [&](DialogControls&, const DialogEvent& e) {
    if (e.type == DialogEventType::Command) commands.push_back(e.control == kIdCancel ? "cancel" : "other");
    return true;
  });
  const auto closed = Steady::now();
  signal.join();
  b->dialogs->SetOutsideEnd(nullptr);
  ASSERT_TRUE(ended) << "the dialog was never drawn";
  EXPECT_EQ(result, -1);
  EXPECT_EQ(commands, std::vector<std::string>{"cancel"}) << "the procedure was told Cancel once";
  const auto took = closed - Steady::time_point(Steady::duration(endedAt.load()));
  EXPECT_LT(took, std::chrono::milliseconds(500)) << "closed within a few turns of the host";
  w.Destroy();
}
