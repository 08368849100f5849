// The SDL mixer once for real, through SDL's "disk" audio driver: a streamed tone comes out right.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "ogg_maker.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "sound_fixture.h"

namespace sound_test {
namespace {

TEST(SdlAudio, AStreamedToneComesOutOfTheMixerAtItsLevelAndFrequency) {
  const auto dir = std::filesystem::temp_directory_path() / ("sound_sdl_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  const std::string output = (dir / "out.raw").string();
  const std::u16string tone = platform::Utf8ToWide((dir / "tone.ogg").string());
  const auto ogg = testing_ogg::EncodeOgg(2, 22050, testing_ogg::Tone(2, 22050, 2.0, 440.0, 0.5), 0.5f);
  ASSERT_TRUE(platform::WriteWholeFileAtomic(tone, ogg.data(), ogg.size()));

  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  std::shared_ptr<platform::AudioDevice> device = platform::sdl::CreateAudioDevice(44100);
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");
  if (!device) {
    std::filesystem::remove_all(dir);
    GTEST_SKIP() << "SDL's disk audio driver cannot be opened here";
  }
  SoundConfig config;
  ASSERT_EQ(Sound::Initialize(std::move(device), &config), 0);
  // The stream runs at 22050 Hz into a 44100 Hz output: the mixer converts the rate. Volume
  // -6.02 dB halves the amplitude; pan -6.02 dB halves the right side once more.
  const int32_t id = Sound::PlayOggStreamLocked(nullptr, tone.c_str(), -1, 1, 4096, -602, -602);
  ASSERT_GE(id, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  Sound::StopStream(id);
  Sound::Finalize();  // closes the device, which closes its file

  std::vector<uint8_t> raw;
  ASSERT_TRUE(platform::ReadWholeFile(platform::Utf8ToWide(output), raw));
  std::filesystem::remove_all(dir);
  std::vector<int16_t> left, right;
  for (size_t i = 0; i + 4 <= raw.size(); i += 4) {
    left.push_back(static_cast<int16_t>(raw[i] | (raw[i + 1] << 8)));
    right.push_back(static_cast<int16_t>(raw[i + 2] | (raw[i + 3] << 8)));
  }
  size_t start = 0;
  while (start < left.size() && std::abs(left[start]) < 200) ++start;
  start += 4410;                // skip the first 0.1 s of sound
  const size_t window = 22050;  // half a second
  ASSERT_GE(left.size(), start + window) << "the driver wrote " << left.size() << " frames";

  double leftEnergy = 0, rightEnergy = 0;
  int crossings = 0;
  for (size_t i = start; i < start + window; ++i) {
    leftEnergy += double(left[i]) * left[i];
    rightEnergy += double(right[i]) * right[i];
    if (left[i - 1] < 0 && left[i] >= 0) ++crossings;
  }
  const double leftRms = std::sqrt(leftEnergy / window);
  const double rightRms = std::sqrt(rightEnergy / window);
  const double expectedLeft = 0.5 * 0.5 * 32767 / std::sqrt(2.0);  // amplitude 0.5 at half gain
  EXPECT_NEAR(leftRms, expectedLeft, expectedLeft * 0.1) << "level of the tone at -6 dB";
  EXPECT_NEAR(rightRms, expectedLeft / 2, expectedLeft * 0.05) << "the right side panned down 6 dB more";
  EXPECT_NEAR(crossings / 0.5, 440.0, 6.0) << "frequency";
}

}  // namespace
}  // namespace sound_test
