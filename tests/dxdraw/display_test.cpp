// Tests of the display device: the mode check, its fall-backs and the window/full-screen set-up.
#include <gtest/gtest.h>

#include "dxdraw/dxdisplay.h"
#include "platform/headless/headless.h"

using namespace DxDraw;
using platform::DisplayMode;

namespace {

std::vector<DisplayMode> Modes(std::initializer_list<DisplayMode> m) {
  return m;
}

struct DisplayFixture : ::testing::Test {
  std::unique_ptr<platform::headless::HeadlessBackend> b = platform::headless::CreateBackend();
  void SetUp() override {
    b->Install();
    b->window->Create(platform::WindowDesc{u"t"});
  }
  std::vector<std::u16string> Boxes() const {
    std::vector<std::u16string> out;
    for (const auto& r : b->hboxes->Shown()) out.push_back(r.text);
    return out;
  }
};

}  // namespace

TEST(DisplayModes, CheckResults) {
  const auto modes = Modes({{800, 600, 32, 60}, {800, 600, 32, 75}, {640, 480, 16, 60}});
  struct Case {
    int32_t w, h, bpp, refresh;
    int expected;
  };
  const Case cases[] = {
      {800, 600, 32, 0, kModeFound},   {800, 600, 32, 75, kModeFound},   {800, 600, 32, 85, kModeNoRefresh},
      {800, 600, 16, 0, kModeNoDepth}, {800, 600, 16, 85, kModeNoDepth}, {1024, 768, 32, 0, kModeNoSize},
      {640, 480, 16, 60, kModeFound},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckDisplayMode(modes, c.w, c.h, c.bpp, c.refresh), c.expected)
        << c.w << "x" << c.h << "x" << c.bpp << "@" << c.refresh;
}

TEST(DisplayModes, FallBacksAndTheirMessages) {
  struct Case {
    const char* what;
    std::vector<DisplayMode> modes;
    int32_t bpp, refresh;
    bool full;
    int32_t expBpp, expRefresh;
    bool expFull;
    std::vector<std::u16string> messages;
  };
  const std::u16string refreshMsg = u"リフレッシュレートをデフォルトに変更します。";
  const Case cases[] = {
      {"16 asked, only 32 offered", Modes({{800, 600, 32, 60}}), 16, 0, true, 32, 0, true, {}},
      {"size at no depth",
       Modes({{640, 480, 32, 60}}),
       16,
       0,
       true,
       16,
       0,
       false,
       {u"ウィンドウモードに変更します(4)。"}},
      {"size at no depth, windowed", Modes({{640, 480, 32, 60}}), 16, 0, false, 16, 0, false, {}},
      {"refresh missing, full", Modes({{800, 600, 32, 60}}), 32, 85, true, 32, 0, true, {refreshMsg}},
      {"refresh missing, windowed", Modes({{800, 600, 32, 60}}), 32, 85, false, 32, 0, false, {}},
      {"24 asked, 16 only", Modes({{800, 600, 16, 60}}), 24, 0, true, 16, 0, true, {}},
      {"depths exhausted from 16",
       Modes({{800, 600, 8, 60}}),
       16,
       0,
       true,
       24,
       0,
       false,
       {u"ウィンドウモードに変更します(1)。"}},
      {"depths exhausted from 32",
       Modes({{800, 600, 8, 60}}),
       32,
       0,
       true,
       16,
       0,
       false,
       {u"ウィンドウモードに変更します(2)。"}},
      {"depths exhausted from 24",
       Modes({{800, 600, 8, 60}}),
       24,
       0,
       true,
       16,
       0,
       false,
       {u"ウィンドウモードに変更します(3)。"}},
      {"depths exhausted, windowed", Modes({{800, 600, 8, 60}}), 16, 0, false, 24, 0, false, {}},
      {"refresh and depth both given up", Modes({{800, 600, 32, 60}}), 16, 85, true, 32, 0, true, {refreshMsg}},
  };
  for (const Case& c : cases) {
    const ModeChoice got = ChooseDisplayMode(c.modes, 800, 600, c.bpp, c.full, c.refresh);
    EXPECT_EQ(got.bitsPerPixel, c.expBpp) << c.what;
    EXPECT_EQ(got.refreshRate, c.expRefresh) << c.what;
    EXPECT_EQ(got.fullScreen, c.expFull) << c.what;
    EXPECT_EQ(got.messages, c.messages) << c.what;
  }
}

TEST_F(DisplayFixture, FullScreenStartAndSwitchingBack) {
  DxScreen screen(*b->display);
  const platform::Rect place = b->hwindow->Placement();
  ASSERT_EQ(screen.Initialize(b->window.get(), nullptr, 800, 600, 24, true, 0), 0);
  EXPECT_FALSE(screen.IsWindowed());
  EXPECT_EQ(screen.BitsPerPixel(), 32) << "24 is not offered; 32 is";
  EXPECT_TRUE(b->hwindow->IsFullScreen());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(g_ScreenDepth, 32);
  EXPECT_EQ(screen.BackBuffer().size(), 800u * 600u);
  screen.ColorFill(0);
  EXPECT_EQ(screen.BackBuffer().back(), 0u);
  screen.ColorFill(0x123456);
  EXPECT_EQ(screen.BackBuffer().front(), 0x123456u);
  EXPECT_EQ(screen.BackBuffer().back(), 0x123456u);

  screen.SetFullScreen(true);  // already in force: nothing
  EXPECT_TRUE(b->hwindow->IsFullScreen());
  screen.SetFullScreen(false);
  EXPECT_TRUE(screen.IsWindowed());
  EXPECT_FALSE(b->hwindow->IsFullScreen());
  EXPECT_EQ(b->hwindow->Placement(), place) << "the window's place and size come back";
}

TEST_F(DisplayFixture, FullScreenFailingAtEveryDepthFallsBackToAWindow) {
  DxScreen screen(*b->display);
  b->hwindow->FailNextFullScreen(3);
  ASSERT_EQ(screen.Initialize(b->window.get(), nullptr, 800, 600, 32, true, 0), 0) << "the game goes on";
  EXPECT_TRUE(screen.IsWindowed());
  EXPECT_TRUE(screen.IsCreated());
  EXPECT_EQ(Boxes(), std::vector<std::u16string>{u"フルスクリーンに設定できませんでした。"});

  // The same at run time: a failed switch leaves the window working.
  b->hwindow->FailNextFullScreen(3);
  screen.SetFullScreen(true);
  EXPECT_TRUE(screen.IsWindowed());
  EXPECT_TRUE(screen.IsCreated());
  // One failure is retried at the next depth.
  b->hwindow->FailNextFullScreen(1);
  screen.SetFullScreen(true);
  EXPECT_FALSE(screen.IsWindowed());
}

TEST_F(DisplayFixture, ChooserIndexIsKeptInsideTheList) {
  std::vector<platform::DisplayDeviceInfo> devices;
  for (int i = 0; i < 40; ++i) devices.push_back({u"dev" + std::u16string(1, char16_t(u'A' + i)), u"drv"});
  b->hdisplay->SetDevices(devices);
  const std::pair<int, size_t> cases[] = {{-1, 0}, {-100, 0}, {5, 5}, {31, 31}, {32, 31}, {1000, 31}};
  for (auto [answer, expected] : cases) {
    DxScreen screen(*b->display);
    size_t listed = 0;
    ASSERT_EQ(screen.Initialize(
                  b->window.get(),
                  [&, a = answer](const std::vector<DisplayDevice>& list) {
                    listed = list.size();
                    return a;
                  },
                  800, 600, 16, false, 0),
              0);
    EXPECT_EQ(listed, kMaxDisplayDevices) << "more than 32 devices are not listed";
    EXPECT_EQ(screen.DeviceIndex(), expected) << "answer " << answer;
    EXPECT_EQ(b->hdisplay->Selected(), expected);
  }
}

TEST_F(DisplayFixture, ModeListIsCappedAndPixelFormatRecorded) {
  std::vector<DisplayMode> many(1100, DisplayMode{320, 200, 32, 60, 0xFF0000});
  many.push_back(DisplayMode{800, 600, 16, 60, 0x7C00});  // past the cap: ignored
  b->hdisplay->SetModes(many);
  b->hdisplay->SetDesktopMode(DisplayMode{1024, 768, 16, 60, 0x7C00});
  DxScreen screen(*b->display);
  ASSERT_EQ(screen.Initialize(b->window.get(), nullptr, 800, 600, 16, true, 0), 0);
  EXPECT_EQ(screen.Modes().size(), kMaxDisplayModes);
  EXPECT_TRUE(screen.IsWindowed()) << "800x600 lies past the first 1024 modes";
  EXPECT_EQ(Boxes(), std::vector<std::u16string>{u"ウィンドウモードに変更します(4)。"});
  EXPECT_EQ(g_ScreenDepth, 16) << "windowed, the desktop's format counts";
  EXPECT_EQ(g_Screen555, 1);
}

TEST_F(DisplayFixture, NoWindowIsAnErrorWithABox) {
  DxScreen screen(*b->display);
  b->window->Destroy();
  EXPECT_NE(screen.Initialize(b->window.get(), nullptr, 800, 600, 16, false, 0), 0);
  EXPECT_FALSE(screen.IsCreated());
  EXPECT_EQ(Boxes(), std::vector<std::u16string>{u"DirectX 7 がインストールされていません。"});
  EXPECT_EQ(screen.GetPresenter(), nullptr);
}
