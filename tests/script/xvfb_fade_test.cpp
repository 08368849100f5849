// Real-window test: the sample scene's cross-fade from one picture to the next in the SDL window
// under a private Xvfb, read back from the screen with ImageMagick's import while it runs.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "sampledata.h"
#include "script/executor.h"
#include "script/images.h"
#include "script/scene.h"
#include "script/sceneservices.h"
#include "script/settings.h"
#include "tests/app/stack.h"
#include "tests/desktop/xvfb.h"
#include "textscript/messview.h"

namespace {

struct XvfbFade : xvfbtest::Desktop {
  void TearDown() override {
    g_ScriptArchive = nullptr;
    g_SkipMode = 0;
    b.reset();
  }
  xvfbtest::LeakCheckOff leakCheckOff;
  scripttest::SampleSurface system = scripttest::LoadSystemPicture();
  SceneServices services{system.get()};
};

// Where the two pictures differ (the lantern of the overlay) and where they agree (the sky).
constexpr int kLanternX = 400, kLanternY = 320, kSkyX = 100, kSkyY = 100;

bool Between(int v, int a, int b, int tolerance = 24) {
  return v >= std::min(a, b) - tolerance && v <= std::max(a, b) + tolerance;
}

TEST_F(XvfbFade, TheCrossFadeTurnsTheFirstPictureIntoTheSecond) {
  ComRef<IArchive> archive = scripttest::OpenSampleArchive("script.pux");
  ASSERT_TRUE(system && archive) << "the sample data in " VARN_BINARY_DIR "/data";
  g_ScriptArchive = archive.Get();

  platform::Backend* backend = b.get();
  varntest::TestMainWindow main;
  ASSERT_TRUE(main.Create(*backend->window, u"VARN", u"varn-xvfb-fade", platform::Rect{0, 0, 800, 600}, nullptr));
  backend->window->Show();
  varntest::FrameStack frames(*backend, main);
  ASSERT_TRUE(frames.Wired());
  TextScript::MessageServices message;
  message.systemImage = system.get();
  TextScript::SetMessageServices(message);
  ClearSceneStates();
  BuildScene(frames.screen, system.get(), g_Setting.m_FontName, WindowColourOf(g_Setting), services);
  struct SceneRelease {
    ISceneServices& services;
    ~SceneRelease() { ReleaseScene(services); }  // before the screen goes with the frame stack
  } sceneRelease{services};

  const unsigned long id = x.FindWindow("varn-xvfb-fade");
  ASSERT_NE(id, 0u) << "the window never appeared";

  // The first picture, shown at once.
  g_BackgroundState |= BACKGROUND_PENDING;
  services.DrawBackground(u"E010000");
  g_SkipMode = 1;
  services.ShowPendingBackground();
  g_SkipMode = 0;
  for (int i = 0; i < 30; ++i) WaitFrame();
  const std::vector<uint8_t> first = x.Capture(id, 800, 600);
  ASSERT_FALSE(first.empty()) << "the window was never read back";

  // The second, cross-faded in while another thread reads the screen back.
  g_BackgroundState |= BACKGROUND_PENDING;
  services.DrawBackground(u"E011000");
  std::atomic<bool> fading{true};
  std::vector<std::vector<uint8_t>> during;
  std::thread reader([&] {
    while (fading) {
      std::vector<uint8_t> shot = x.Capture(id, 800, 600);
      if (!shot.empty() && fading) during.push_back(std::move(shot));
    }
  });
  services.ShowPendingBackground();
  fading = false;
  reader.join();
  for (int i = 0; i < 30; ++i) WaitFrame();
  const std::vector<uint8_t> second = x.Capture(id, 800, 600);
  ASSERT_FALSE(second.empty());
  xvfbtest::Dump("fade_first", first, 800, 600);
  xvfbtest::Dump("fade_second", second, 800, 600);

  const xvfbtest::Rgb before = xvfbtest::At(first, 800, kLanternX, kLanternY);
  const xvfbtest::Rgb after = xvfbtest::At(second, 800, kLanternX, kLanternY);
  EXPECT_TRUE(xvfbtest::Near(before, 0x0C, 0x0C, 0x1E)) << before.r << "," << before.g << "," << before.b;
  EXPECT_TRUE(xvfbtest::Near(after, 0xF4, 0x9A, 0x4E)) << after.r << "," << after.g << "," << after.b;
  EXPECT_TRUE(xvfbtest::Near(xvfbtest::At(first, 800, kSkyX, kSkyY), 0x1A, 0x24, 0x52));
  EXPECT_TRUE(xvfbtest::Near(xvfbtest::At(second, 800, kSkyX, kSkyY), 0x1A, 0x24, 0x52));
  // Whatever was read back during the fade lies on the way from the one to the other.
  RecordProperty("captures_during_fade", int(during.size()));
  for (const std::vector<uint8_t>& shot : during) {
    const xvfbtest::Rgb c = xvfbtest::At(shot, 800, kLanternX, kLanternY);
    EXPECT_TRUE(Between(c.r, before.r, after.r) && Between(c.g, before.g, after.g) && Between(c.b, before.b, after.b))
        << c.r << "," << c.g << "," << c.b;
  }
}

}  // namespace
