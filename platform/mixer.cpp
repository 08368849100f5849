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

void MixerVoice::Sample(uint64_t frame, float& left, float& right) const {
  const uint8_t* p = m_Bytes.data() + frame * m_Format.BlockAlign();
  const bool stereo = m_Format.channels == 2;
  if (m_Format.bitsPerSample == 8) {
    left = static_cast<float>((int(p[0]) - 128) * 256);
    right = stereo ? static_cast<float>((int(p[1]) - 128) * 256) : left;
  } else {
    left = static_cast<float>(static_cast<int16_t>(p[0] | (p[1] << 8)));
    right = stereo ? static_cast<float>(static_cast<int16_t>(p[2] | (p[3] << 8))) : left;
  }
}

void MixerVoice::MixInto(float* mix, size_t frames, uint32_t outputRate) {
  const uint64_t count = m_Bytes.size() / m_Format.BlockAlign();
  if (!m_Playing || count == 0 || outputRate == 0) return;
  const uint64_t step = (uint64_t(m_Format.sampleRate) << 32) / outputRate;
  const uint64_t end = count << 32;
  for (size_t f = 0; f < frames; ++f) {
    const uint64_t i = m_Position >> 32;
    const float t = static_cast<float>(m_Position & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
    // The frame after the last is the first again when looping; a one-shot holds its last.
    uint64_t j = i + 1;
    if (j >= count) j = m_Looping ? 0 : i;
    float l0, r0, l1, r1;
    Sample(i, l0, r0);
    Sample(j, l1, r1);
    mix[2 * f] += (l0 + (l1 - l0) * t) * m_LeftGain;
    mix[2 * f + 1] += (r0 + (r1 - r0) * t) * m_RightGain;
    m_Position += step;
    if (m_Position >= end) {
      if (m_Looping) {
        m_Position %= end;
      } else {
        m_Playing = false;
        m_Position = 0;
        return;
      }
    }
  }
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
  for (size_t i = 0; i < frames * 2; ++i) {
    const float v = std::clamp(mix[i] * m_MasterGain, -32768.0f, 32767.0f);
    out[i] = static_cast<int16_t>(std::lrint(v));
  }
}

bool Mixer::Audible(std::span<MixerVoice* const> voices) {
  return std::any_of(voices.begin(), voices.end(), [](const MixerVoice* voice) { return voice->Playing(); });
}

}  // namespace platform
