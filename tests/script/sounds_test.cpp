// Music, voices and effects by name on the null audio device, from the sample game's sound archive.
#include "script/sounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "archive/archive.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/mixer.h"
#include "platform/utf.h"
#include "sampledata.h"
#include "script/executor.h"
#include "script/settings.h"
#include "sound/stream.h"
#include "tests/sound/sound_fixture.h"
#include "textscript/inputbits.h"

namespace {

std::string U8(std::u16string_view s) {
  return platform::WideToUtf8(s);
}

class SoundsByName : public sound_test::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    ResetSettings();
    g_SkipMode = 0;
    g_Input = INPUTSTATE{};
    ForgetPlayingSounds();
    m_Sample = scripttest::OpenSampleArchive("sound.pux");
    ASSERT_TRUE(m_Sample) << "the build makes data/sound.pux";
    g_SoundArchive = m_Sample.Get();
  }
  void TearDown() override {
    g_SoundArchive = nullptr;
    ForgetPlayingSounds();
    ResetSettings();
    g_SkipMode = 0;
    g_Input = INPUTSTATE{};
    SoundTest::TearDown();
    if (!m_Folder.empty()) platform::RemoveTree(m_Folder);
  }

  // The volume the channel's buffer was given, in hundredths of a decibel.
  int32_t BufferVolume(int32_t channel) {
    Sound::Lock();
    auto* buffer = Buffer(channel);
    const int32_t volume = buffer ? buffer->Volume() : 1;
    Sound::Unlock();
    return volume;
  }
  uint32_t Flags(int32_t channel) {
    Sound::Lock();
    const uint32_t flags = Sound::GetChannel(channel)->flags;
    Sound::Unlock();
    return flags;
  }
  uint32_t Cursor(int32_t channel) {
    Sound::Lock();
    uint32_t cursor = 0;
    if (auto* buffer = Buffer(channel)) buffer->PlayCursor(cursor);
    Sound::Unlock();
    return cursor;
  }

  // The sum of the magnitudes of frames frames of mixer output, the device's buffers moving on.
  double RenderLevel(size_t frames) {
    std::vector<int16_t> out(frames * 2);
    device->Render(out.data(), frames);
    double sum = 0;
    for (int16_t s : out) sum += std::abs(static_cast<double>(s));
    return sum;
  }

  std::vector<uint8_t> SampleMember(const char16_t* name) {
    ComRef<IArchiveFile> file(m_Sample->OpenFile(name));
    if (!file) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(file->GetSize()));
    bytes.resize(static_cast<size_t>(file->Read(bytes.data(), bytes.size())));
    return bytes;
  }

  // A folder archive of the given members, which then is the sound archive.
  void UseFolderArchive(const std::vector<std::pair<std::u16string, std::vector<uint8_t>>>& members) {
    m_Folder = platform::MakeTempFolder(u"sounds");
    ASSERT_FALSE(m_Folder.empty());
    for (const auto& [name, bytes] : members) {
      const std::u16string path = m_Folder + u"/" + name;
      ASSERT_TRUE(platform::EnsureFolder(path.substr(0, path.rfind(u'/'))));
      ASSERT_TRUE(platform::WriteWholeFileAtomic(path, bytes.data(), bytes.size())) << U8(path);
    }
    m_FolderArchive = ComRef<IArchive>(OpenDirArchive(m_Folder));
    ASSERT_TRUE(m_FolderArchive);
    g_SoundArchive = m_FolderArchive.Get();
  }

  ComRef<IArchive> m_Sample;
  ComRef<IArchive> m_FolderArchive;
  std::u16string m_Folder;
};

TEST_F(SoundsByName, MusicNamedAgainInAnyCaseGoesOnWhereItIs) {
  PlayBgmOrVoice(SOUND_BGM, u"town", false);
  const int32_t id = Sound::ChannelId(SOUND_BGM);
  ASSERT_GE(id, 1) << "bgm/town.ogg starts on the music channel";
  EXPECT_TRUE(Flags(SOUND_BGM) & kChannelLoop) << "music loops";
  EXPECT_EQ(g_PlayingSounds[SOUND_BGM], u"town");
  RenderLevel(4410);
  const uint32_t cursor = Cursor(SOUND_BGM);
  ASSERT_GT(cursor, 0u);

  for (const char16_t* again : {u"TOWN", u"Town"}) {
    PlayBgmOrVoice(SOUND_BGM, again, false);
    EXPECT_EQ(Sound::ChannelId(SOUND_BGM), id) << U8(again) << " restarted the music";
    EXPECT_EQ(Cursor(SOUND_BGM), cursor) << U8(again) << " moved the music";
  }
  PlayBgmOrVoice(SOUND_BGM, u"town", true);
  EXPECT_EQ(Sound::ChannelId(SOUND_BGM), id) << "the scene restore's music goes on too";
  EXPECT_EQ(g_PlayingSounds[SOUND_BGM], u"town") << "the record keeps the first spelling";

  // Music that is no longer playing starts again under the same name.
  Sound::StopStream(id);
  PlayBgmOrVoice(SOUND_BGM, u"town", false);
  const int32_t again = Sound::ChannelId(SOUND_BGM);
  EXPECT_GE(again, 1);
  EXPECT_NE(again, id);
  EXPECT_EQ(Cursor(SOUND_BGM), 0u);
}

TEST_F(SoundsByName, VoiceIsNotStartedWhileThePlayerSkipsUnlessForced) {
  struct Case {
    const char* what;
    int32_t skipMode;
    uint32_t held;
    bool forced;
    bool plays;
  };
  const Case cases[] = {
      {"skip mode by the button", 1, 0, false, false},
      {"skip mode by Shift", 2, 0, false, false},
      {"right button held", 0, INPUT_RBUTTON, false, false},
      {"left Shift held", 0, INPUT_LSHIFT, false, false},
      {"right Shift held", 0, INPUT_RSHIFT, false, false},
      {"left Ctrl held (not a skip of the voice)", 0, INPUT_LCTRL, false, true},
      {"left button held", 0, INPUT_LBUTTON, false, true},
      {"nothing held", 0, 0, false, true},
      {"skip mode, forced", 1, 0, true, true},
      {"Shift held, forced", 0, INPUT_LSHIFT, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_SkipMode = 0;
    g_Input.held = 0;
    PlayBgmOrVoice(SOUND_VOICE, u"tk001", false);
    const int32_t before = Sound::ChannelId(SOUND_VOICE);
    ASSERT_GE(before, 1);
    EXPECT_FALSE(Flags(SOUND_VOICE) & kChannelLoop) << "a voice plays once";

    g_SkipMode = c.skipMode;
    g_Input.held = c.held;
    PlayBgmOrVoice(SOUND_VOICE, u"tk001", c.forced);
    const int32_t after = Sound::ChannelId(SOUND_VOICE);
    if (!c.plays) {
      EXPECT_EQ(after, -1) << "the voice before is stopped and none started";
    } else if (c.forced) {
      EXPECT_EQ(after, before) << "the restore's voice of the same name goes on";
    } else {
      EXPECT_GE(after, 1);
      EXPECT_NE(after, before) << "a voice command starts the voice over";
    }
  }
}

TEST_F(SoundsByName, VoiceSwitchedOffStopsTheVoiceAndPlaysNothing) {
  PlayBgmOrVoice(SOUND_VOICE, u"tk001", false);
  ASSERT_GE(Sound::ChannelId(SOUND_VOICE), 1);
  g_Setting.m_EnableVoice = 0;
  for (bool forced : {false, true}) {
    PlayBgmOrVoice(SOUND_VOICE, u"tk001", forced);
    EXPECT_EQ(Sound::ChannelId(SOUND_VOICE), -1) << "forced " << forced;
  }
}

TEST_F(SoundsByName, VolumesFollowTheSettings) {
  struct Case {
    const char* what;
    SETTINGDATA settings;
    int32_t channel;    // 0 music, 3 voice, 1 or 2 an effect
    int32_t centibels;  // of the 0..255 volume
  };
  auto with = [](auto change) {
    SETTINGDATA s;
    change(s);
    return s;
  };
  const Case cases[] = {
      {"music at 50 percent: 12", with([](SETTINGDATA& s) { s.m_BgmVolume = 50; }), SOUND_BGM, -1327},
      {"music at 100 percent: 25", with([](SETTINGDATA& s) { s.m_BgmVolume = 100; }), SOUND_BGM, -1008},
      {"music switched off: silent", with([](SETTINGDATA& s) { s.m_EnableBgm = 0; }), SOUND_BGM, -10000},
      {"music at 0 percent", with([](SETTINGDATA& s) { s.m_BgmVolume = 0; }), SOUND_BGM, -10000},
      {"voice at 100 percent: 255", with([](SETTINGDATA& s) { s.m_VoiceVolume = 100; }), SOUND_VOICE, 0},
      {"voice at 50 percent: 127", with([](SETTINGDATA& s) { s.m_VoiceVolume = 50; }), SOUND_VOICE, -302},
      {"voice ignores the music volume", with([](SETTINGDATA& s) { s.m_BgmVolume = 0; }), SOUND_VOICE, -302},
      {"effect at 100 percent: 25", with([](SETTINGDATA& s) { s.m_SeVolume = 100; }), SOUND_SE1, -1008},
      {"effect at 50 percent: 12", with([](SETTINGDATA& s) { s.m_SeVolume = 50; }), SOUND_SE2, -1327},
      {"effects switched off: silent", with([](SETTINGDATA& s) { s.m_EnableSe = 0; }), SOUND_SE1, -10000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_Setting = c.settings;
    if (c.channel == SOUND_BGM) {
      StopAllChannels();
      PlayBgmOrVoice(c.channel, u"town", false);
    } else if (c.channel == SOUND_VOICE) {
      PlayBgmOrVoice(c.channel, u"tk001", false);
    } else {
      PlaySe(c.channel, u"bell", false);
    }
    ASSERT_GE(Sound::ChannelId(c.channel), 1) << "switched off still starts the stream";
    EXPECT_EQ(BufferVolume(c.channel), c.centibels);
  }
}

TEST_F(SoundsByName, MixerOutputFollowsTheVolume) {
  // The first tenth of a second of a sound as the output device would play it.
  auto level = [this](int32_t channel, const char16_t* name) {
    PlayBgmOrVoice(channel, name, false);
    EXPECT_GE(Sound::ChannelId(channel), 1) << U8(name);
    const double sum = RenderLevel(4410);
    StopAllChannels();
    return sum;
  };
  g_Setting.m_VoiceVolume = 100;
  const double full = level(SOUND_VOICE, u"tk001");
  g_Setting.m_VoiceVolume = 50;
  const double half = level(SOUND_VOICE, u"tk001");
  ASSERT_GT(full, 0.0) << "the voice is heard at full volume";
  EXPECT_NEAR(half / full, platform::CentibelGain(-302), 0.02) << "50 percent is 127 of 255";

  g_Setting.m_BgmVolume = 100;
  EXPECT_GT(level(SOUND_BGM, u"town"), 0.0);
  g_Setting.m_EnableBgm = 0;
  EXPECT_EQ(level(SOUND_BGM, u"town"), 0.0) << "music switched off plays in silence";
}

TEST_F(SoundsByName, EffectsTakeTheLoopFlagAsGivenAndAlwaysStartOver) {
  PlaySe(SOUND_SE1, u"bell", true);
  const int32_t first = Sound::ChannelId(SOUND_SE1);
  ASSERT_GE(first, 1);
  EXPECT_TRUE(Flags(SOUND_SE1) & kChannelLoop);
  PlaySe(SOUND_SE1, u"BELL", false);
  const int32_t second = Sound::ChannelId(SOUND_SE1);
  EXPECT_GE(second, 1);
  EXPECT_NE(second, first) << "no same-name rule for effects";
  EXPECT_FALSE(Flags(SOUND_SE1) & kChannelLoop);
  PlaySe(SOUND_SE2, u"bell", false);
  EXPECT_GE(Sound::ChannelId(SOUND_SE2), 1);
  EXPECT_EQ(Sound::ChannelId(SOUND_SE1), second) << "the other effect channel is untouched";
  EXPECT_TRUE(g_PlayingSounds[SOUND_SE1].empty());
  EXPECT_TRUE(g_PlayingSounds[SOUND_SE2].empty());

  // The sound-settings dialog plays a voice straight by its path.
  EXPECT_GE(PlayOggByName(u"voice/tk001", SOUND_VOICE, false, kNormalSpeed, 0, kCentrePan), 1);
  EXPECT_GE(Sound::ChannelId(SOUND_VOICE), 1);

  SoundChannelsByName channels;
  g_PlayingSounds[SOUND_VOICE] = u"tk001";
  channels.StopAllAndForget();
  for (int32_t channel = 0; channel < kSoundChannels; ++channel) {
    EXPECT_EQ(Sound::ChannelId(channel), -1) << "channel " << channel;
    EXPECT_TRUE(g_PlayingSounds[channel].empty()) << "channel " << channel;
  }
}

TEST_F(SoundsByName, MissingNamesPlayNothingAndReportNothing) {
  PlayBgmOrVoice(SOUND_BGM, u"town", false);
  ASSERT_GE(Sound::ChannelId(SOUND_BGM), 1);
  platform::LogCapture log;
  PlayBgmOrVoice(SOUND_BGM, u"nosuch", false);
  EXPECT_EQ(Sound::ChannelId(SOUND_BGM), -1) << "the music before stops";
  PlayBgmOrVoice(SOUND_VOICE, u"nosuch", false);
  PlaySe(SOUND_SE1, u"nosuch", true);
  PlaySe(SOUND_SE2, nullptr, false);
  EXPECT_EQ(PlayOggByName(u"bgm/nosuch", SOUND_BGM, true, kNormalSpeed, 0, kCentrePan), -1);
  for (int32_t channel = 0; channel < kSoundChannels; ++channel)
    EXPECT_EQ(Sound::ChannelId(channel), -1) << "channel " << channel;
  EXPECT_TRUE(log.Lines().empty()) << U8(log.Text());
  EXPECT_TRUE(boxes.shown.empty());

  // Channels outside the four are left alone.
  PlayBgmOrVoice(4, u"town", false);
  PlayBgmOrVoice(-1, u"town", false);
  PlaySe(-1, u"bell", false);
  PlaySe(7, u"bell", false);
  for (int32_t channel = 0; channel < kSoundChannels; ++channel)
    EXPECT_EQ(Sound::ChannelId(channel), -1) << "channel " << channel;
}

TEST_F(SoundsByName, DamagedMembersLeaveTheChannelSilentAndTheGameGoesOn) {
  const std::vector<uint8_t> town = SampleMember(u"bgm/town.ogg");
  ASSERT_GT(town.size(), 4096u);
  std::vector<uint8_t> garbage(3000, 0x5A);
  garbage[0] = 'O', garbage[1] = 'g', garbage[2] = 'g', garbage[3] = 'S';
  UseFolderArchive({
      {u"bgm/broken.ogg", garbage},
      {u"voice/cut.ogg", std::vector<uint8_t>(town.begin(), town.begin() + 200)},
      {u"se/empty.ogg", {}},
      {u"bgm/town.ogg", town},
  });
  PlayBgmOrVoice(SOUND_BGM, u"broken", false);
  PlayBgmOrVoice(SOUND_VOICE, u"cut", false);
  PlaySe(SOUND_SE1, u"empty", false);
  for (int32_t channel = 0; channel < kSoundChannels; ++channel)
    EXPECT_EQ(Sound::ChannelId(channel), -1) << "channel " << channel;
  EXPECT_TRUE(boxes.shown.empty());

  PlayBgmOrVoice(SOUND_BGM, u"town", false);
  EXPECT_GE(Sound::ChannelId(SOUND_BGM), 1) << "the next music plays";
}

TEST_F(SoundsByName, LongNamesAreKeptWholeForTheSameNameRule) {
  // Two names that agree in their first 19 characters and more.
  const std::u16string first = u"prologue_theme_of_the_town_at_dawn";
  const std::u16string second = u"prologue_theme_of_the_town_at_dusk";
  const std::vector<uint8_t> town = SampleMember(u"bgm/town.ogg");
  UseFolderArchive({{u"bgm/" + first + u".ogg", town}, {u"bgm/" + second + u".ogg", town}});

  PlayBgmOrVoice(SOUND_BGM, first.c_str(), false);
  const int32_t id = Sound::ChannelId(SOUND_BGM);
  ASSERT_GE(id, 1);
  EXPECT_EQ(g_PlayingSounds[SOUND_BGM], first);
  PlayBgmOrVoice(SOUND_BGM, first.c_str(), false);
  EXPECT_EQ(Sound::ChannelId(SOUND_BGM), id) << "the same long name goes on";
  PlayBgmOrVoice(SOUND_BGM, second.c_str(), false);
  EXPECT_NE(Sound::ChannelId(SOUND_BGM), id) << "a long name differing at its end is other music";
  EXPECT_EQ(g_PlayingSounds[SOUND_BGM], second);
}

}  // namespace
