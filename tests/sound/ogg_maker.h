// Makes Ogg Vorbis files in memory with libvorbisenc, for tests, benchmarks and fuzz seeds.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/samplebuild/oggencode.h"

namespace testing_ogg {

// Encodes interleaved 16-bit samples (frames × channels) at the rate.
inline std::vector<uint8_t> EncodeOgg(int channels, long rate, const std::vector<int16_t>& samples,
                                      float quality = 0.3f) {
  std::vector<uint8_t> out;
  const size_t frames = channels > 0 ? samples.size() / size_t(channels) : 0;
  const oggencode::Format format{channels, rate, quality, 12345, nullptr};
  auto fill = [&](float** buffer, size_t first, size_t count) {
    for (size_t i = 0; i < count; ++i)
      for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(first + i) * size_t(channels) + size_t(c)] / 32768.0f;
  };
  if (!oggencode::Encode(format, frames, fill, out)) out.clear();
  return out;
}

// A sine tone of the frequency, amplitude 0..1, on every channel.
inline std::vector<int16_t> Tone(int channels, long rate, double seconds, double frequency, double amplitude) {
  const size_t frames = static_cast<size_t>(seconds * rate);
  std::vector<int16_t> samples(frames * channels);
  for (size_t i = 0; i < frames; ++i) {
    const double v = amplitude * std::sin(2.0 * M_PI * frequency * double(i) / double(rate));
    for (int c = 0; c < channels; ++c) samples[i * channels + c] = static_cast<int16_t>(std::lround(v * 32767.0));
  }
  return samples;
}

}  // namespace testing_ogg
