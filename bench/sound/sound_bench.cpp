// Benchmarks of the sound layer: Ogg decoding as a multiple of real time, the mixer's own time
// per second of output, and the CPU the service thread and the SDL mixer take per second of
// audio while music and a voice play.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <thread>

#include "platform/files.h"
#include "platform/mixer.h"
#include "platform/utf.h"
#include "sound/stream.h"
#include "tests/sound/memory_reader.h"
#include "tests/sound/ogg_maker.h"

namespace {

const std::vector<uint8_t>& MusicOgg() {
  // Ten seconds of a chord at 44100 Hz stereo, the music format.
  static const std::vector<uint8_t> ogg = [] {
    auto a = testing_ogg::Tone(2, 44100, 10.0, 220.0, 0.3);
    const auto b = testing_ogg::Tone(2, 44100, 10.0, 277.2, 0.2);
    const auto c = testing_ogg::Tone(2, 44100, 10.0, 329.6, 0.2);
    for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<int16_t>(a[i] + b[i] + c[i]);
    return testing_ogg::EncodeOgg(2, 44100, a, 0.4f);
  }();
  return ogg;
}

void BM_OggDecode(benchmark::State& state) {
  const auto& ogg = MusicOgg();
  double audioSeconds = 0;
  std::vector<uint8_t> block;
  for (auto _ : state) {
    ComRef<CStreamControl_Ogg> control(Sound::CreateOggStream(new sound_test::MemoryReader(ogg)));
    if (!control->Open(u"music")) {
      state.SkipWithError("cannot open the music");
      return;
    }
    StreamChannel channel;
    control->GetBufferLayout(&channel);
    block.resize(channel.blockSize);
    while (!(channel.flags & kChannelEnded)) control->Fill(&channel, block.data(), channel.blockSize);
    audioSeconds += double(control->GetTotalBytes()) / control->GetFormat()->avgBytesPerSec;
    benchmark::DoNotOptimize(block.data());
  }
  // Seconds of audio decoded per second of CPU: the multiple of real time.
  state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OggDecode)->Unit(benchmark::kMillisecond);

// The mixer alone: a second of 44100 Hz output in the SDL device's blocks of 1024 frames, from
// looping music (44100 Hz stereo, 16-bit) and a voice (22050 Hz mono, 16-bit) turned down.
void BM_MixerRenderPerSecondOfOutput(benchmark::State& state) {
  constexpr size_t kBlock = 1024;
  platform::MixerVoice music({2, 44100, 16}, 44100 * 4 * 4);
  platform::MixerVoice voice({1, 22050, 16}, 22050 * 2 * 4);
  std::minstd_rand random(1);
  for (auto* v : {&music, &voice})
    for (uint8_t& b : v->Bytes()) b = uint8_t(random());
  music.Play(true);
  voice.Play(true);
  voice.SetVolume(-300);
  voice.SetPan(500);
  platform::Mixer mixer;
  mixer.SetOutputRate(44100);
  mixer.SetMasterVolume(-600);
  mixer.Reserve(kBlock);
  platform::MixerVoice* voices[] = {&music, &voice};
  std::vector<int16_t> out(kBlock * 2);
  for (auto _ : state) {
    for (size_t done = 0; done < 44100; done += kBlock) mixer.Render(voices, out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_MixerRenderPerSecondOfOutput)->Unit(benchmark::kMicrosecond);

// Music (44100 Hz stereo, looping) and a voice (22050 Hz mono) stream through the real
// service thread into the SDL mixer; SDL's disk driver consumes the output in real time.
void BM_ServiceAndMixerPerSecondOfAudio(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / ("sound_bench_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  const std::u16string music = platform::Utf8ToWide((dir / "music.ogg").string());
  const std::u16string voice = platform::Utf8ToWide((dir / "voice.ogg").string());
  const auto& musicOgg = MusicOgg();
  const auto voiceOgg = testing_ogg::EncodeOgg(1, 22050, testing_ogg::Tone(1, 22050, 6.0, 180.0, 0.4), 0.3f);
  platform::WriteWholeFileAtomic(music, musicOgg.data(), musicOgg.size());
  platform::WriteWholeFileAtomic(voice, voiceOgg.data(), voiceOgg.size());

  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  std::shared_ptr<platform::AudioDevice> device = platform::sdl::CreateAudioDevice(44100);
  if (!device) {
    state.SkipWithError("no SDL audio device");
    std::filesystem::remove_all(dir);
    return;
  }
  SoundConfig config;
  Sound::Initialize(std::move(device), &config);
  Sound::PlayOggStreamLocked(nullptr, music.c_str(), 0, 1, 4096, 0, 0);
  Sound::PlayOggStreamLocked(nullptr, voice.c_str(), 3, 1, 4096, -300, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));

  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const std::clock_t c0 = std::clock();
    const auto w0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    cpu += double(std::clock() - c0) / CLOCKS_PER_SEC;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
  }
  for (int c = 0; c < 4; ++c) Sound::StopChannel(c);
  Sound::Finalize();
  std::filesystem::remove_all(dir);
  state.counters["cpu_pct_of_one_core"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_ServiceAndMixerPerSecondOfAudio)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
