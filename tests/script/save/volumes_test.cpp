// The settings' volumes applied to the streams already playing, on the null audio device.
#include "script/save/options.h"
#include "script/settings.h"
#include "script/sounds.h"
#include "sound/stream.h"
#include "tests/sound/sound_fixture.h"

namespace {

class SaveVolumes : public sound_test::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    ResetSettings();
    for (int32_t channel = 0; channel < kSoundChannels; ++channel) ASSERT_GE(StartCounter(100000, true, channel), 1);
  }
  void TearDown() override {
    ResetSettings();
    SoundTest::TearDown();
  }
  int32_t Volume(int32_t channel) {
    Sound::Lock();
    const int32_t v = Buffer(channel)->Volume();
    Sound::Unlock();
    return v;
  }
};

TEST_F(SaveVolumes, SwitchesSetTheRunningStreamsVolumeAndNeverStopThem) {
  g_Setting.m_BgmVolume = 100;   // (100 * 255 / 100) / 10 = 25
  g_Setting.m_VoiceVolume = 50;  // 50 * 255 / 100 = 127
  g_Setting.m_SeVolume = 50;     // (50 * 255 / 100) / 10 = 12
  const int32_t ids[] = {Sound::ChannelId(0), Sound::ChannelId(1), Sound::ChannelId(2), Sound::ChannelId(3)};
  ApplyBgmVolume(true);
  ApplyVoiceVolume(true);
  ApplySeVolume(true);
  EXPECT_EQ(Volume(SOUND_BGM), Sound::VolumeToDecibels(25));
  EXPECT_EQ(Volume(SOUND_VOICE), Sound::VolumeToDecibels(127));
  EXPECT_EQ(Volume(SOUND_SE1), Sound::VolumeToDecibels(12));
  EXPECT_EQ(Volume(SOUND_SE2), Sound::VolumeToDecibels(12));

  ApplyBgmVolume(false);
  ApplySeVolume(false);
  EXPECT_EQ(Volume(SOUND_BGM), -10000);
  EXPECT_EQ(Volume(SOUND_SE1), -10000);
  EXPECT_EQ(Volume(SOUND_SE2), -10000);
  EXPECT_EQ(Volume(SOUND_VOICE), Sound::VolumeToDecibels(127)) << "each switch has its own channels";
  ApplyBgmVolume(true);
  EXPECT_EQ(Volume(SOUND_BGM), Sound::VolumeToDecibels(25));
  for (int32_t channel = 0; channel < kSoundChannels; ++channel)
    EXPECT_EQ(Sound::ChannelId(channel), ids[channel]) << "the same stream plays on channel " << channel;
}

}  // namespace
