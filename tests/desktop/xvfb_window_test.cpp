// Real-window test: the SDL window under a private Xvfb presents a known frame, and keys and
// clicks sent with xdotool arrive as DirectInput key codes and client coordinates.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "platform/input.h"
#include "platform/menu.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_internal.h"
#include "xvfb.h"

// What a window manager sends when the user clicks a window's close box (x_close_box.cpp).
bool SendCloseBox(const std::string& display, unsigned long window);

using namespace platform;
using xvfbtest::Near;
using xvfbtest::PumpUntil;

namespace {

std::vector<uint8_t> Quadrants(int w, int h) {
  std::vector<uint8_t> px(size_t(w) * size_t(h) * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
      const bool right = x >= w / 2, bottom = y >= h / 2;
      // B, G, R: red, green, blue, white quadrants.
      const uint32_t rgb = !bottom ? (right ? 0x00FF00 : 0xFF0000) : (right ? 0xFFFFFF : 0x0000FF);
      p[0] = uint8_t(rgb);
      p[1] = uint8_t(rgb >> 8);
      p[2] = uint8_t(rgb >> 16);
    }
  }
  return px;
}

// The SDL window with this title, found among SDL's own.
SDL_Window* SdlWindowNamed(const char* title) {
  for (Uint32 id = 1; id < 256; ++id) {
    SDL_Window* w = SDL_GetWindowFromID(id);
    if (w && std::strcmp(SDL_GetWindowTitle(w), title) == 0) return w;
  }
  return nullptr;
}

}  // namespace

using XvfbWindow = xvfbtest::Desktop;

TEST_F(XvfbWindow, AWindowForAMenuIsMadeAtItsFinalSize) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-size", 800, 600, true}));
  SDL_Window* sdl = SdlWindowNamed("varn-xvfb-size");
  ASSERT_NE(sdl, nullptr);
  int width = 0, made = 0, withMenu = 0;
  SDL_GetWindowSize(sdl, &width, &made);
  Menu menu({MenuItem::Popup(u"システム", {MenuItem::Command(40001, u"終了")})});
  w.SetMenu(&menu);
  SDL_GetWindowSize(sdl, &width, &withMenu);
  EXPECT_EQ(width, 800);
  EXPECT_GT(made, 600) << "the strip above the picture is there from the start";
  EXPECT_EQ(made, withMenu) << "setting the menu resizes nothing";
  w.SetMenu(nullptr);
  w.Destroy();
}

TEST_F(XvfbWindow, AWaitEndsWithTheKeyThatCameOrWhenItsTimeIsUp) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-wait", 800, 600, false}));
  w.Show();
  const unsigned long id = x.FindWindow("varn-xvfb-wait");
  ASSERT_NE(id, 0u);
  x.Tool("windowfocus --sync " + std::to_string(id));
  std::vector<Event> events;
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.IsActive(); }));

  // Nothing comes: the wait takes its whole time (what the window had still to say comes first).
  using Clock = std::chrono::steady_clock;
  Event e;
  bool quiet = false;
  for (int i = 0; i < 50 && !quiet; ++i) {
    const auto start = Clock::now();
    quiet = !w.WaitEvent(e, 100);
    if (quiet) EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(95));
  }
  ASSERT_TRUE(quiet) << "the window never fell quiet";

  // A key sent before the wait ends it with the key, long before its time.
  ASSERT_TRUE(x.Tool("key b"));
  const auto start = Clock::now();
  bool pressed = false;
  while (!pressed && w.WaitEvent(e, 5000)) pressed = e.type == EventType::KeyDown && e.key == DIK_B;
  EXPECT_TRUE(pressed) << "the key never ended the wait";
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
  w.Destroy();
}

TEST_F(XvfbWindow, PresentsAFrameAndDeliversKeysAndClicks) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-window", 800, 600, false}));
  w.Show();
  const std::vector<uint8_t> frame = Quadrants(800, 600);
  w.GetPresenter().Present(ImageView{frame.data(), 800, 600, 800 * 4}, Rect{0, 0, 800, 600});
  w.GetPresenter().Flush();

  const unsigned long id = x.FindWindow("varn-xvfb-window");
  ASSERT_NE(id, 0u) << "the window never appeared";
  x.Tool("windowfocus --sync " + std::to_string(id));
  std::vector<Event> events;
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.IsActive(); })) << "the window never got the focus";

  // The picture on the screen, read back (repainted until the server shows it).
  std::vector<uint8_t> shot;
  const auto shown = [&] {
    w.GetPresenter().Flush();
    shot = x.Capture(id, 800, 600);
    return !shot.empty() && Near(xvfbtest::At(shot, 800, 600, 450), 255, 255, 255);
  };
  ASSERT_TRUE(PumpUntil(w, events, shown)) << "no frame read back";
  const struct {
    int x, y, r, g, b;
  } probes[] = {{0, 0, 255, 0, 0},   {399, 299, 255, 0, 0}, {400, 0, 0, 255, 0},       {799, 299, 0, 255, 0},
                {0, 300, 0, 0, 255}, {399, 599, 0, 0, 255}, {400, 300, 255, 255, 255}, {799, 599, 255, 255, 255}};
  for (const auto& p : probes) {
    const xvfbtest::Rgb c = xvfbtest::At(shot, 800, p.x, p.y);
    EXPECT_TRUE(Near(c, p.r, p.g, p.b)) << "at " << p.x << "," << p.y << " expected " << p.r << "," << p.g << "," << p.b
                                        << " got " << c.r << "," << c.g << "," << c.b;
  }

  // Keys arrive as DirectInput codes, typed text as characters.
  events.clear();
  ASSERT_TRUE(x.Tool("key Return a Up KP_Enter F12"));
  std::vector<uint32_t> downs;
  std::u16string typed;
  PumpUntil(w, events, [&] {
    downs.clear();
    typed.clear();
    for (const Event& e : events) {
      if (e.type == EventType::KeyDown) downs.push_back(e.key);
      if (e.type == EventType::Char) typed.push_back(e.ch);
    }
    return downs.size() >= 5;
  });
  EXPECT_EQ(downs, (std::vector<uint32_t>{DIK_RETURN, DIK_A, DIK_UP, DIK_NUMPADENTER, DIK_F12}));
  EXPECT_NE(typed.find(u'a'), std::u16string::npos) << "the typed 'a' arrives as a character";

  // A held key shows in the keyboard state.
  ASSERT_TRUE(x.Tool("keydown Shift_L"));
  uint8_t keys[256] = {};
  EXPECT_TRUE(PumpUntil(w, events, [&] { return b->input->ReadKeyboard(keys) && (keys[DIK_LSHIFT] & 0x80); }));
  x.Tool("keyup Shift_L");

  // Clicks arrive in client coordinates, and the button shows in the mouse state.
  events.clear();
  ASSERT_TRUE(x.Tool("mousemove --window " + std::to_string(id) + " 123 45 mousedown 1"));
  const Event* down = nullptr;
  PumpUntil(w, events, [&] {
    for (const Event& e : events)
      if (e.type == EventType::MouseDown) down = &e;
    return down != nullptr;
  });
  ASSERT_NE(down, nullptr) << "no click arrived";
  EXPECT_EQ(down->button, 0);
  EXPECT_EQ(down->pos, (Point{123, 45}));
  EXPECT_EQ(w.CursorPos(), (Point{123, 45}));
  MouseState mouse;
  ASSERT_TRUE(b->input->ReadMouse(mouse));
  EXPECT_EQ(mouse.buttons[0], 0x80);
  x.Tool("mouseup 1");

  events.clear();
  ASSERT_TRUE(x.Tool("mousemove --window " + std::to_string(id) + " 700 500 click 3"));
  const Event* right = nullptr;
  PumpUntil(w, events, [&] {
    for (const Event& e : events)
      if (e.type == EventType::MouseDown && e.button == 1) right = &e;
    return right != nullptr;
  });
  ASSERT_NE(right, nullptr);
  EXPECT_EQ(right->pos, (Point{700, 500}));
  w.Destroy();
}

// A change to a part of the picture is drawn and shown alone: the rest of the frame, the menu
// bar above it too, stands as it was, and no whole frame is drawn for it.
TEST_F(XvfbWindow, APartOfThePictureIsShownWithoutDrawingTheWholeFrame) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-part", 800, 600, true}));
  auto* sdl = dynamic_cast<sdl::SdlWindow*>(&w);
  ASSERT_NE(sdl, nullptr);
  Menu menu({MenuItem::Popup(u"システム", {MenuItem::Command(40001, u"終了")})});
  w.SetMenu(&menu);
  w.Show();
  std::vector<uint8_t> frame = Quadrants(800, 600);
  w.GetPresenter().Present(ImageView{frame.data(), 800, 600, 800 * 4}, Rect{0, 0, 800, 600});
  w.GetPresenter().Flush();
  const unsigned long id = x.FindWindow("varn-xvfb-part");
  ASSERT_NE(id, 0u);
  const int strip = sdl->MenuStrip(), height = 600 + strip;
  std::vector<Event> events;
  std::vector<uint8_t> shot;
  ASSERT_TRUE(PumpUntil(w, events, [&] {
    shot = x.Capture(id, 800, height);
    return !shot.empty() && Near(xvfbtest::At(shot, 800, 450, strip + 450), 255, 255, 255);
  })) << "the whole frame never showed";
  // What the window itself still draws (shown, exposed, focused) is done.
  PumpUntil(
      w, events, [] { return false; }, 300);

  // A yellow block in the red quadrant; the rest of the back image is black, but only the
  // block's rectangle is presented.
  std::fill(frame.begin(), frame.end(), uint8_t(0));
  for (int y = 100; y < 120; ++y)
    for (int px = 100; px < 140; ++px) {
      uint8_t* p = &frame[(size_t(y) * 800 + size_t(px)) * 4];
      p[1] = p[2] = 0xFF;
    }
  const uint64_t full = sdl->FullFrames();
  w.GetPresenter().Present(ImageView{frame.data(), 800, 600, 800 * 4}, Rect{100, 100, 140, 120});
  w.GetPresenter().Flush();
  EXPECT_EQ(sdl->FullFrames(), full) << "the part was drawn as a whole frame";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  do shot = x.Capture(id, 800, height);
  while (!(shot.size() == size_t(800) * size_t(height) * 3 &&
           Near(xvfbtest::At(shot, 800, 120, strip + 110), 255, 255, 0)) &&
         std::chrono::steady_clock::now() < deadline);
  ASSERT_EQ(shot.size(), size_t(800) * size_t(height) * 3);
  const struct {
    int x, y, r, g, b;
  } probes[] = {{100, 100, 255, 255, 0}, {139, 119, 255, 255, 0}, {99, 100, 255, 0, 0},      {140, 119, 255, 0, 0},
                {120, 99, 255, 0, 0},    {120, 120, 255, 0, 0},   {450, 450, 255, 255, 255}, {600, 100, 0, 255, 0}};
  for (const auto& p : probes) {
    const xvfbtest::Rgb c = xvfbtest::At(shot, 800, p.x, strip + p.y);
    EXPECT_TRUE(Near(c, p.r, p.g, p.b)) << "at " << p.x << "," << p.y << " expected " << p.r << "," << p.g << "," << p.b
                                        << " got " << c.r << "," << c.g << "," << c.b;
  }
  const xvfbtest::Rgb bar = xvfbtest::At(shot, 800, 600, strip / 2);
  EXPECT_TRUE(bar.r > 200 && bar.g > 200 && bar.b > 200) << "the menu bar stands";
  w.SetMenu(nullptr);
  w.Destroy();
}

TEST_F(XvfbWindow, TheCloseBoxIsOneCloseRequest) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-close", 800, 600, false}));
  w.Show();
  const unsigned long id = x.FindWindow("varn-xvfb-close");
  ASSERT_NE(id, 0u) << "the window never appeared";
  ASSERT_TRUE(SendCloseBox(x.Display(), id));
  std::vector<Event> events;
  const auto closes = [&] {
    return std::count_if(events.begin(), events.end(),
                         [](const Event& e) { return e.type == EventType::CloseRequest; });
  };
  ASSERT_TRUE(PumpUntil(w, events, [&] { return closes() > 0; })) << "the close box was not reported";
  const auto never = [] { return false; };
  PumpUntil(w, events, never, 300);  // whatever follows it
  EXPECT_EQ(closes(), 1) << "one click on the close box asks the question once";
  EXPECT_TRUE(w.IsAlive()) << "the window stays until the game decides";
  w.Destroy();
}

TEST_F(XvfbWindow, WheelTurnsInTheBackgroundAreNotKept) {
  Window& w = *b->window;
  ASSERT_TRUE(w.Create(WindowDesc{u"varn-xvfb-wheel", 800, 600, false}));
  w.Show();
  const unsigned long id = x.FindWindow("varn-xvfb-wheel");
  ASSERT_NE(id, 0u);
  // Another window takes the focus.
  SDL_Window* other = SDL_CreateWindow("varn-xvfb-other", 0, 0, 64, 64, SDL_WINDOW_SHOWN);
  ASSERT_NE(other, nullptr);
  const unsigned long otherId = x.FindWindow("varn-xvfb-other");
  ASSERT_NE(otherId, 0u);
  std::vector<Event> events;
  x.Tool("windowfocus --sync " + std::to_string(id));
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.IsActive(); }));
  x.Tool("windowfocus --sync " + std::to_string(otherId));
  ASSERT_TRUE(PumpUntil(w, events, [&] { return !w.IsActive(); })) << "the other window never took the focus";

  events.clear();
  ASSERT_TRUE(x.Tool("mousemove --window " + std::to_string(id) + " 400 300 click 4 click 4"));
  ASSERT_TRUE(PumpUntil(w, events, [&] {
    return std::any_of(events.begin(), events.end(), [](const Event& e) { return e.type == EventType::MouseWheel; });
  })) << "the wheel never turned over the window";

  x.Tool("windowfocus --sync " + std::to_string(id));
  ASSERT_TRUE(PumpUntil(w, events, [&] { return w.IsActive(); }));
  MouseState mouse;
  ASSERT_TRUE(b->input->ReadMouse(mouse));
  EXPECT_EQ(mouse.dz, 0) << "turns made while another window had the focus";
  SDL_DestroyWindow(other);
  w.Destroy();
}
