// The SDL audio device: a software mixer in SDL's audio callback over every playing buffer.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/audio.h"

namespace platform::sdl {
namespace {

// 10^(cB / 2000), the amplitude of a volume in hundredths of a decibel; nothing at -10000.
double Gain(int32_t centibels) {
  if (centibels <= kAudioVolumeMin) return 0.0;
  if (centibels >= 0) return 1.0;
  return std::pow(10.0, centibels / 2000.0);
}

class SdlBuffer;

// What the callback shares with the buffers. The mutex guards every buffer's bytes, cursor
// and settings; it is held by the callback for one mix and by Lock/Unlock for one copy.
struct MixerCore {
  std::mutex mutex;
  std::vector<SdlBuffer*> buffers;  // live buffers, registered by their constructors
  double masterGain = 1.0;
  int32_t master = 0;
  uint32_t outputRate = 44100;
  std::vector<float> mix;  // the callback's accumulator, interleaved stereo
};

class SdlBuffer final : public AudioBuffer {
 public:
  SdlBuffer(std::shared_ptr<MixerCore> core, const AudioFormat& format, uint32_t bytes)
      : m_Core(std::move(core)), m_Format(format), m_Bytes(bytes, format.bitsPerSample == 8 ? 0x80 : 0) {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Core->buffers.push_back(this);
  }
  ~SdlBuffer() override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    auto& list = m_Core->buffers;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }

  const AudioFormat& Format() const override { return m_Format; }
  uint32_t Size() const override { return static_cast<uint32_t>(m_Bytes.size()); }

  // The regions handed out are a copy of the ring's bytes, published again by Unlock, so the
  // callback never waits while the caller decodes into them.
  bool Lock(uint32_t offset, uint32_t bytes, AudioRegion& first, AudioRegion* second) override {
    first = {};
    if (second) *second = {};
    const uint32_t size = Size();
    if (m_Locked || offset >= size || bytes == 0 || bytes > size) return false;
    const uint32_t firstSize = std::min(bytes, size - offset);
    const uint32_t secondSize = second ? bytes - firstSize : 0;
    m_Staging.resize(firstSize + secondSize);
    {
      std::lock_guard<std::mutex> guard(m_Core->mutex);
      std::memcpy(m_Staging.data(), m_Bytes.data() + offset, firstSize);
      if (secondSize) std::memcpy(m_Staging.data() + firstSize, m_Bytes.data(), secondSize);
    }
    m_Locked = true;
    m_LockOffset = offset;
    first = {m_Staging.data(), firstSize};
    if (second && secondSize) *second = {m_Staging.data() + firstSize, secondSize};
    return true;
  }

  bool Unlock(const AudioRegion& first, const AudioRegion* second) override {
    if (!m_Locked) return false;
    m_Locked = false;
    const uint32_t firstSize = std::min<uint32_t>(first.size, static_cast<uint32_t>(m_Staging.size()));
    const uint32_t secondSize =
        second ? std::min<uint32_t>(second->size, static_cast<uint32_t>(m_Staging.size()) - firstSize) : 0;
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    std::memcpy(m_Bytes.data() + m_LockOffset, m_Staging.data(), firstSize);
    if (secondSize) std::memcpy(m_Bytes.data(), m_Staging.data() + firstSize, secondSize);
    return true;
  }

  bool Play(bool looping) override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Playing = true;
    m_Looping = looping;
    return true;
  }
  bool Stop() override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Playing = false;
    return true;
  }
  uint32_t Status() override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    uint32_t status = 0;
    if (m_Playing) status |= kAudioStatusPlaying;
    if (m_Playing && m_Looping) status |= kAudioStatusLooping;
    return status;  // memory of our own is never lost
  }
  bool Restore() override { return true; }

  bool PlayCursor(uint32_t& cursor) override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    cursor = static_cast<uint32_t>((m_Position >> 32) * m_Format.BlockAlign());
    return true;
  }
  bool SetPlayCursor(uint32_t cursor) override {
    if (cursor >= Size()) return false;
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Position = uint64_t(cursor / m_Format.BlockAlign()) << 32;
    return true;
  }

  bool SetVolume(int32_t centibels) override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Volume = std::clamp(centibels, kAudioVolumeMin, kAudioVolumeMax);
    UpdateGains();
    return true;
  }
  bool SetPan(int32_t centibels) override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Pan = std::clamp(centibels, -10000, 10000);
    UpdateGains();
    return true;
  }
  int32_t Volume() const override { return m_Volume; }
  int32_t Pan() const override { return m_Pan; }

  // Adds frames frames of this buffer, resampled to the output rate, into mix. Called by
  // the callback with the mutex held.
  void MixInto(float* mix, size_t frames, uint32_t outputRate) {
    const uint64_t count = m_Bytes.size() / m_Format.BlockAlign();
    if (!m_Playing || count == 0 || outputRate == 0) return;
    const uint64_t step = (uint64_t(m_Format.sampleRate) << 32) / outputRate;
    const uint64_t end = count << 32;
    const bool stereo = m_Format.channels == 2;
    for (size_t f = 0; f < frames; ++f) {
      const uint64_t i = m_Position >> 32;
      const float t = static_cast<float>(m_Position & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
      uint64_t j = i + 1;
      if (j >= count) j = m_Looping ? 0 : i;
      float l0, r0, l1, r1;
      Sample(i, stereo, l0, r0);
      Sample(j, stereo, l1, r1);
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

 private:
  void UpdateGains() {
    const double gain = Gain(m_Volume);
    m_LeftGain = static_cast<float>(gain * (m_Pan > 0 ? Gain(-m_Pan) : 1.0));
    m_RightGain = static_cast<float>(gain * (m_Pan < 0 ? Gain(m_Pan) : 1.0));
  }

  void Sample(uint64_t frame, bool stereo, float& left, float& right) const {
    const uint8_t* p = m_Bytes.data() + frame * m_Format.BlockAlign();
    if (m_Format.bitsPerSample == 8) {
      left = static_cast<float>((int(p[0]) - 128) * 256);
      right = stereo ? static_cast<float>((int(p[1]) - 128) * 256) : left;
    } else {
      left = static_cast<float>(static_cast<int16_t>(p[0] | (p[1] << 8)));
      right = stereo ? static_cast<float>(static_cast<int16_t>(p[2] | (p[3] << 8))) : left;
    }
  }

  std::shared_ptr<MixerCore> m_Core;
  AudioFormat m_Format;
  std::vector<uint8_t> m_Bytes;
  std::vector<uint8_t> m_Staging;
  uint32_t m_LockOffset = 0;
  bool m_Locked = false;
  uint64_t m_Position = 0;  // sample frames, 32.32 fixed point
  bool m_Playing = false;
  bool m_Looping = false;
  int32_t m_Volume = 0;
  int32_t m_Pan = 0;
  float m_LeftGain = 1.0f;
  float m_RightGain = 1.0f;
};

void AudioCallback(void* userdata, Uint8* stream, int len) {
  auto* core = static_cast<MixerCore*>(userdata);
  const size_t frames = static_cast<size_t>(len) / 4;
  std::lock_guard<std::mutex> guard(core->mutex);
  if (core->mix.size() < frames * 2) core->mix.resize(frames * 2);
  float* mix = core->mix.data();
  std::fill(mix, mix + frames * 2, 0.0f);
  for (SdlBuffer* buffer : core->buffers) buffer->MixInto(mix, frames, core->outputRate);
  const float master = static_cast<float>(core->masterGain);
  for (size_t i = 0; i < frames * 2; ++i) {
    const float v = std::clamp(mix[i] * master, -32768.0f, 32767.0f);
    const int16_t s = static_cast<int16_t>(std::lrint(v));
    stream[2 * i] = static_cast<Uint8>(s & 0xFF);
    stream[2 * i + 1] = static_cast<Uint8>((s >> 8) & 0xFF);
  }
}

class SdlDevice final : public AudioDevice {
 public:
  ~SdlDevice() override {
    Close();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  static std::unique_ptr<AudioDevice> Create(uint32_t rate) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    std::unique_ptr<SdlDevice> device(new SdlDevice());
    if (!device->Open(rate)) return nullptr;  // the destructor quits the subsystem again
    return device;
  }

  int32_t SetOutputFormat(const AudioFormat& format) override {
    if (!format.IsValid()) return kAudioInvalidParam;
    // The mixer always writes 16-bit stereo; only the rate is the device's own.
    if (format.sampleRate != m_Output.sampleRate) {
      Close();
      if (!Open(format.sampleRate)) return kAudioFail;
    }
    return kAudioOk;
  }
  AudioFormat OutputFormat() const override { return m_Output; }

  int32_t Start() override {
    if (!m_Device) return kAudioFail;
    SDL_PauseAudioDevice(m_Device, 0);
    return kAudioOk;
  }
  void StopOutput() override {
    if (m_Device) SDL_PauseAudioDevice(m_Device, 1);
  }

  int32_t CreateBuffer(const AudioFormat& format, uint32_t bytes, std::unique_ptr<AudioBuffer>& out) override {
    out.reset();
    if (!format.IsValid() || bytes == 0 || bytes % format.BlockAlign() != 0) return kAudioInvalidParam;
    try {
      out = std::make_unique<SdlBuffer>(m_Core, format, bytes);
    } catch (const std::bad_alloc&) {
      return kAudioOutOfMemory;
    }
    return kAudioOk;
  }

  void SetMasterVolume(int32_t centibels) override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Core->master = std::clamp(centibels, kAudioVolumeMin, kAudioVolumeMax);
    m_Core->masterGain = Gain(m_Core->master);
  }
  int32_t MasterVolume() const override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    return m_Core->master;
  }

 private:
  SdlDevice() = default;

  bool Open(uint32_t rate) {
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_S16LSB;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &AudioCallback;
    want.userdata = m_Core.get();
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware wants.
    m_Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_Device == 0) return false;
    {
      std::lock_guard<std::mutex> guard(m_Core->mutex);
      m_Core->outputRate = rate;
      m_Core->mix.assign(size_t(have.samples) * 2, 0.0f);
    }
    m_Output.channels = 2;
    m_Output.bitsPerSample = 16;
    m_Output.sampleRate = rate;
    return true;
  }

  void Close() {
    if (m_Device) SDL_CloseAudioDevice(m_Device);  // waits for a running callback
    m_Device = 0;
  }

  std::shared_ptr<MixerCore> m_Core = std::make_shared<MixerCore>();
  SDL_AudioDeviceID m_Device = 0;
  AudioFormat m_Output;
};

}  // namespace

std::unique_ptr<AudioDevice> CreateAudioDevice(uint32_t sampleRate) {
  return SdlDevice::Create(sampleRate);
}

}  // namespace platform::sdl
