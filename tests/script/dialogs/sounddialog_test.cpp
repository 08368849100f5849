// The sound settings on the scripted host over the null audio device: volumes heard at once while
// a bar moves, OK and cancel with the switches, and the test voice and effect.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/frame/misc.h"
#include "archive/archive.h"
#include "dialogfixture.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/headless/headless.h"
#include "script/scene.h"
#include "script/sounds.h"
#include "tests/script/sampledata.h"
#include "tests/sound/sound_fixture.h"

namespace {

using namespace dialogtest;
using platform::DialogState;
using platform::ScrollCode;

class SoundDialogTest : public sound_test::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    backend = platform::headless::CreateBackend();
    SetDialogServices(DialogServices{backend->hdialogs, &store, nullptr});
    ResetSettings();
    ForgetPlayingSounds();
    ClearSceneStates();
    // Music, two effects and a voice already playing, each at a volume of its own.
    for (int32_t channel = 0; channel < 4; ++channel) ASSERT_GE(StartCounter(200000, true, channel), 1);
  }
  void TearDown() override {
    SetDialogServices(DialogServices{});
    g_SoundArchive = nullptr;
    ForgetPlayingSounds();
    ClearSceneStates();
    ResetSettings();
    SoundTest::TearDown();
    if (!m_Folder.empty()) platform::RemoveTree(m_Folder);
  }

  void Script(std::vector<Action> actions) { backend->hdialogs->Script(std::move(actions)); }
  int32_t Volume(int32_t channel) {
    Sound::Lock();
    auto* buffer = Buffer(channel);
    const int32_t volume = buffer ? buffer->Volume() : 1;
    Sound::Unlock();
    return volume;
  }
  static int32_t Db(int32_t volume) { return AppVolumeToDecibels(volume); }

  // A sound archive holding the test voice and the test effect (the sample's bell sound).
  bool UseTestSounds() {
    ComRef<IArchive> sample = scripttest::OpenSampleArchive("sound.pux");
    if (!sample) return false;
    ComRef<IArchiveFile> file(sample->OpenFile(u"se/bell.ogg"));
    if (!file) return false;
    std::vector<uint8_t> bytes(size_t(file->GetSize()));
    bytes.resize(size_t(file->Read(bytes.data(), bytes.size())));
    m_Folder = platform::MakeTempFolder(u"sounddialog");
    for (const char16_t* name : {u"se/INS02.ogg", u"voice/V_TEST.ogg"}) {
      const std::u16string path = m_Folder + u"/" + name;
      if (!platform::EnsureFolder(path.substr(0, path.rfind(u'/')))) return false;
      if (!platform::WriteWholeFileAtomic(path, bytes.data(), bytes.size())) return false;
    }
    m_Archive = ComRef<IArchive>(OpenDirArchive(m_Folder));
    g_SoundArchive = m_Archive.Get();
    return g_SoundArchive != nullptr;
  }

  std::unique_ptr<platform::headless::HeadlessBackend> backend;
  MemorySlotStore store;
  ComRef<IArchive> m_Archive;
  std::u16string m_Folder;
};

TEST_F(SoundDialogTest, OpensOnTheSwitchesAndVolumes) {
  g_Setting.m_EnableBgm = 0;
  g_Setting.m_SeVolume = 70;
  Script({Inspect([](const DialogState& d) {
    EXPECT_EQ(d.Caption(), u"サウンド設定");
    EXPECT_TRUE(d.IsChecked(IDC_VOICE_ON));
    EXPECT_TRUE(d.IsChecked(IDC_BGM_OFF));
    EXPECT_FALSE(d.IsChecked(IDC_BGM_ON));
    EXPECT_TRUE(d.IsChecked(IDC_SE_ON));
    for (uint32_t bar : {IDC_MAIN_VOLUME, IDC_BGM_VOLUME, IDC_VOICE_VOLUME, IDC_SE_VOLUME}) {
      EXPECT_EQ(d.Find(bar)->max, 100);
      EXPECT_EQ(d.Find(bar)->page, 10);
    }
    EXPECT_EQ(d.GetPosition(IDC_SE_VOLUME), 70);
    EXPECT_EQ(d.GetPosition(IDC_MAIN_VOLUME), 50);
  })});
  SoundSettingsDialog();
}

TEST_F(SoundDialogTest, EachBarMoveGivesItsPercentage) {
  struct Case {
    uint8_t start;
    ScrollCode code;
    int32_t thumb;
    uint8_t expected;
  };
  const Case cases[] = {
      {50, ScrollCode::LineUp, 0, 49},   {50, ScrollCode::LineDown, 0, 51},    {50, ScrollCode::PageUp, 0, 40},
      {50, ScrollCode::PageDown, 0, 60}, {50, ScrollCode::ThumbTrack, 77, 77}, {50, ScrollCode::Top, 0, 0},
      {50, ScrollCode::Bottom, 0, 100},  {5, ScrollCode::PageUp, 0, 0},        {95, ScrollCode::PageDown, 0, 100},
      {0, ScrollCode::LineUp, 0, 0},     {100, ScrollCode::LineDown, 0, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.start) << " code " << int(c.code));
    g_Setting.m_BgmVolume = c.start;
    Script({Scroll(IDC_BGM_VOLUME, c.code, c.thumb), Click(platform::kIdOk)});
    SoundSettingsDialog();
    EXPECT_EQ(g_Setting.m_BgmVolume, c.expected);
    EXPECT_EQ(Volume(SOUND_BGM), Db(c.expected * 255 / 1000));
  }
}

TEST_F(SoundDialogTest, AMovingBarIsHeardAtOnceEvenSwitchedOffAndCancelPutsItBack) {
  g_Setting.m_EnableBgm = 0;
  Script({Scroll(IDC_BGM_VOLUME, ScrollCode::ThumbTrack, 100), Inspect([&](const DialogState&) {
            EXPECT_EQ(Volume(SOUND_BGM), Db(25)) << "the music is heard at the bar's level";
          }),
          Scroll(IDC_MAIN_VOLUME, ScrollCode::ThumbTrack, 80),
          Inspect([&](const DialogState&) { EXPECT_EQ(device->MasterVolume(), Db(80 * 255 / 100)); }),
          Scroll(IDC_VOICE_VOLUME, ScrollCode::ThumbTrack, 30), Scroll(IDC_SE_VOLUME, ScrollCode::ThumbTrack, 90),
          Inspect([&](const DialogState&) {
            EXPECT_EQ(Volume(SOUND_VOICE), Db(30 * 255 / 100));
            EXPECT_EQ(Volume(SOUND_SE1), Db(90 * 255 / 1000));
            EXPECT_EQ(Volume(SOUND_SE2), Db(90 * 255 / 1000));
          }),
          Escape()});
  SoundSettingsDialog();
  EXPECT_EQ(g_Setting.m_BgmVolume, 50);
  EXPECT_EQ(Volume(SOUND_BGM), -10000) << "music switched off stays silent after cancel";
  EXPECT_EQ(device->MasterVolume(), Db(50 * 255 / 100));
  EXPECT_EQ(Volume(SOUND_VOICE), Db(50 * 255 / 100));
  EXPECT_EQ(Volume(SOUND_SE1), Db(12));
  EXPECT_EQ(Volume(SOUND_SE2), Db(12));
}

TEST_F(SoundDialogTest, OkSilencesEverySwitchedOffChannel) {
  struct Case {
    uint32_t off;
    int32_t silent[2];
  };
  const Case cases[] = {{IDC_BGM_OFF, {SOUND_BGM, SOUND_BGM}},
                        {IDC_VOICE_OFF, {SOUND_VOICE, SOUND_VOICE}},
                        {IDC_SE_OFF, {SOUND_SE1, SOUND_SE2}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.off);
    ResetSettings();
    Script({Click(c.off), Scroll(IDC_BGM_VOLUME, ScrollCode::Bottom), Scroll(IDC_VOICE_VOLUME, ScrollCode::Bottom),
            Scroll(IDC_SE_VOLUME, ScrollCode::Bottom), Click(platform::kIdOk)});
    SoundSettingsDialog();
    for (int32_t channel = 0; channel < 4; ++channel) {
      const bool silent = channel == c.silent[0] || channel == c.silent[1];
      const int32_t full = channel == SOUND_VOICE ? 255 : 25;
      EXPECT_EQ(Volume(channel), silent ? -10000 : Db(full)) << "channel " << channel;
    }
  }
  // Switched on again, the stream that played on silently is heard.
  Script({Click(IDC_SE_ON), Click(platform::kIdOk)});
  SoundSettingsDialog();
  EXPECT_EQ(Volume(SOUND_SE1), Db(25));
  EXPECT_TRUE(g_Setting.m_EnableSe);
}

TEST_F(SoundDialogTest, TheLeftEndKeySetsOneVolumeToZeroAndNothingElse) {
  Script({Scroll(IDC_VOICE_VOLUME, ScrollCode::Top), Click(platform::kIdOk)});
  SoundSettingsDialog();
  EXPECT_EQ(g_Setting.m_VoiceVolume, 0);
  EXPECT_EQ(Volume(SOUND_VOICE), -10000);
  EXPECT_EQ(g_Setting.m_MainVolume, 50);
  EXPECT_EQ(g_Setting.m_BgmVolume, 50);
  EXPECT_EQ(g_Setting.m_SeVolume, 50);
  EXPECT_EQ(Volume(SOUND_BGM), Db(12));
  EXPECT_EQ(Volume(SOUND_SE1), Db(12));
}

TEST_F(SoundDialogTest, TheTestEffectLeavesALoopOnTheFirstChannelRunning) {
  ASSERT_TRUE(UseTestSounds()) << "the build makes data/sound.pux";
  g_Setting.m_SeVolume = 80;
  const int32_t loop = Sound::ChannelId(SOUND_SE1);
  SetSceneState(SCENE_SE1, SCENE_SE_LOOP, u"rain");
  Script({Scroll(IDC_SE_VOLUME, ScrollCode::ThumbTrack, 100), Click(IDC_TEST_SE), Escape()});
  SoundSettingsDialog();
  EXPECT_EQ(Sound::ChannelId(SOUND_SE1), loop) << "the loop goes on";
  EXPECT_TRUE(Sound::IsStreamPlaying(loop));
  const int32_t test = Sound::ChannelId(SOUND_SE2);
  EXPECT_TRUE(test >= 1 && Sound::IsStreamPlaying(test)) << "INS02 plays on channel 2";

  ClearSceneStates();
  Script({Click(IDC_TEST_SE), Inspect([&](const DialogState&) {
            EXPECT_NE(Sound::ChannelId(SOUND_SE1), loop) << "without a loop the test takes channel 1";
            EXPECT_EQ(Volume(SOUND_SE1), Db(80 * 255 / 1000)) << "at the dialog's effect volume";
          }),
          Click(platform::kIdOk)});
  SoundSettingsDialog();
}

TEST_F(SoundDialogTest, TheTestVoicePlaysAndAPressWhileItPlaysStopsIt) {
  ASSERT_TRUE(UseTestSounds()) << "the build makes data/sound.pux";
  g_Setting.m_EnableVoice = 0;
  Script({Scroll(IDC_VOICE_VOLUME, ScrollCode::ThumbTrack, 40), Click(IDC_TEST_VOICE), Inspect([&](const DialogState&) {
            const int32_t id = Sound::ChannelId(SOUND_VOICE);
            EXPECT_TRUE(id >= 1 && Sound::IsStreamPlaying(id)) << "played even with voices switched off";
            EXPECT_EQ(g_PlayingSounds[SOUND_VOICE], u"V_TEST");
            EXPECT_EQ(Volume(SOUND_VOICE), Db(40 * 255 / 100));
          }),
          Click(IDC_TEST_VOICE), Inspect([&](const DialogState&) {
            EXPECT_EQ(Sound::ChannelId(SOUND_VOICE), -1) << "a second press stops it";
          }),
          Click(IDC_TEST_VOICE), Inspect([&](const DialogState&) {
            EXPECT_GE(Sound::ChannelId(SOUND_VOICE), 1) << "and a third plays it again";
          }),
          Escape()});
  SoundSettingsDialog();
  EXPECT_EQ(Volume(SOUND_VOICE), -10000) << "voices are switched off";
}

}  // namespace
