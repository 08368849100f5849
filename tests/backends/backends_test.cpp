// Backend choice: the table by name, the environment's override, and the wiring of a backend to
// the engine's modules and its undoing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/frame/framestep.h"
#include "backends/backend_table.h"
#include "backends/wiring.h"
#include "dxdraw/dxinput.h"
#include "platform/clock.h"
#include "platform/glyphs.h"
#include "platform/headless/headless.h"
#include "platform/log.h"
#include "platform/msgbox.h"
#include "platform/utf.h"

namespace {

using platform::headless::HeadlessBackend;

struct EnvScope {
  explicit EnvScope(const char* value) {
    if (value)
      ::setenv("VARN_BACKEND", value, 1);
    else
      ::unsetenv("VARN_BACKEND");
  }
  ~EnvScope() { ::unsetenv("VARN_BACKEND"); }
};

TEST(BackendTable, NamesTheBackendsAndTheEnvironmentOverridesTheDefault) {
  ASSERT_EQ(backends::BackendTable().size(), 2u);
  EXPECT_EQ(backends::BackendTable()[0].name, "sdl") << "the player's backend comes first";
  EXPECT_EQ(backends::FindBackend("HeadLess"), &backends::BackendTable()[1]);
  EXPECT_EQ(backends::FindBackend("sdl2"), nullptr);
  EXPECT_EQ(backends::FindBackend(""), nullptr);

  {
    EnvScope unset(nullptr);
    EXPECT_EQ(backends::ChosenBackendName("sdl"), "sdl");
  }
  {
    EnvScope empty("");
    EXPECT_EQ(backends::ChosenBackendName("sdl"), "sdl") << "an empty variable is no choice";
  }
  {
    EnvScope chosen("headless");
    EXPECT_EQ(backends::ChosenBackendName("sdl"), "headless");
    // The player's default would open a window; the override gives the headless one instead.
    auto backend = backends::CreateChosenBackend("sdl");
    EXPECT_NE(dynamic_cast<HeadlessBackend*>(backend.get()), nullptr);
  }
  {
    EnvScope unknown("directx");
    platform::LogCapture log;
    EXPECT_EQ(backends::CreateChosenBackend("headless"), nullptr);
    EXPECT_TRUE(log.Contains(u"no backend called \"directx\" (known: sdl, headless)"))
        << platform::WideToUtf8(log.Text());
  }
}

// The SDL backend's preparation of the process: an empty compose table for Xlib's input method,
// unless the player has a compose file of their own; nothing for a headless run.
TEST(BackendTable, PreparationGivesXlibAnEmptyComposeTableUnlessThePlayerHasOne) {
  namespace fs = std::filesystem;
  const fs::path home = fs::temp_directory_path() / ("varn-compose-" + std::to_string(::getpid()));
  fs::create_directories(home);
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", home.c_str(), 1);
  struct Case {
    const char* backend;
    const char* composeFile;  // XCOMPOSEFILE before; null: unset
    bool ownXCompose;         // ~/.XCompose exists
    std::optional<std::string> after;
  } const cases[] = {
      {"sdl", nullptr, false, "/dev/null"},
      {"sdl", "/home/p/my.compose", false, "/home/p/my.compose"},
      {"sdl", nullptr, true, std::nullopt},
      {"headless", nullptr, false, std::nullopt},
  };
  for (const Case& c : cases) {
    EnvScope chosen(c.backend);
    if (c.composeFile)
      ::setenv("XCOMPOSEFILE", c.composeFile, 1);
    else
      ::unsetenv("XCOMPOSEFILE");
    if (c.ownXCompose)
      std::ofstream(home / ".XCompose") << "include \"%L\"\n";
    else
      fs::remove(home / ".XCompose");
    backends::PrepareChosenBackend("sdl");
    const char* now = std::getenv("XCOMPOSEFILE");
    EXPECT_EQ(now ? std::optional<std::string>(now) : std::nullopt, c.after)
        << c.backend << (c.composeFile ? " with XCOMPOSEFILE" : "") << (c.ownXCompose ? " with ~/.XCompose" : "");
  }
  ::unsetenv("XCOMPOSEFILE");
  ::setenv("HOME", oldHome.c_str(), 1);
  fs::remove_all(home);
}

class Wiring : public ::testing::Test {
 protected:
  void SetUp() override {
    backend = platform::headless::CreateBackend();
    ResetFrameStep();
  }
  void TearDown() override { ResetFrameStep(); }
  std::unique_ptr<HeadlessBackend> backend;
};

TEST_F(Wiring, ConnectsTheBackendsServicesAndUndoesThem) {
  backend->vclock->SetMilliseconds(123456);
  SoundConfig sound;
  backends::WiringOptions options;
  options.sound = &sound;
  auto wiring = backends::WireBackend(*backend, options);
  ASSERT_NE(wiring, nullptr);

  platform::ShowMessageBox(u"text", u"caption");
  EXPECT_EQ(backend->hboxes->Shown().size(), 1u) << "message boxes go to the backend";
  EXPECT_EQ(platform::TimeMs(), 123456u) << "the backend's clock";
  EXPECT_EQ(platform::GetGlyphSource(), backend->glyphs.get());
  EXPECT_EQ(g_Frame.window, backend->window.get()) << "the frame step's window";
  EXPECT_EQ(Sound::IsAvailable(), 1u);
  EXPECT_TRUE(backend->haudio->Started()) << "the sound layer runs on the backend's device";
  backend->hinput->SetKey(platform::DIK_Z, true);
  Input::Update();
  EXPECT_TRUE(Input::IsDown(platform::DIK_Z)) << "the input module reads the backend's keyboard";

  wiring.reset();
  EXPECT_FALSE(backend->Installed());
  platform::ShowMessageBox(u"text", u"caption");
  EXPECT_EQ(backend->hboxes->Shown().size(), 1u) << "unwired: boxes no longer reach the backend";
  EXPECT_NE(platform::TimeMs(), 123456u);
  EXPECT_THROW(platform::GetGlyphSource(), platform::MissingServiceError) << "unwired: no glyph source";
  EXPECT_EQ(g_Frame.window, nullptr);
  EXPECT_EQ(Sound::IsAvailable(), 0u);
  Input::Update();
  EXPECT_FALSE(Input::IsDown(platform::DIK_Z));
}

TEST_F(Wiring, AGlyphSourceOfTheCallersAndABackendInstalledBefore) {
  backend->Install();
  auto glyphs = platform::CreateBoxGlyphSource();
  backends::WiringOptions options;
  options.glyphs = glyphs.get();
  auto wiring = backends::WireBackend(*backend, options);
  ASSERT_NE(wiring, nullptr);
  EXPECT_EQ(platform::GetGlyphSource(), glyphs.get());
  EXPECT_EQ(Sound::IsAvailable(), 0u) << "no sound unless asked for";
  wiring.reset();
  EXPECT_EQ(platform::GetGlyphSource(), backend->glyphs.get()) << "the backend's own again";
  EXPECT_TRUE(backend->Installed()) << "installed by its owner, it stays installed";
  backend->Uninstall();
}

TEST_F(Wiring, AFailedStartDisconnectsWhatWasConnected) {
  {
    // The sound layer refuses the output format: its box, then nothing stays connected.
    backend->haudio->FailOutputFormat(platform::kAudioFail);
    SoundConfig sound;
    backends::WiringOptions options;
    options.sound = &sound;
    EXPECT_EQ(backends::WireBackend(*backend, options), nullptr);
    ASSERT_EQ(backend->hboxes->Shown().size(), 1u);
    EXPECT_EQ(backend->hboxes->Shown()[0].caption, u"DirectSound");
    EXPECT_FALSE(backend->Installed());
    EXPECT_EQ(Sound::IsAvailable(), 0u);
  }
  {
    backend->input.reset();
    EXPECT_EQ(backends::WireBackend(*backend), nullptr);
    ASSERT_EQ(backend->hboxes->Shown().size(), 2u);
    EXPECT_EQ(backend->hboxes->Shown()[1].caption, u"DirectInput Initialize");
    EXPECT_FALSE(backend->Installed());
    EXPECT_EQ(g_Frame.window, nullptr);
  }
}

}  // namespace
