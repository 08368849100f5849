// Real-window test: clicks and key presses shorter than a frame, sent with xdotool while the
// game runs frames, each count once in the input module's pressed bits.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "dxdraw/dxinput.h"
#include "platform/input.h"
#include "xvfb.h"

using namespace platform;
using xvfbtest::PumpUntil;

using XvfbInput = xvfbtest::Desktop;

TEST_F(XvfbInput, EveryShortClickAndKeyPressCountsOnce) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-input", 800, 600, false}));
  w.Show();
  const unsigned long id = x.FindWindow("varn-xvfb-input");
  ASSERT_NE(id, 0u) << "the window never appeared";
  x.Tool("windowfocus --sync " + std::to_string(id));
  std::vector<Event> events;
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.IsActive(); })) << "the window never got the focus";
  ASSERT_TRUE(x.Tool("mousemove --window " + std::to_string(id) + " 400 300 getmouselocation"));
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.CursorPos() == Point{400, 300}; }));

  InputConfig config;
  config.device = b->input.get();
  config.window = &w;
  ASSERT_EQ(Input::Initialize(config), 1);

  // xdotool holds a click's button for about 12 ms; the key goes up right after it went down.
  constexpr int kPresses = 10;
  std::string keys;
  for (int i = 0; i < kPresses; ++i) keys += " keydown --delay 0 Return keyup --delay 0 Return sleep 0.15";
  std::atomic<bool> done{false};
  std::thread user([&] {
    x.Tool("click --repeat " + std::to_string(kPresses) + " --delay 150 1");
    x.Tool(keys.substr(1));
    done = true;
  });
  // Frames at about 60 a second, as the game runs them: the pump, then the devices' read.
  int clicks = 0, returns = 0, held = 0, downEvents = 0, keyEvents = 0;
  const auto frame = [&] {
    Event e;
    while (w.PollEvent(e)) {
      downEvents += e.type == EventType::MouseDown && e.button == 0;
      keyEvents += e.type == EventType::KeyDown && e.key == DIK_RETURN;
    }
    Input::Update();
    clicks += Input::IsPressed(Input::kMouseLeft);
    returns += Input::IsPressed(DIK_RETURN);
    held += Input::IsDown(Input::kMouseLeft);
    std::this_thread::sleep_for(std::chrono::milliseconds(16));
  };
  while (!done) frame();
  for (int i = 0; i < 20; ++i) frame();
  user.join();
  Input::Finalize();
  ASSERT_EQ(downEvents, kPresses) << "the clicks did not all reach the window";
  ASSERT_EQ(keyEvents, kPresses) << "the key presses did not all reach the window";
  EXPECT_EQ(clicks, kPresses) << "clicks seen: " << clicks << " of " << kPresses << " (frames with the button held "
                              << held << ")";
  EXPECT_EQ(returns, kPresses) << "key presses seen: " << returns << " of " << kPresses;
  w.Destroy();
}
