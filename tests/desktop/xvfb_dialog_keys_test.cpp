// Real-window test: the Escape, Enter or mouse button that closes a dialog is still held when the
// game reads its devices again; the game sees neither a press nor a held key or button until it
// is released, and it is the game's again after that.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <tuple>

#include "dxdraw/dxinput.h"
#include "platform/dialog.h"
#include "platform/input.h"
#include "xvfb.h"

using namespace platform;
using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;
using xvfbtest::PumpUntil;

namespace {

constexpr int kW = 800, kH = 600;

bool Light(xvfbtest::Rgb c) {
  return c.r > 170 && c.g > 170 && c.b > 170;
}

// The game's frames for a while: the pump, then the devices' read; whether the key was seen
// pressed or held in any of them.
struct Seen {
  bool pressed = false, held = false;
};
Seen Frames(Window& w, int key, std::chrono::milliseconds span) {
  Seen seen;
  const auto end = Steady::now() + span;
  while (Steady::now() < end) {
    Event e;
    while (w.PollEvent(e)) {
    }
    Input::Update();
    seen.pressed |= Input::IsPressed(key);
    seen.held |= Input::IsDown(key);
    std::this_thread::sleep_for(16ms);
  }
  return seen;
}

}  // namespace

using XvfbDialogKeys = xvfbtest::Desktop;

TEST_F(XvfbDialogKeys, TheKeyThatClosesADialogIsNotTheGames) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-dialog-keys", kW, kH, false}));
  w.Show();
  std::vector<uint8_t> black(size_t(kW) * kH * 4);
  w.GetPresenter().Present(ImageView{black.data(), kW, kH, kW * 4}, Rect{0, 0, kW, kH});
  w.GetPresenter().Flush();
  const unsigned long id = x.FindWindow("varn-xvfb-dialog-keys");
  ASSERT_NE(id, 0u) << "the window never appeared";
  x.Tool("windowfocus --sync " + std::to_string(id));
  std::vector<Event> events;
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.IsActive(); })) << "the window never got the focus";

  InputConfig config;
  config.device = b->input.get();
  config.window = &w;
  ASSERT_EQ(Input::Initialize(config), 1);

  DialogTemplate t;
  t.caption = u"サウンド設定";
  t.width = 300;
  t.height = 160;
  const auto add = [&](uint32_t cid, ControlType type, Rect r, const char16_t* text) {
    ControlTemplate c;
    c.id = cid;
    c.type = type;
    c.rect = r;
    c.text = text;
    t.controls.push_back(c);
  };
  add(kIdOk, ControlType::DefaultButton, Rect{20, 100, 120, 130}, u"OK");
  add(kIdCancel, ControlType::Button, Rect{160, 100, 260, 130}, u"ｷｬﾝｾﾙ");
  constexpr uint32_t kList = 1000;
  constexpr int32_t kChosen = 7;  // the result of a double click on a line
  add(kList, ControlType::ListBox, Rect{20, 10, 280, 90}, u"");
  // The list's first line on the screen: the dialog is centred below its title bar, which has
  // the height of the UI font and its padding.
  const std::string line =
      std::to_string(kW / 2 - t.width / 2 + 60) + " " + std::to_string(kH / 2 - (t.height + 22) / 2 + 22 + 10 + 8);

  const auto keyHeld = [](SDL_Scancode sc) { return [sc] { return SDL_GetKeyboardState(nullptr)[sc] != 0; }; };
  const struct {
    const char* name;
    int index;                   // the input module's key or button
    std::string close;           // what closes the dialog and stays held
    std::string press, release;  // the same key or button, once it is the game's
    int32_t result;
    std::function<bool()> held;  // what SDL holds as down
  } cases[] = {
      {"Escape", DIK_ESCAPE, "keydown Escape", "keydown Escape", "keyup Escape", kIdCancel,
       keyHeld(SDL_SCANCODE_ESCAPE)},
      {"Return", DIK_RETURN, "keydown Return", "keydown Return", "keyup Return", kIdOk, keyHeld(SDL_SCANCODE_RETURN)},
      // A double click on a line ends the dialog as the second press goes down.
      {"double click", Input::kMouseLeft,
       "mousemove --window " + std::to_string(id) + " " + line + " click 1 sleep 0.1 mousedown 1", "mousedown 1",
       "mouseup 1", kChosen, [] { return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(Frames(w, c.index, 100ms).held);
    std::atomic<bool> ended{false}, sent{false};
    std::thread user([&] {
      // Once the dialog's face is on the screen, the key or button goes down and stays down.
      // Should the dialog never show, it is sent all the same after the deadline, and a dialog
      // still open at the last deadline gets an Escape, so that the test fails on what it
      // checks instead of hanging.
      const auto end = Steady::now() + 15s;
      while (!ended && Steady::now() < end) {
        const std::vector<uint8_t> shot = x.Capture(id, kW, kH);
        if (!shot.empty() && Light(xvfbtest::At(shot, kW, kW / 2, kH / 2 + 60))) break;
        std::this_thread::sleep_for(30ms);
      }
      x.Tool(c.close);
      sent = true;
      const auto last = Steady::now() + 15s;
      while (!ended && Steady::now() < last) std::this_thread::sleep_for(20ms);
      if (!ended) x.Tool(c.release + " key Escape");
    });
    const int32_t result = b->dialogs->RunModal(t, [&](DialogControls& dc, const DialogEvent& e) {
      if (e.type == DialogEventType::Init) {
        dc.AddLine(kList, u"スロット 1");
        dc.AddLine(kList, u"スロット 2");
      }
      if (e.type == DialogEventType::Command && (e.control == kIdOk || e.control == kIdCancel)) dc.End(e.control);
      if (e.type == DialogEventType::DoubleClick && e.control == kList) dc.End(kChosen);
      return true;
    });
    ended = true;
    user.join();
    ASSERT_TRUE(sent);
    EXPECT_EQ(result, c.result) << "the key or button closes the dialog";
    ASSERT_TRUE(c.held()) << "the key or button went up before the dialog closed";

    const Seen held = Frames(w, c.index, 300ms);
    EXPECT_FALSE(held.pressed) << "the game saw the dialog's key or button as a press";
    EXPECT_FALSE(held.held) << "the game saw the dialog's key or button held";

    ASSERT_TRUE(x.Tool(c.release));
    EXPECT_FALSE(Frames(w, c.index, 150ms).pressed) << "the release is no press";
    ASSERT_TRUE(x.Tool(c.press));
    const Seen again = Frames(w, c.index, 200ms);
    ASSERT_TRUE(x.Tool(c.release));
    EXPECT_TRUE(again.pressed && again.held) << "once released, it is the game's again";
    Frames(w, c.index, 100ms);
  }
  Input::Finalize();
  w.Destroy();
}

// A keystroke whose press and release are read together (a loaded machine reads a quick
// keystroke's both halves at once) still reaches the dialog: here both are queued before the
// dialog reads anything, and Enter takes the default button.
TEST_F(XvfbDialogKeys, AKeystrokeReadInOneGoStillCounts) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-dialog-stroke", kW, kH, false}));
  w.Show();
  const unsigned long id = x.FindWindow("varn-xvfb-dialog-stroke");
  ASSERT_NE(id, 0u) << "the window never appeared";
  x.Tool("windowfocus --sync " + std::to_string(id));
  std::vector<Event> events;
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.IsActive(); })) << "the window never got the focus";

  DialogTemplate t;
  t.caption = u"確認";
  t.width = 300;
  t.height = 100;
  for (const auto& [cid, type, r] : {std::tuple{kIdOk, ControlType::DefaultButton, Rect{20, 40, 120, 70}},
                                     std::tuple{kIdCancel, ControlType::Button, Rect{160, 40, 260, 70}}}) {
    ControlTemplate c;
    c.id = cid;
    c.type = type;
    c.rect = r;
    c.text = cid == kIdOk ? u"OK" : u"ｷｬﾝｾﾙ";
    t.controls.push_back(c);
  }
  std::atomic<bool> ended{false};
  std::thread fallback([&] {
    // A dialog that lost the keystroke is closed as Cancel, so that the test fails instead of hanging.
    const auto end = Steady::now() + 5s;
    while (!ended && Steady::now() < end) std::this_thread::sleep_for(20ms);
    if (!ended) x.Tool("key Escape");
  });
  const uint32_t window = SDL_GetWindowID(SDL_GetKeyboardFocus());
  const int32_t result = b->dialogs->RunModal(t, [&](DialogControls& dc, const DialogEvent& e) {
    if (e.type == DialogEventType::Init) {
      for (const Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        SDL_Event k{};
        k.type = type;
        k.key.windowID = window;
        k.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        k.key.keysym.scancode = SDL_SCANCODE_RETURN;
        k.key.keysym.sym = SDLK_RETURN;
        SDL_PushEvent(&k);
      }
    }
    if (e.type == DialogEventType::Command && (e.control == kIdOk || e.control == kIdCancel)) dc.End(e.control);
    return true;
  });
  ended = true;
  fallback.join();
  EXPECT_EQ(result, kIdOk) << "Enter, read with its release, took the default button";
  w.Destroy();
}
