// Start-up, shut-down, the service thread and the volume conversion of the sound layer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "sound_fixture.h"

namespace sound_test {
namespace {

TEST(SoundVolume, DecibelsOfTheGameVolume) {
  struct Case {
    int32_t volume;
    int32_t centibels;
  };
  for (const Case& c :
       {Case{0, -10000}, Case{-5, -10000}, Case{1, -2406}, Case{128, -299}, Case{254, -1}, Case{255, 0}, Case{300, 0}})
    EXPECT_EQ(Sound::VolumeToDecibels(c.volume), c.centibels) << "volume " << c.volume;
}

TEST(SoundVolume, RateOfTheFrequencySetting) {
  EXPECT_EQ(Sound::SampleRateForSetting(0), 44100u);
  EXPECT_EQ(Sound::SampleRateForSetting(1), 22050u);
  EXPECT_EQ(Sound::SampleRateForSetting(2), 11025u);
  EXPECT_EQ(Sound::SampleRateForSetting(7), 44100u);
}

// Without sound every operation is a silent no-op.
TEST(SoundOff, SwitchedOffOrWithoutADeviceEverythingIsSilent) {
  RecordingBoxes boxes;
  auto* previous = platform::SetMessageBoxService(&boxes);
  int opened = 0;
  const platform::AudioDeviceFactory none = [&opened](uint32_t) {
    ++opened;
    return std::unique_ptr<platform::AudioDevice>();
  };
  const platform::AudioDeviceFactory null = [&opened](uint32_t) {
    ++opened;
    return std::unique_ptr<platform::AudioDevice>(platform::headless::CreateNullAudioDevice());
  };
  SoundConfig off;
  off.enable = 0;
  SoundConfig on;
  struct Case {
    const platform::AudioDeviceFactory* factory;
    const SoundConfig* config;
    int opens;
  };
  for (const Case& c : {Case{&null, &off, 0}, Case{&none, &on, 1}}) {
    opened = 0;
    EXPECT_EQ(Sound::Initialize(*c.factory, c.config), 0);
    EXPECT_EQ(opened, c.opens);
    EXPECT_EQ(Sound::IsAvailable(), 0u);
    EXPECT_EQ(Sound::PlayOggStreamLocked(nullptr, u"missing.ogg", -1, 0, 4096, 0, 0), -1);
    EXPECT_EQ(Sound::SetStreamVolume(1, 0), 1u);
    EXPECT_EQ(Sound::IsStreamPlaying(1), 0u);
    Sound::StopChannel(0);
    Sound::SetMasterVolume(-100);
    const uint8_t wave[] = "RIFF";
    Sound::LoadStatic(0, wave, sizeof wave);
    EXPECT_EQ(Sound::GetStaticSlot(0)->buffer, nullptr);
    Sound::Finalize();
  }
  EXPECT_TRUE(boxes.shown.empty());
  platform::SetMessageBoxService(previous);
}

TEST(SoundDevice, AFailingOutputFormatIsShownAndReturned) {
  RecordingBoxes boxes;
  auto* previous = platform::SetMessageBoxService(&boxes);
  auto device = platform::headless::CreateNullAudioDevice();
  device->FailOutputFormat(platform::kAudioInvalidParam);
  SoundConfig config;
  EXPECT_EQ(Sound::Initialize(std::shared_ptr<platform::AudioDevice>(std::move(device)), &config),
            platform::kAudioInvalidParam);
  EXPECT_EQ(Sound::IsAvailable(), 0u);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, u"DirectSound");
  EXPECT_EQ(boxes.shown[0].text, u"SetPrimaryFormat(80070057)");
  Sound::Finalize();
  platform::SetMessageBoxService(previous);
}

TEST(SoundExit, AProcessThatEndsWithoutFinalizeStillEnds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // Should the exit wait on the service thread for good, this ends the process with 3.
        std::thread([] {
          std::this_thread::sleep_for(std::chrono::seconds(5));
          std::_Exit(3);
        }).detach();
        SoundConfig config;
        Sound::Initialize(std::shared_ptr<platform::AudioDevice>(platform::headless::CreateNullAudioDevice()), &config);
        std::exit(Sound::IsAvailable() ? 0 : 4);
      },
      ::testing::ExitedWithCode(0), "");
}

using SoundRunning = SoundTest;

TEST_F(SoundRunning, StartUpSetsTheOutputFormatAndMasterVolume) {
  Sound::Finalize();
  SoundConfig config;
  config.sampleRate = Sound::SampleRateForSetting(1);
  StartSound(config);
  EXPECT_EQ(Sound::IsAvailable(), 1u);
  EXPECT_TRUE(device->Started());
  EXPECT_EQ(device->OutputFormat().sampleRate, 22050u);
  EXPECT_EQ(device->OutputFormat().channels, 2);
  EXPECT_EQ(device->OutputFormat().bitsPerSample, 16);
  Sound::SetMasterVolume(-2500);
  EXPECT_EQ(device->MasterVolume(), -2500);
}

// Whether the service thread, on its own, has the channel play bytes within a second.
bool ThreadRefills(StreamChannel& channel, uint32_t bytes) {
  for (int i = 0; i < 500; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    Sound::Lock();
    const bool refilled = channel.played == bytes;
    Sound::Unlock();
    if (refilled) return true;
  }
  return false;
}

TEST_F(SoundRunning, TheServiceThreadRefillsOnItsOwnAndShutDownJoinsIt) {
  const uint32_t total = 40 * kBlock;
  StartCounter(total / 2, false, 0);
  StreamChannel* channel = Sound::GetChannel(0);
  Sound::Lock();
  Buffer(0)->SetPlayCursor(kBlock + 2);
  Sound::Unlock();
  // No pass is run here: the thread's own 10 ms passes must find the boundary.
  ASSERT_TRUE(ThreadRefills(*channel, kBlock)) << "the thread serviced the channel within a second";
  EXPECT_EQ(Ring(0, 4 * kBlock, kBlock), CounterBytes(4 * kBlock, kBlock, total, false));
  const auto before = std::chrono::steady_clock::now();
  Sound::StopChannel(0);
  EXPECT_EQ(device->LiveBuffers(), 0u);
  Sound::Finalize();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500)) << "joined, not waited out";
  EXPECT_EQ(Sound::IsAvailable(), 0u);
}

// Waits until the service thread has run a pass and then none for longer than its longest
// timed sleep (or two seconds are out).
void Settle() {
  uint64_t passes = Sound::ServicePasses();
  for (int i = 0; i < 7; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const uint64_t now = Sound::ServicePasses();
    if (now == passes && now > 0) return;
    passes = now;
  }
}

uint64_t PassesOver(std::chrono::milliseconds span) {
  const uint64_t before = Sound::ServicePasses();
  std::this_thread::sleep_for(span);
  return Sound::ServicePasses() - before;
}

TEST_F(SoundRunning, TheServiceThreadSleepsWhileNothingPlaysAndAStreamAfterTheQuietPlaysFromItsStart) {
  Settle();
  EXPECT_EQ(PassesOver(std::chrono::seconds(1)), 0u) << "no pass over a quiet second";

  const uint32_t total = 40 * kBlock;
  const int32_t id = StartCounter(total / 2, false, 0);
  ASSERT_GE(id, 1);
  EXPECT_EQ(Ring(0, 0, 4 * kBlock), CounterBytes(0, 4 * kBlock, total, false)) << "the first four blocks from 0";
  uint32_t cursor = 99;
  Sound::Lock();
  ASSERT_TRUE(Buffer(0)->PlayCursor(cursor));
  Sound::Unlock();
  EXPECT_EQ(cursor, 0u);
  // A block of this stream is half a second: the thread is timed by it, not by a fixed tick.
  const uint64_t playing = PassesOver(std::chrono::seconds(1));
  EXPECT_GE(playing, 1u) << "a playing stream is looked after";
  EXPECT_LE(playing, 10u) << "but not every 10 ms";

  // The cursor moves on without a command: the thread still finds the boundary on its own.
  Sound::Lock();
  Buffer(0)->SetPlayCursor(kBlock + 2);
  Sound::Unlock();
  EXPECT_TRUE(ThreadRefills(*Sound::GetChannel(0), kBlock));

  Sound::StopStream(id);
  Settle();
  EXPECT_EQ(PassesOver(std::chrono::milliseconds(500)), 0u) << "quiet again once the stream is gone";
}

}  // namespace
}  // namespace sound_test
