// Fuzzes the RIFF/WAVE parser and the static buffer made from what it finds.
#include <cstddef>
#include <cstdint>

#include "platform/audio.h"
#include "platform/log.h"
#include "sound/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Rejected inputs are logged; thousands a second would only fill the disk.
  static const bool quiet = (platform::SetLogSink([](std::u16string_view) {}), true);
  (void)quiet;
  static const auto device = platform::headless::CreateNullAudioDevice();
  WaveFormat format;
  const uint8_t* samples = nullptr;
  uint32_t sampleBytes = 0;
  if (Sound::ParseWaveResource(data, size, &format, &samples, &sampleBytes)) {
    // What the parser hands out lies inside the input.
    if (samples < data || samples + sampleBytes > data + size) __builtin_trap();
  }
  uint32_t only = 0;
  Sound::ParseWaveResource(data, size, nullptr, nullptr, &only);
  auto buffer = Sound::CreateStaticSoundBuffer(device.get(), data, size);
  if (buffer && buffer->Size() > sampleBytes) __builtin_trap();
  return 0;
}
