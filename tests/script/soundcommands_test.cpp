// The sound commands on the real sounds by name and the null audio device: music that is named
// again goes on, "00" stops and forgets, no voice while the player skips, and the volumes of the
// settings on the mixer's output.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/frame/misc.h"
#include "gamefixture.h"
#include "platform/audio.h"
#include "platform/mixer.h"
#include "platform/utf.h"
#include "script/sounds.h"
#include "sound/sound.h"

namespace {

// The fixture's pictures, with the sounds by name behind the sound calls.
class SoundingScene : public scripttest::FakeSceneServices {
 public:
  void PlayBgmOrVoice(int32_t channel, const char16_t* name, bool forced) override {
    ::PlayBgmOrVoice(channel, name, forced);
  }
  void PlaySe(int32_t channel, const char16_t* name, bool loop) override { ::PlaySe(channel, name, loop); }
  void StopChannel(int32_t channel) override {
    FakeSceneServices::StopChannel(channel);
    Sound::StopChannel(channel);
  }
  void StopChannels() override { StopAllChannels(); }
};

class SoundCommands : public scripttest::GameTest {
 protected:
  void SetUp() override {
    auto made = platform::headless::CreateNullAudioDevice();
    device = made.get();
    SoundConfig config;
    ASSERT_EQ(Sound::Initialize(std::shared_ptr<platform::AudioDevice>(std::move(made)), &config), 0);
    sample = scripttest::OpenSampleArchive("sound.pux");
    ASSERT_TRUE(sample) << "the build makes data/sound.pux";
    g_SoundArchive = sample.Get();
    ForgetPlayingSounds();
    GameServices s = AllServices();
    s.pictures = &sounding;
    s.voice = &voiceCommand;
    SetGameServices(s);
  }
  void TearDown() override {
    StopAllChannels();
    Sound::Finalize();
    g_SoundArchive = nullptr;
    ForgetPlayingSounds();
    ClearSceneStates();
  }

  void Execute(std::u16string_view text) {
    for (TextScript::ScriptStateNode* n = Compile(text).First(); n;) n = n->Execute();
  }
  // The sum of the magnitudes of a tenth of a second of the mixer's output.
  double RenderLevel() {
    std::vector<int16_t> out(4410 * 2);
    device->Render(out.data(), 4410);
    double sum = 0;
    for (int16_t v : out) sum += std::abs(double(v));
    return sum;
  }

  platform::headless::NullAudioDevice* device = nullptr;
  ComRef<IArchive> sample;
  SoundingScene sounding;
  VoiceCommandByName voiceCommand;
};

TEST_F(SoundCommands, MusicNamedAgainGoesOnAndZeroZeroStopsAndForgetsIt) {
  Execute(u".WAV TOWN\n");
  const int32_t id = Sound::ChannelId(SOUND_BGM);
  ASSERT_GE(id, 1);
  RenderLevel();
  Execute(u".WAV TOWN\n.S1A BELL\n.WAV TOWN\n");
  EXPECT_EQ(Sound::ChannelId(SOUND_BGM), id) << "the same music was not started again";
  EXPECT_EQ(g_SceneState[SCENE_BGM].m_State, SCENE_BGM_PLAYING);

  Execute(u".WAV 00\n");
  EXPECT_EQ(Sound::ChannelId(SOUND_BGM), -1) << "the music stopped";
  EXPECT_EQ(g_SceneState[SCENE_BGM].m_State, SCENE_BGM_NONE) << "a load made now starts in silence";
  EXPECT_STREQ(g_SceneState[SCENE_BGM].m_Name, "");
  Execute(u".WAV TOWN\n");
  EXPECT_NE(Sound::ChannelId(SOUND_BGM), id) << "named after the stop, the music starts again";

  Execute(u".S1B BELL\n.S2B BELL\n.S1M\n");
  EXPECT_EQ(Sound::ChannelId(SOUND_SE1), -1);
  EXPECT_GE(Sound::ChannelId(SOUND_SE2), 1);
  Execute(u".S2M\n");
  EXPECT_EQ(Sound::ChannelId(SOUND_SE2), -1);
}

TEST_F(SoundCommands, VoicesAreNotStartedWhileThePlayerSkips) {
  struct Case {
    const char* what;
    const char16_t* script;
    int32_t skip;
    bool plays;
  };
  const Case cases[] = {
      {"a voice on its own", u".VOI TK001\n.PST A = 1\n", 0, true},
      {"a message's voice", u"@TK001\nあ\n", 0, true},
      {"a message's voice after it", u"あ\n@TK001\n", 0, true},
      {"a voice on its own, skipping", u".VOI TK001\n.PST A = 1\n", 1, false},
      {"a message's voice, skipping by Shift", u"@TK001\nあ\n", 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StopAllChannels();
    g_SkipMode = c.skip;
    Execute(c.script);
    EXPECT_EQ(Sound::ChannelId(SOUND_VOICE) >= 1, c.plays);
  }
  g_SkipMode = 0;

  // Next to a message the voice statement itself plays nothing: the message plays it, once.
  ScriptStateGroup_App& g = Compile(u"@TK001\nあ\n");
  StopAllChannels();
  TextScript::ScriptStateNode* n = g.First();
  while (n && n->m_Type != TextScript::STMT_VOI) n = n->Execute();
  ASSERT_NE(n, nullptr);
  n = n->Execute();
  EXPECT_EQ(Sound::ChannelId(SOUND_VOICE), -1) << "the voice statement before the message";
  n->Execute();
  EXPECT_GE(Sound::ChannelId(SOUND_VOICE), 1) << "the message played its voice";

  Execute(u".VOI 00\n.PST A = 1\n");
  EXPECT_EQ(Sound::ChannelId(SOUND_VOICE), -1) << "\"00\" stops the voice";
}

TEST_F(SoundCommands, VolumesFollowTheSettingsOnTheMixersOutput) {
  struct Case {
    const char* what;
    const char16_t* script;
    uint8_t SETTINGDATA::*percent;
    uint8_t SETTINGDATA::*enabled;
    int32_t (*volume)();
  };
  const Case cases[] = {
      {"music", u".WAV TOWN\n", &SETTINGDATA::m_BgmVolume, &SETTINGDATA::m_EnableBgm, BgmVolume},
      {"voice", u".VOI TK001\n.PST A = 1\n", &SETTINGDATA::m_VoiceVolume, &SETTINGDATA::m_EnableVoice, VoiceVolume},
      {"effect", u".S1A BELL\n", &SETTINGDATA::m_SeVolume, &SETTINGDATA::m_EnableSe, SeVolume},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto level = [&](uint8_t percent, uint8_t enabled) {
      StopAllChannels();
      ForgetPlayingSounds();
      g_Setting.*c.percent = percent;
      g_Setting.*c.enabled = enabled;
      Execute(c.script);
      return RenderLevel();
    };
    const double full = level(100, 1);
    g_Setting.*c.percent = 100;
    const double fullGain = platform::CentibelGain(AppVolumeToDecibels(c.volume()));
    const double half = level(50, 1);
    const double halfGain = platform::CentibelGain(AppVolumeToDecibels(c.volume()));
    ASSERT_GT(full, 0.0);
    EXPECT_NEAR(half / full, halfGain / fullGain, 0.02) << "the output follows the volume";
    EXPECT_EQ(level(100, 0), 0.0) << "switched off: nothing heard";
  }
  ResetSettings();
}

}  // namespace
