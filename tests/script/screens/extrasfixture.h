// The album, replay and backlog tests' game: the sample archives, the screen surface as the
// screens' parent, the sound archive, and frame-by-frame steps with a look at the front image.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gamefixture.h"
#include "platform/headless/headless.h"
#include "script/layout.h"
#include "script/screens/album.h"
#include "script/sounds.h"

namespace screenstest {

// A menu that keeps its items' texts.
class TextMenu : public scripttest::FakeMenu {
 public:
  std::u16string MenuItemText(uint32_t id) override { return texts[id]; }
  void SetMenuItemText(uint32_t id, std::u16string_view text) override { texts[id] = std::u16string(text); }
  std::map<uint32_t, std::u16string> texts;
};

class ExtrasTest : public scripttest::SampleGameTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InstallSampleServices()) << "the build makes data/system.pux and data/script.pux";
    sound = scripttest::OpenSampleArchive("sound.pux");
    ASSERT_TRUE(sound);
    g_SoundArchive = sound.Get();
    LoadConfigXml(archive.Get());
    ForgetPlayingSounds();
    g_AlbumNames = std::make_unique<std::vector<std::string>>();
    sources = ScreenSources{stack.screen, archive.Get(), system.get()};
    Reinstall([](GameServices&) {});
    reader = [this](uint64_t) { Step(); };
  }
  void TearDown() override {
    reader = nullptr;
    g_AlbumNames.reset();
    g_SoundArchive = nullptr;
    ForgetPlayingSounds();
    RemoveSampleServices();
  }

  // The steps run one a frame, each after the frame's render; a step returning false is run
  // again at the next frame.
  void Then(std::function<bool()> step) { steps.push_back(std::move(step)); }
  void ThenWait(int frames) {
    for (int i = 0; i < frames; ++i) Then([] { return true; });
  }
  void ThenMove(platform::Point p) {
    Then([this, p] {
      stack.window->SetCursor(p);
      return true;
    });
  }
  void ThenClick(platform::Point p, int button = 0) {
    Then([this, p, button] {
      stack.window->SetCursor(p);
      stack.input->TapButton(button);
      return true;
    });
  }

  // The front image's colour at a point, 0xRRGGBB.
  uint32_t Pixel(int x, int y) {
    const auto& front = stack.Front().Front();
    const size_t i = (size_t(y) * 800 + size_t(x)) * 4;
    return uint32_t(front[i + 2]) << 16 | uint32_t(front[i + 1]) << 8 | front[i];
  }

  // The screen's children besides the test layer: what a screen shows or left shown.
  int ScreenExtras() const {
    int n = 0;
    ssView* first = stack.screen->GetFirstChild();
    for (ssView* v = first; v; v = v->GetNextInRing() == first ? nullptr : v->GetNextInRing()) ++n;
    return n - 1;
  }
  // Installs the services again with some replaced.
  void Reinstall(const std::function<void(GameServices&)>& change) {
    GameServices s = AllServices();
    s.menu = &textMenu;
    change(s);
    InstallGameScriptServices(*script, s);
  }

  ComRef<IArchive> sound;
  ScreenSources sources;
  TextMenu textMenu;
  std::vector<std::function<bool()>> steps;
  size_t nextStep = 0;

 private:
  void Step() {
    if (nextStep < steps.size() && steps[nextStep]()) ++nextStep;
  }
};

}  // namespace screenstest
