// The screens on the headless game with the sample game's script archive and layout: test doubles
// for the album, replay, backlog and dialogs, scripted mouse actions by frame, and the front
// image's pixels.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "script/layout.h"
#include "script/screens/screens.h"
#include "script/sounds.h"
#include "sound/sound.h"
#include "sound/stream.h"
#include "tests/script/gamefixture.h"

namespace screentest {

class FakeExtras : public IExtraScreens {
 public:
  void RunCGAlbum() override {
    ++albums;
    if (during) during();
  }
  void RunScenePlay() override {
    ++replays;
    if (during) during();
  }
  void ShowBacklog() override { ++backlogs; }
  int albums = 0, replays = 0, backlogs = 0;
  std::function<void()> during;  // runs inside the album or the replay
};

class FakeDialogs : public ITitleDialogs {
 public:
  int RunLoadDialog() override {
    opened.push_back(u"load");
    return loadAnswer;
  }
  void SystemSettingsDialog() override { opened.push_back(u"system"); }
  void SoundSettingsDialog() override { opened.push_back(u"sound"); }
  void PlayerNameDialog() override { opened.push_back(u"name"); }
  std::vector<std::u16string> opened;
  int loadAnswer = -1;
};

class FakePrologue : public IPrologueRecord {
 public:
  bool IsPrologueSeen() override { return seen; }
  bool seen = false;
};

class ScreenTest : public scripttest::GameTest {
 public:
  void SetUp() override {
    archive = scripttest::OpenSampleArchive("script.pux");
    ASSERT_TRUE(archive) << "the build makes data/script.pux";
    LoadConfigXml(archive.Get());
    reader = [this](uint64_t frame) {
      const auto it = actions.find(frame);
      if (it != actions.end()) it->second();
      if (everyFrame) everyFrame(frame);
    };
    screenChildren = Children();
  }

  ScreenParts Parts() { return ScreenParts{stack.screen, archive.Get(), &extras, &dialogs, &prologue}; }

  // Runs an action at the end of the frame with that number (counted from the fixture's start).
  void At(uint64_t frame, std::function<void()> action) {
    auto& slot = actions[frame];
    slot = [first = std::move(slot), action = std::move(action)] {
      if (first) first();
      action();
    };
  }
  // The cursor moved to a point, and a left (0) or right (1) press there in the next frame.
  void ClickAt(uint64_t frame, platform::Point p, int button = 0) {
    At(frame, [this, p, button] {
      stack.window->SetCursor(p);
      stack.input->TapButton(button);
    });
  }
  void MoveAt(uint64_t frame, platform::Point p) {
    At(frame, [this, p] { stack.window->SetCursor(p); });
  }

  uint32_t Pixel(int32_t x, int32_t y) { return stack.Front().PixelAt(x, y); }
  // The number of children of the screen surface.
  int Children() const {
    int n = 0;
    if (ssView* first = stack.screen->GetFirstChild()) {
      ssView* v = first;
      do {
        ++n;
        v = v->GetNextInRing();
      } while (v != first);
    }
    return n;
  }

  // The middle of title slot k.
  static platform::Point Slot(int k) { return platform::Point{g_TitleMenuPos.x + 124, g_TitleMenuPos.y + 48 * k + 20}; }
  // A point inside slot k's button left of its label, where the sheet shows the flat fill.
  static platform::Point SlotFill(int k) {
    return platform::Point{g_TitleMenuPos.x + 6, g_TitleMenuPos.y + 48 * k + 20};
  }

  // The sheet's button fills (tools/samplebuild/screens.cpp).
  static constexpr uint32_t kNormalFill = 0x243450, kLitFill = 0xF0B050;

  ComRef<IArchive> archive;
  FakeExtras extras;
  FakeDialogs dialogs;
  FakePrologue prologue;
  std::map<uint64_t, std::function<void()>> actions;
  std::function<void(uint64_t)> everyFrame;
  int screenChildren = 0;  // before the screen under test
};

// The same with the sound layer on a null device and the sample game's sound archive.
class SoundScreenTest : public ScreenTest {
 public:
  void SetUp() override {
    ScreenTest::SetUp();
    sounds = scripttest::OpenSampleArchive("sound.pux");
    ASSERT_TRUE(sounds) << "the build makes data/sound.pux";
    g_SoundArchive = sounds.Get();
    SoundConfig config;
    ASSERT_EQ(
        Sound::Initialize(std::shared_ptr<platform::AudioDevice>(platform::headless::CreateNullAudioDevice()), &config),
        0);
    ForgetPlayingSounds();
  }
  void TearDown() override {
    for (int i = 0; i < 4; ++i) Sound::StopChannel(i);
    Sound::Finalize();
    ForgetPlayingSounds();
    g_SoundArchive = nullptr;
  }

  // The music channel's buffer volume, or 1 when the channel has no stream.
  static int32_t MusicVolume() {
    Sound::Lock();
    StreamChannel* channel = Sound::GetChannel(SOUND_BGM);
    const int32_t volume = Sound::ChannelId(SOUND_BGM) >= 0 && channel->buffer ? channel->buffer->Volume() : 1;
    Sound::Unlock();
    return volume;
  }
  // The name of the music playing now, empty when none plays.
  static std::u16string Music() {
    return Sound::IsStreamPlaying(Sound::ChannelId(SOUND_BGM)) ? g_PlayingSounds[SOUND_BGM] : std::u16string();
  }

  ComRef<IArchive> sounds;
};

}  // namespace screentest
