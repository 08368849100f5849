// The SDL audio device: the shared software mixer run from SDL's audio callback over every buffer.
#include <SDL.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/audio.h"
#include "platform/mixer.h"

namespace platform::sdl {
namespace {

// What the callback shares with the buffers. The mutex guards every buffer's voice and the
// mixer; it is held by the callback for one mix and by Lock/Unlock for one copy.
//
// While no voice plays, the callback does not return: it waits on audible until a buffer starts
// playing, so SDL's audio thread sleeps instead of turning out silence many times a second (a
// paused SDL device still runs its thread). The last block it gave ended in silence, so the
// output stops without a click; the voice that wakes it is mixed from its first frame. SDL
// holds the device's own lock around the callback, so pausing or closing the device first sets
// release, which lets the callback return at once.
struct MixerCore {
  std::mutex mutex;
  std::condition_variable audible;
  bool release = false;
  std::vector<MixerVoice*> voices;  // of the live buffers, registered by their constructors
  Mixer mixer;
};

// Runs an SDL call that takes the device's lock while the callback is let go.
template <typename Call>
void WithCallbackReleased(MixerCore& core, Call call) {
  {
    std::lock_guard<std::mutex> guard(core.mutex);
    core.release = true;
  }
  core.audible.notify_all();
  call();
  std::lock_guard<std::mutex> guard(core.mutex);
  core.release = false;
}

class SdlBuffer final : public AudioBuffer {
 public:
  SdlBuffer(std::shared_ptr<MixerCore> core, const AudioFormat& format, uint32_t bytes)
      : m_Core(std::move(core)), m_Voice(format, bytes) {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Core->voices.push_back(&m_Voice);
  }
  ~SdlBuffer() override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    auto& list = m_Core->voices;
    list.erase(std::remove(list.begin(), list.end(), &m_Voice), list.end());
  }

  // The format and size never change, so they are read without the mutex.
  const AudioFormat& Format() const override { return m_Voice.Format(); }
  uint32_t Size() const override { return m_Voice.Size(); }

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
      const uint8_t* ring = m_Voice.Bytes().data();
      std::memcpy(m_Staging.data(), ring + offset, firstSize);
      if (secondSize) std::memcpy(m_Staging.data() + firstSize, ring, secondSize);
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
    uint8_t* ring = m_Voice.Bytes().data();
    std::memcpy(ring + m_LockOffset, m_Staging.data(), firstSize);
    if (secondSize) std::memcpy(ring, m_Staging.data() + firstSize, secondSize);
    return true;
  }

  bool Play(bool looping) override {
    {
      std::lock_guard<std::mutex> guard(m_Core->mutex);
      m_Voice.Play(looping);
    }
    m_Core->audible.notify_all();
    return true;
  }
  bool Stop() override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Voice.Stop();
    return true;
  }
  uint32_t Status() override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    uint32_t status = 0;
    if (m_Voice.Playing()) status |= kAudioStatusPlaying;
    if (m_Voice.Playing() && m_Voice.Looping()) status |= kAudioStatusLooping;
    return status;  // memory of our own is never lost
  }
  bool Restore() override { return true; }

  bool PlayCursor(uint32_t& cursor) override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    cursor = m_Voice.PlayCursor();
    return true;
  }
  bool SetPlayCursor(uint32_t cursor) override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    return m_Voice.SetPlayCursor(cursor);
  }

  bool SetVolume(int32_t centibels) override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Voice.SetVolume(centibels);
    return true;
  }
  bool SetPan(int32_t centibels) override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    m_Voice.SetPan(centibels);
    return true;
  }
  int32_t Volume() const override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    return m_Voice.Volume();
  }
  int32_t Pan() const override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    return m_Voice.Pan();
  }

 private:
  std::shared_ptr<MixerCore> m_Core;
  MixerVoice m_Voice;  // guarded by the core's mutex
  std::vector<uint8_t> m_Staging;
  uint32_t m_LockOffset = 0;
  bool m_Locked = false;
};

void AudioCallback(void* userdata, Uint8* stream, int len) {
  auto* core = static_cast<MixerCore*>(userdata);
  std::unique_lock<std::mutex> guard(core->mutex);
  core->audible.wait(guard, [core] { return core->release || Mixer::Audible(core->voices); });
  core->mixer.Render(core->voices, reinterpret_cast<int16_t*>(stream), static_cast<size_t>(len) / 4);
}

class SdlDevice final : public AudioDevice {
 public:
  ~SdlDevice() override {
    Close();
    if (m_QuitOnClose) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  static std::unique_ptr<AudioDevice> Create(uint32_t rate) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    std::unique_ptr<SdlDevice> device(new SdlDevice());
    if (!device->Open(rate)) {
      // Without a device the subsystem stays up until SDL ends: quitting it here would wait
      // on the driver's device watcher, which sleeps a tenth of a second at a time, and hold
      // up the start of a game that has no sound card.
      device->m_QuitOnClose = false;
      return nullptr;
    }
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
    WithCallbackReleased(*m_Core, [this] { SDL_PauseAudioDevice(m_Device, 0); });
    return kAudioOk;
  }
  void StopOutput() override {
    if (m_Device) WithCallbackReleased(*m_Core, [this] { SDL_PauseAudioDevice(m_Device, 1); });
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
    m_Core->mixer.SetMasterVolume(centibels);
  }
  int32_t MasterVolume() const override {
    std::lock_guard<std::mutex> guard(m_Core->mutex);
    return m_Core->mixer.MasterVolume();
  }

 private:
  SdlDevice() = default;

  bool Open(uint32_t rate) {
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_S16SYS;  // the mixer writes native int16_t
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
      m_Core->mixer.SetOutputRate(rate);
      m_Core->mixer.Reserve(have.samples);
    }
    m_Output.channels = 2;
    m_Output.bitsPerSample = 16;
    m_Output.sampleRate = rate;
    return true;
  }

  void Close() {
    // Waits for a running callback, which is let go first.
    if (m_Device) WithCallbackReleased(*m_Core, [this] { SDL_CloseAudioDevice(m_Device); });
    m_Device = 0;
  }

  std::shared_ptr<MixerCore> m_Core = std::make_shared<MixerCore>();
  SDL_AudioDeviceID m_Device = 0;
  AudioFormat m_Output;
  bool m_QuitOnClose = true;
};

}  // namespace

std::unique_ptr<AudioDevice> CreateAudioDevice(uint32_t sampleRate) {
  return SdlDevice::Create(sampleRate);
}

}  // namespace platform::sdl
