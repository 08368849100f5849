// Real-window test: the Escape or Enter that closes a dialog is still held when the game reads
// its devices again; the game sees neither a press nor a held key until it is released, and the
// key is the game's again after that.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

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
Seen Frames(Window& w, uint8_t key, std::chrono::milliseconds span) {
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

  const struct {
    const char* name;
    uint8_t key;
    int32_t result;
  } cases[] = {{"Escape", DIK_ESCAPE, kIdCancel}, {"Return", DIK_RETURN, kIdOk}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(Frames(w, c.key, 100ms).held);
    std::atomic<bool> ended{false}, sent{false};
    std::thread user([&] {
      // Once the dialog's face is on the screen, the key goes down and stays down. Should the
      // dialog never show, the key is sent all the same after the deadline so that the dialog
      // closes and the test fails on what it checks instead of hanging.
      const auto end = Steady::now() + 15s;
      while (!ended && Steady::now() < end) {
        const std::vector<uint8_t> shot = x.Capture(id, kW, kH);
        if (!shot.empty() && Light(xvfbtest::At(shot, kW, kW / 2, kH / 2))) break;
        std::this_thread::sleep_for(30ms);
      }
      x.Tool(std::string("keydown ") + c.name);
      sent = true;
      const auto last = Steady::now() + 15s;
      while (!ended && Steady::now() < last) std::this_thread::sleep_for(20ms);
      if (!ended) x.Tool("keyup " + std::string(c.name) + " key Escape");
    });
    const int32_t result = b->dialogs->RunModal(t, [](DialogControls& dc, const DialogEvent& e) {
      if (e.type == DialogEventType::Command && (e.control == kIdOk || e.control == kIdCancel)) dc.End(e.control);
      return true;
    });
    ended = true;
    user.join();
    ASSERT_TRUE(sent);
    EXPECT_EQ(result, c.result) << "the key closes the dialog";
    const SDL_Scancode scancode = c.key == DIK_ESCAPE ? SDL_SCANCODE_ESCAPE : SDL_SCANCODE_RETURN;
    ASSERT_TRUE(SDL_GetKeyboardState(nullptr)[scancode]) << "the key went up before the dialog closed";

    const Seen held = Frames(w, c.key, 300ms);
    EXPECT_FALSE(held.pressed) << "the game saw the dialog's key as a press";
    EXPECT_FALSE(held.held) << "the game saw the dialog's key held";

    ASSERT_TRUE(x.Tool(std::string("keyup ") + c.name));
    EXPECT_FALSE(Frames(w, c.key, 150ms).pressed) << "the release is no press";
    ASSERT_TRUE(x.Tool(std::string("keydown ") + c.name));
    const Seen again = Frames(w, c.key, 200ms);
    ASSERT_TRUE(x.Tool(std::string("keyup ") + c.name));
    EXPECT_TRUE(again.pressed && again.held) << "once released, the key is the game's again";
    Frames(w, c.key, 100ms);
  }
  Input::Finalize();
  w.Destroy();
}
