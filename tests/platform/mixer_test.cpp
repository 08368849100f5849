// The software mixer: levels, pan, looping and one-shot ends through the null device's render,
// and the same samples out of the SDL device for the same buffers.
#include "platform/mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"

namespace {

using platform::AudioBuffer;
using platform::AudioDevice;
using platform::AudioFormat;

// A buffer of the device, filled frame by frame: sample(frame, channel) in the format's range.
std::unique_ptr<AudioBuffer> MakeBuffer(AudioDevice& device, const AudioFormat& format, uint32_t frames,
                                        const std::function<int(uint32_t, int)>& sample) {
  std::unique_ptr<AudioBuffer> buffer;
  if (device.CreateBuffer(format, frames * format.BlockAlign(), buffer) != platform::kAudioOk) return nullptr;
  platform::AudioRegion region;
  if (!buffer->Lock(0, buffer->Size(), region, nullptr)) return nullptr;
  uint8_t* p = region.data;
  for (uint32_t f = 0; f < frames; ++f) {
    for (int ch = 0; ch < format.channels; ++ch) {
      const int v = sample(f, ch);
      if (format.bitsPerSample == 8) {
        *p++ = static_cast<uint8_t>(v);
      } else {
        *p++ = static_cast<uint8_t>(v & 0xFF);
        *p++ = static_cast<uint8_t>((v >> 8) & 0xFF);
      }
    }
  }
  buffer->Unlock(region, nullptr);
  return buffer;
}

AudioFormat Format(uint16_t channels, uint32_t rate, uint16_t bits) {
  AudioFormat f;
  f.channels = channels;
  f.sampleRate = rate;
  f.bitsPerSample = bits;
  return f;
}

std::vector<int16_t> Render(platform::headless::NullAudioDevice& device, size_t frames) {
  std::vector<int16_t> out(frames * 2);
  device.Render(out.data(), frames);
  return out;
}

TEST(Mixer, VolumePanAndMasterSetTheLevels) {
  const struct {
    int32_t volume, pan, master;
    int left, right;
  } cases[] = {
      {0, 0, 0, 10000, -8000},      {-602, 0, 0, 5000, -4000},  // -6.02 dB halves
      {0, 602, 0, 5000, -8000},                                 // pan right attenuates the left only
      {0, -2000, 0, 10000, -800},                               // pan left, -20 dB on the right
      {-602, 0, -602, 2500, -2000},                             // master on top of the buffer
      {-10000, 0, 0, 0, 0},                                     // silent
      {0, 10000, 0, 0, -8000},                                  // right only
      {5000, -20000, 0, 10000, 0},                              // clamped to full volume, left only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan << " master " << c.master);
    auto device = platform::headless::CreateNullAudioDevice();
    auto buffer = MakeBuffer(*device, Format(2, 44100, 16), 64, [](uint32_t, int ch) { return ch ? -8000 : 10000; });
    ASSERT_TRUE(buffer);
    buffer->SetVolume(c.volume);
    buffer->SetPan(c.pan);
    device->SetMasterVolume(c.master);
    buffer->Play(true);
    const std::vector<int16_t> out = Render(*device, 16);
    EXPECT_NEAR(out[10], c.left, 2);
    EXPECT_NEAR(out[11], c.right, 2);
  }
}

TEST(Mixer, ResamplesLoopsAndEndsOneShots) {
  auto device = platform::headless::CreateNullAudioDevice();
  // 22050 Hz into 44100: every other output frame lies halfway between two input frames.
  auto loop = MakeBuffer(*device, Format(1, 22050, 16), 4, [](uint32_t f, int) { return int(f + 1) * 1000; });
  auto once = MakeBuffer(*device, Format(1, 44100, 8), 3, [](uint32_t, int) { return 128 + 10; });
  ASSERT_TRUE(loop && once);
  loop->Play(true);
  once->Play(false);
  const std::vector<int16_t> out = Render(*device, 10);
  const int expected[10] = {1000 + 2560, 1500 + 2560, 2000 + 2560, 2500, 3000, 3500, 4000, 2500, 1000, 1500};
  for (int f = 0; f < 10; ++f) EXPECT_EQ(out[2 * f], expected[f]) << "frame " << f;
  EXPECT_EQ(out[1], out[0]) << "mono plays on both sides";
  EXPECT_FALSE(once->Status() & platform::kAudioStatusPlaying) << "the one-shot stopped at its end";
  uint32_t cursor = 99;
  ASSERT_TRUE(once->PlayCursor(cursor));
  EXPECT_EQ(cursor, 0u) << "and went back to its start";
  ASSERT_TRUE(loop->PlayCursor(cursor));
  EXPECT_EQ(cursor, 2u) << "the loop wrapped: 10 output frames are 5 input frames, frame 1 next";
}

// Sets an environment variable while it lives.
struct Env {
  Env(const char* name, const std::string& value) : name(name) { ::setenv(name, value.c_str(), 1); }
  ~Env() { ::unsetenv(name); }
  const char* name;
};

// SDL's output on its disk driver, writing into output; none where it cannot be opened here.
std::unique_ptr<AudioDevice> OpenDiskDevice(const std::string& output) {
  Env driver("SDL_AUDIODRIVER", "disk");
  Env file("SDL_DISKAUDIOFILE", output);
  return platform::sdl::CreateAudioDevice(44100);
}

// The samples SDL's disk driver has written so far.
std::vector<int16_t> ReadSamples(const std::string& path) {
  std::vector<uint8_t> raw;
  std::vector<int16_t> samples;
  if (!platform::ReadWholeFile(platform::Utf8ToWide(path), raw)) return samples;
  samples.resize(raw.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
  return samples;
}

TEST(Mixer, TheSdlOutputSleepsWhileSilentAndWakesWithTheFirstFrameOfASound) {
  const std::u16string dir = platform::MakeTempFolder(u"varn-mixer-");
  const std::string output = platform::HostPath(dir) + "/out.raw";
  std::unique_ptr<AudioDevice> sdl = OpenDiskDevice(output);
  if (!sdl) {
    platform::RemoveTree(dir);
    GTEST_SKIP() << "SDL's disk audio driver cannot be opened here";
  }
  ASSERT_EQ(sdl->Start(), platform::kAudioOk);
  // A one-shot of 3000 frames whose every sample differs from 0 and tells its frame.
  constexpr uint32_t kFrames = 3000;
  auto once = MakeBuffer(*sdl, Format(1, 44100, 16), kFrames, [](uint32_t f, int) { return int(f) + 1; });
  ASSERT_TRUE(once);
  const auto quiet = std::chrono::milliseconds(300);  // more than ten callbacks of SDL's thread
  std::this_thread::sleep_for(quiet);
  EXPECT_TRUE(ReadSamples(output).empty()) << "nothing plays: no silence is turned out either";

  // The sound, then a quiet in which the file stops growing, then the sound again.
  once->Play(false);
  std::this_thread::sleep_for(quiet);
  const size_t ended = ReadSamples(output).size();
  std::this_thread::sleep_for(quiet);
  EXPECT_EQ(ReadSamples(output).size(), ended) << "the output sleeps once the sound has ended";
  once->Play(false);
  std::this_thread::sleep_for(quiet);
  once.reset();
  sdl.reset();  // closes the file, with what the driver still held
  const std::vector<int16_t> played = ReadSamples(output);
  platform::RemoveTree(dir);

  // Each sound comes out whole from its first frame; between them only the rest of the
  // callback's block that held the first one's end, in silence.
  const auto soundAt = [&](size_t from) {
    if (played.size() < from + kFrames * 2) return false;
    for (uint32_t f = 0; f < kFrames; ++f)
      if (played[from + 2 * f] != int(f) + 1 || played[from + 2 * f + 1] != int(f) + 1) return false;
    return true;
  };
  ASSERT_TRUE(soundAt(0)) << "the first sound from its first frame, with no silence before it";
  size_t second = kFrames * 2;
  while (second < played.size() && played[second] == 0) ++second;
  EXPECT_LT(second, (kFrames + 4096) * 2) << "no more than one block of silence came between";
  EXPECT_TRUE(soundAt(second)) << "the second sound from its first frame";
  EXPECT_TRUE(std::all_of(played.begin() + std::min(played.size(), second + kFrames * 2), played.end(),
                          [](int16_t v) { return v == 0; }));
  once.reset();
  sdl.reset();
  platform::RemoveTree(dir);
}

TEST(Mixer, TheNullRenderIsWhatTheSdlDevicePlays) {
  const std::u16string dir = platform::MakeTempFolder(u"varn-mixer-");
  const std::string output = platform::HostPath(dir) + "/out.raw";
  std::shared_ptr<AudioDevice> sdl = OpenDiskDevice(output);
  if (!sdl) {
    platform::RemoveTree(dir);
    GTEST_SKIP() << "SDL's disk audio driver cannot be opened here";
  }
  auto null = platform::headless::CreateNullAudioDevice();

  // The same three buffers on both devices: a stereo loop at half the rate, panned; an 8-bit
  // one-shot that ends early; a mono loop at a quarter of the rate, right only. Frame 0 of the
  // first is loud so the first frame of sound marks where the mix began.
  struct Voice {
    AudioFormat format;
    uint32_t frames;
    std::function<int(uint32_t, int)> sample;
    int32_t volume, pan;
    bool looping;
  };
  const Voice voices[] = {
      {Format(2, 22050, 16), 1000,
       [](uint32_t f, int ch) { return f == 0 ? 30000 : int(std::lround(12000 * std::sin(f * (ch ? 0.05 : 0.031)))); },
       -600, 300, true},
      {Format(1, 44100, 8), 3000, [](uint32_t f, int) { return 128 + int((f * 7) % 200) - 100; }, -150, -2500, false},
      {Format(1, 11025, 16), 777, [](uint32_t f, int) { return int((f * 997) % 40000) - 20000; }, -1200, 10000, true},
  };
  std::vector<std::unique_ptr<AudioBuffer>> sdlBuffers, nullBuffers;
  for (AudioDevice* device : {static_cast<AudioDevice*>(sdl.get()), static_cast<AudioDevice*>(null.get())}) {
    auto& buffers = device == sdl.get() ? sdlBuffers : nullBuffers;
    ASSERT_EQ(device->SetOutputFormat(Format(2, 44100, 16)), platform::kAudioOk);
    device->SetMasterVolume(-250);
    for (const Voice& v : voices) {
      buffers.push_back(MakeBuffer(*device, v.format, v.frames, v.sample));
      ASSERT_TRUE(buffers.back());
      buffers.back()->SetVolume(v.volume);
      buffers.back()->SetPan(v.pan);
      buffers.back()->Play(v.looping);
    }
  }

  // The disk driver writes silence while the device is paused, then the mix, in real time: the
  // mix begins at the first sample that is not 0.
  constexpr size_t kFrames = 8192;
  ASSERT_EQ(sdl->Start(), platform::kAudioOk);
  std::vector<int16_t> played;
  size_t start = 0;
  auto enoughPlayed = [&] {
    std::vector<uint8_t> raw;
    if (!platform::ReadWholeFile(platform::Utf8ToWide(output), raw)) return false;
    played.resize(raw.size() / 2);
    for (size_t i = 0; i < played.size(); ++i) played[i] = static_cast<int16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    start = 0;
    while (start < played.size() && played[start] == 0) ++start;
    start -= start % 2;
    return played.size() >= start + kFrames * 2 && start < played.size();
  };
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!enoughPlayed() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  sdlBuffers.clear();
  sdl.reset();  // closes the file
  const bool enough = enoughPlayed();
  platform::RemoveTree(dir);
  ASSERT_TRUE(enough) << "the driver wrote " << played.size() / 2 << " frames, sound from frame " << start / 2;

  const std::vector<int16_t> rendered = Render(*null, kFrames);
  size_t differ = 0, first = kFrames * 2;
  for (size_t i = 0; i < kFrames * 2; ++i) {
    if (rendered[i] != played[start + i]) {
      ++differ;
      first = std::min(first, i);
    }
  }
  EXPECT_EQ(differ, 0u) << "first difference at frame " << first / 2 << ": rendered " << rendered[first] << ", played "
                        << played[start + first];
}

}  // namespace
