// The manual's pages and the ending roll's pictures and music on the headless game, the roll's
// music on the null audio device.
#include <gtest/gtest.h>

#include <string>

#include "app/frame/misc.h"
#include "screenfixture.h"
#include "script/settings.h"
#include "script/sounds.h"
#include "sound/sound.h"

namespace {

using screentest::ScreenTest;

// The sample manual's page colours (tools/samplebuild/screens.cpp), at a point no text covers.
constexpr uint32_t kPages[4] = {0x203848, 0x382048, 0x204830, 0x483020};
constexpr platform::Point kPagePoint{10, 300};
constexpr platform::Point kPrevious{585, 557}, kNext{659, 557}, kClose{733, 557};

class ManualTest : public ScreenTest {
 protected:
  // The page shown now: its index, or -1 for none of them.
  int Page() {
    const uint32_t p = Pixel(kPagePoint.x, kPagePoint.y);
    for (int k = 0; k < 4; ++k)
      if (p == kPages[k]) return k;
    return -1;
  }
};

TEST_F(ManualTest, PreviousAndNextWrapRoundTheFourPages) {
  std::vector<int> pages;
  auto look = [&] { pages.push_back(Page()); };
  At(2, look);
  const platform::Point clicks[] = {kNext, kPrevious, kPrevious, kNext, kNext};
  for (size_t i = 0; i < std::size(clicks); ++i) {
    ClickAt(3 + 4 * i, clicks[i]);
    At(6 + 4 * i, look);
  }
  ClickAt(30, kClose);
  EXPECT_EQ(RunManual(stack.screen, archive.Get()), -1);
  EXPECT_EQ(pages, (std::vector<int>{0, 1, 0, 3, 0, 1}));
  EXPECT_EQ(Children(), screenChildren);
}

TEST_F(ManualTest, ARightPressAnywhereClosesIt) {
  ClickAt(3, platform::Point{300, 300}, 1);
  EXPECT_EQ(RunManual(stack.screen, archive.Get()), -1);
  EXPECT_EQ(frames, 4u);
  EXPECT_EQ(Children(), screenChildren);
}

TEST_F(ManualTest, ATransferReleasesThePages) {
  At(5, [] { g_TransferRequest = 1; });
  EXPECT_THROW(RunManual(stack.screen, archive.Get()), ScriptException);
  EXPECT_EQ(Children(), screenChildren);
}

class EndingRollTest : public screentest::SoundScreenTest {
 protected:
  // The credit picture in the middle of the screen: 'R', 'G' or 'B' by its strongest channel,
  // '-' while dark.
  char Shown() {
    const uint32_t p = Pixel(400, 300);
    const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    if (std::max({r, g, b}) < 24) return '-';
    return r >= g && r >= b ? 'R' : g >= b ? 'G' : 'B';
  }

  struct Roll {
    std::string pictures;          // the pictures shown, one letter each in turn
    std::vector<int32_t> volumes;  // the music's volume at the end of each frame
    uint64_t frames = 0;
  };
  // The roll with a click in every frame, so that every hold lasts one frame.
  Roll Run() {
    Roll roll;
    everyFrame = [&](uint64_t) {
      const char c = Shown();
      if (c != '-' && (roll.pictures.empty() || roll.pictures.back() != c)) roll.pictures += c;
      roll.volumes.push_back(MusicVolume());
      stack.input->TapButton(0);
    };
    frames = 0;
    RunEndingRoll(stack.screen, archive.Get());
    roll.frames = frames;
    everyFrame = nullptr;
    return roll;
  }
};

TEST_F(EndingRollTest, PicturesInOrderThenTheMusicFadedOutInFourSeconds) {
  ASSERT_EQ(g_CreditCount, 3) << "the sample layout has three credit pictures";
  PlayBgmOrVoice(SOUND_BGM, u"TITLE", false);
  ASSERT_EQ(MusicVolume(), AppVolumeToDecibels(12)) << "music at 50 percent plays at 12";
  const Roll roll = Run();
  EXPECT_EQ(roll.pictures, "RGB");
  // Each picture: 17 frames in, a hold of one frame, 17 out; then 40 steps of 100 ms at the frame
  // step's 60 frames a second.
  const uint64_t pictures = 3 * (17 + 1 + 17);
  EXPECT_EQ(roll.frames, pictures + 40 * 6);
  ASSERT_EQ(roll.volumes.size(), roll.frames);
  EXPECT_EQ(roll.volumes[pictures - 1], AppVolumeToDecibels(12)) << "untouched until the last picture is gone";
  EXPECT_EQ(roll.volumes[pictures + 6], AppVolumeToDecibels(11)) << "12 - 0.3 after the first 100 ms";
  for (size_t i = pictures + 1; i < roll.volumes.size(); ++i) EXPECT_LE(roll.volumes[i], roll.volumes[i - 1]);
  EXPECT_EQ(roll.volumes.back(), -10000) << "faded to silence";
  EXPECT_EQ(Sound::ChannelId(SOUND_BGM), -1) << "the music channel is stopped after the roll";
  EXPECT_EQ(Children(), screenChildren);
}

TEST_F(EndingRollTest, MusicSwitchedOffStaysSilentThroughTheFadeWhichTakesAsLong) {
  g_Setting.m_EnableBgm = 0;
  PlayBgmOrVoice(SOUND_BGM, u"TITLE", false);
  ASSERT_GE(Sound::ChannelId(SOUND_BGM), 0) << "music switched off still plays, at 0";
  const Roll roll = Run();
  EXPECT_EQ(roll.frames, 3u * (17 + 1 + 17) + 40 * 6);
  for (int32_t v : roll.volumes) EXPECT_EQ(v == 1 ? -10000 : v, -10000);
  EXPECT_EQ(Sound::ChannelId(SOUND_BGM), -1);
}

TEST_F(EndingRollTest, WithoutMusicTheRollEndsAfterTheLastFade) {
  const Roll roll = Run();
  EXPECT_EQ(roll.pictures, "RGB");
  EXPECT_EQ(roll.frames, 3u * (17 + 1 + 17));
}

TEST_F(EndingRollTest, WithoutCreditPicturesNothingIsShownAndTheMusicGoesOn) {
  g_CreditCount = 0;
  PlayBgmOrVoice(SOUND_BGM, u"TITLE", false);
  const Roll roll = Run();
  EXPECT_EQ(roll.frames, 0u);
  EXPECT_GE(Sound::ChannelId(SOUND_BGM), 0);
  EXPECT_EQ(MusicVolume(), AppVolumeToDecibels(12));
}

}  // namespace
