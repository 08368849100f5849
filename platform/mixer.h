// The software mixer: the buffers of an audio device resampled to the output rate, turned by
// volume and pan, summed and scaled by the master volume into 16-bit stereo. The SDL device runs
// it from its audio callback; the null device runs it when a test asks for samples.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/audio.h"

namespace platform {

// The amplitude of a volume in hundredths of a decibel, 10^(cB / 2000); 0 at -10000 and below.
double CentibelGain(int32_t centibels);

// One buffer as the mixer sees it: its bytes, its play position and state, its gains. Not
// locked: the owner guards it as its device requires.
class MixerVoice {
 public:
  // Bytes start as silence of the format (0x80 for 8-bit samples, 0 for 16-bit ones).
  MixerVoice(const AudioFormat& format, uint32_t bytes);

  const AudioFormat& Format() const { return m_Format; }
  std::vector<uint8_t>& Bytes() { return m_Bytes; }
  const std::vector<uint8_t>& Bytes() const { return m_Bytes; }
  uint32_t Size() const { return static_cast<uint32_t>(m_Bytes.size()); }

  void Play(bool looping) {
    m_Playing = true;
    m_Looping = looping;
  }
  void Stop() { m_Playing = false; }
  bool Playing() const { return m_Playing; }
  bool Looping() const { return m_Looping; }

  // The byte offset of the frame played next.
  uint32_t PlayCursor() const;
  // Moves to the frame holding the byte (its fraction cleared); false beyond the end.
  bool SetPlayCursor(uint32_t cursor);

  void SetVolume(int32_t centibels);  // clamped to -10000..0
  void SetPan(int32_t centibels);     // clamped to -10000..10000
  int32_t Volume() const { return m_Volume; }
  int32_t Pan() const { return m_Pan; }

  // Adds frames output frames of this voice into mix (interleaved stereo), resampled to
  // outputRate by linear interpolation, and moves the position on. A looping voice wraps; a
  // one-shot voice stops at its end with its cursor back at 0.
  void MixInto(float* mix, size_t frames, uint32_t outputRate);

 private:
  void UpdateGains();

  AudioFormat m_Format;
  std::vector<uint8_t> m_Bytes;
  uint64_t m_Position = 0;  // sample frames, 32.32 fixed point
  bool m_Playing = false;
  bool m_Looping = false;
  int32_t m_Volume = 0;
  int32_t m_Pan = 0;
  float m_LeftGain = 1.0f;
  float m_RightGain = 1.0f;
};

// The output side: rate, master volume and the accumulator. Not locked either.
class Mixer {
 public:
  void SetOutputRate(uint32_t rate) { m_Rate = rate; }
  uint32_t OutputRate() const { return m_Rate; }
  void SetMasterVolume(int32_t centibels);  // clamped to -10000..0
  int32_t MasterVolume() const { return m_Master; }
  // Makes room for renders of up to frames frames, so that they do not allocate.
  void Reserve(size_t frames) { m_Mix.resize(std::max(m_Mix.size(), frames * 2)); }

  // Writes frames frames of 16-bit stereo (left, right, ...) into out: every playing voice
  // mixed, scaled by the master volume, rounded and clipped. The voices' positions move on.
  void Render(std::span<MixerVoice* const> voices, int16_t* out, size_t frames);
  // Whether a render of these voices would make any sound: false when none is playing, so an
  // output may sleep instead of rendering silence.
  static bool Audible(std::span<MixerVoice* const> voices);

 private:
  uint32_t m_Rate = 44100;
  int32_t m_Master = 0;
  float m_MasterGain = 1.0f;
  std::vector<float> m_Mix;
};

}  // namespace platform
