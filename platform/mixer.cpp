// The software mixer shared by the audio devices.
#include "platform/mixer.h"

#include <algorithm>
#include <cmath>

namespace platform {

double CentibelGain(int32_t centibels) {
  if (centibels <= kAudioVolumeMin) return 0.0;
  if (centibels >= 0) return 1.0;
  return std::pow(10.0, centibels / 2000.0);
}

MixerVoice::MixerVoice(const AudioFormat& format, uint32_t bytes)
    : m_Format(format), m_Bytes(bytes, format.bitsPerSample == 8 ? 0x80 : 0) {}

uint32_t MixerVoice::PlayCursor() const {
  return static_cast<uint32_t>((m_Position >> 32) * m_Format.BlockAlign());
}

bool MixerVoice::SetPlayCursor(uint32_t cursor) {
  if (cursor >= Size()) return false;
  m_Position = uint64_t(cursor / m_Format.BlockAlign()) << 32;
  return true;
}

void MixerVoice::SetVolume(int32_t centibels) {
  m_Volume = std::clamp(centibels, kAudioVolumeMin, kAudioVolumeMax);
  UpdateGains();
}

void MixerVoice::SetPan(int32_t centibels) {
  m_Pan = std::clamp(centibels, -10000, 10000);
  UpdateGains();
}

void MixerVoice::UpdateGains() {
  // A pan to one side attenuates the other side only.
  const double gain = CentibelGain(m_Volume);
  m_LeftGain = static_cast<float>(gain * (m_Pan > 0 ? CentibelGain(-m_Pan) : 1.0));
  m_RightGain = static_cast<float>(gain * (m_Pan < 0 ? CentibelGain(m_Pan) : 1.0));
}

namespace {

// One frame of a voice's bytes as a left and a right sample (a mono frame on both sides).
template <uint32_t Bits, uint32_t Channels>
inline void ReadFrame(const uint8_t* bytes, uint64_t frame, float& left, float& right) {
  const uint8_t* p = bytes + frame * (Bits / 8 * Channels);
  if constexpr (Bits == 8) {
    left = static_cast<float>((int(p[0]) - 128) * 256);
    right = Channels == 2 ? static_cast<float>((int(p[1]) - 128) * 256) : left;
  } else {
    left = static_cast<float>(static_cast<int16_t>(p[0] | (p[1] << 8)));
    right = Channels == 2 ? static_cast<float>(static_cast<int16_t>(p[2] | (p[3] << 8))) : left;
  }
}

// What one run of the mixing loop works on and leaves behind.
struct VoiceRun {
  const uint8_t* bytes;
  uint64_t count;  // frames in the buffer
  uint64_t step;   // input frames per output frame, 32.32 fixed point
  bool looping;
  float leftGain, rightGain;
  uint64_t position;
  bool ended = false;  // a one-shot reached its end
};

// The mixing loop for one sample format: each output frame interpolated between the two input
// frames around the position. The frame after the last is the first again when looping; a
// one-shot holds its last.
template <uint32_t Bits, uint32_t Channels>
void MixRun(VoiceRun& run, float* mix, size_t frames) {
  const uint64_t end = run.count << 32;
  const uint64_t last = run.count - 1;
  uint64_t position = run.position;
  for (size_t f = 0; f < frames; ++f) {
    const uint64_t i = position >> 32;
    const float t = static_cast<float>(position & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
    const uint64_t j = i < last ? i + 1 : run.looping ? 0 : i;
    float l0, r0, l1, r1;
    ReadFrame<Bits, Channels>(run.bytes, i, l0, r0);
    ReadFrame<Bits, Channels>(run.bytes, j, l1, r1);
    mix[2 * f] += (l0 + (l1 - l0) * t) * run.leftGain;
    mix[2 * f + 1] += (r0 + (r1 - r0) * t) * run.rightGain;
    position += run.step;
    if (position >= end) {
      if (!run.looping) {
        run.ended = true;
        run.position = 0;
        return;
      }
      position %= end;
    }
  }
  run.position = position;
}

}  // namespace

void MixerVoice::MixInto(float* mix, size_t frames, uint32_t outputRate) {
  const uint32_t align = m_Format.BlockAlign();
  const uint64_t count = align ? m_Bytes.size() / align : 0;
  if (!m_Playing || count == 0 || outputRate == 0) return;
  VoiceRun run{m_Bytes.data(), count,     (uint64_t(m_Format.sampleRate) << 32) / outputRate, m_Looping, m_LeftGain,
               m_RightGain,    m_Position};
  const bool stereo = m_Format.channels == 2;
  if (m_Format.bitsPerSample == 8)
    stereo ? MixRun<8, 2>(run, mix, frames) : MixRun<8, 1>(run, mix, frames);
  else
    stereo ? MixRun<16, 2>(run, mix, frames) : MixRun<16, 1>(run, mix, frames);
  m_Position = run.position;
  if (run.ended) m_Playing = false;
}

void Mixer::SetMasterVolume(int32_t centibels) {
  m_Master = std::clamp(centibels, kAudioVolumeMin, kAudioVolumeMax);
  m_MasterGain = static_cast<float>(CentibelGain(m_Master));
}

void Mixer::Render(std::span<MixerVoice* const> voices, int16_t* out, size_t frames) {
  Reserve(frames);
  float* mix = m_Mix.data();
  std::fill(mix, mix + frames * 2, 0.0f);
  for (MixerVoice* voice : voices) voice->MixInto(mix, frames, m_Rate);
  // Rounded to the nearest (ties to even, as lrint in the usual rounding mode) by adding and
  // taking away 1.5 * 2^23, where a float has no bits below the unit: no library call a
  // sample, and a loop the compiler can vectorise.
  constexpr float kRound = 12582912.0f;
  for (size_t i = 0; i < frames * 2; ++i) {
    const float v = std::clamp(mix[i] * m_MasterGain, -32768.0f, 32767.0f);
    out[i] = static_cast<int16_t>(static_cast<int32_t>((v + kRound) - kRound));
  }
}

bool Mixer::Audible(std::span<MixerVoice* const> voices) {
  return std::any_of(voices.begin(), voices.end(), [](const MixerVoice* voice) { return voice->Playing(); });
}

}  // namespace platform
