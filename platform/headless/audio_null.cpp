// The null audio device: buffers in memory, no output and no thread; the test moves the cursors,
// or renders through the shared mixer what an output device would play.
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/audio.h"
#include "platform/mixer.h"

namespace platform::headless {
namespace {

// The live buffers of one device, in creation order, for the render. The mutex guards the
// list only: a buffer's own state is the test's to keep still while it renders.
struct BufferList {
  std::mutex mutex;
  std::vector<MixerVoice*> voices;
  std::atomic<size_t> live{0};
};

class NullBuffer final : public NullAudioBuffer {
 public:
  NullBuffer(std::shared_ptr<BufferList> list, const AudioFormat& format, uint32_t bytes)
      : m_List(std::move(list)), m_Voice(format, bytes) {
    std::lock_guard<std::mutex> guard(m_List->mutex);
    m_List->voices.push_back(&m_Voice);
    ++m_List->live;
  }
  ~NullBuffer() override {
    std::lock_guard<std::mutex> guard(m_List->mutex);
    auto& voices = m_List->voices;
    voices.erase(std::remove(voices.begin(), voices.end(), &m_Voice), voices.end());
    --m_List->live;
  }

  const AudioFormat& Format() const override { return m_Voice.Format(); }
  uint32_t Size() const override { return m_Voice.Size(); }

  bool Lock(uint32_t offset, uint32_t bytes, AudioRegion& first, AudioRegion* second) override {
    first = {};
    if (second) *second = {};
    const uint32_t size = Size();
    if (m_Lost || m_FailLocks || offset >= size || bytes == 0 || bytes > size) return false;
    const uint32_t firstSize = std::min(bytes, size - offset);
    uint8_t* ring = m_Voice.Bytes().data();
    first = {ring + offset, firstSize};
    if (second && firstSize < bytes) *second = {ring, bytes - firstSize};
    return true;
  }
  bool Unlock(const AudioRegion&, const AudioRegion*) override { return true; }

  bool Play(bool looping) override {
    if (m_Lost) return false;
    m_Voice.Play(looping);
    return true;
  }
  bool Stop() override {
    m_Voice.Stop();
    return true;
  }
  uint32_t Status() override {
    uint32_t status = 0;
    if (m_Voice.Playing()) status |= kAudioStatusPlaying;
    if (m_Voice.Playing() && m_Voice.Looping()) status |= kAudioStatusLooping;
    if (m_Lost) status |= kAudioStatusLost;
    return status;
  }
  bool Restore() override {
    if (m_Lost) ++m_Restores;
    m_Lost = false;
    return true;
  }

  bool PlayCursor(uint32_t& cursor) override {
    if (m_FailCursor) return false;
    cursor = m_Voice.PlayCursor();
    return true;
  }
  bool SetPlayCursor(uint32_t cursor) override { return m_Voice.SetPlayCursor(cursor); }

  bool SetVolume(int32_t centibels) override {
    m_Voice.SetVolume(centibels);
    return true;
  }
  bool SetPan(int32_t centibels) override {
    m_Voice.SetPan(centibels);
    return true;
  }
  int32_t Volume() const override { return m_Voice.Volume(); }
  int32_t Pan() const override { return m_Voice.Pan(); }

  const std::vector<uint8_t>& Bytes() const override { return m_Voice.Bytes(); }
  bool Playing() const override { return m_Voice.Playing(); }
  bool Looping() const override { return m_Voice.Looping(); }
  void MarkLost() override {
    m_Lost = true;
    m_Voice.Stop();
  }
  void FailLocks(bool fail) override { m_FailLocks = fail; }
  void FailCursor(bool fail) override { m_FailCursor = fail; }
  uint32_t RestoreCount() const override { return m_Restores; }

 private:
  std::shared_ptr<BufferList> m_List;
  MixerVoice m_Voice;
  uint32_t m_Restores = 0;
  bool m_Lost = false;
  bool m_FailLocks = false;
  bool m_FailCursor = false;
};

class NullDevice final : public NullAudioDevice {
 public:
  int32_t SetOutputFormat(const AudioFormat& format) override {
    if (m_FormatResult != kAudioOk) return m_FormatResult;
    if (!format.IsValid()) return kAudioInvalidParam;
    m_Output = format;
    m_Mixer.SetOutputRate(format.sampleRate);
    return kAudioOk;
  }
  AudioFormat OutputFormat() const override { return m_Output; }
  int32_t Start() override {
    m_Started = true;
    return kAudioOk;
  }
  void StopOutput() override { m_Started = false; }

  int32_t CreateBuffer(const AudioFormat& format, uint32_t bytes, std::unique_ptr<AudioBuffer>& out) override {
    out.reset();
    if (m_FailNext != kAudioOk) return std::exchange(m_FailNext, kAudioOk);
    if (!format.IsValid() || bytes == 0 || bytes % format.BlockAlign() != 0) return kAudioInvalidParam;
    out = std::make_unique<NullBuffer>(m_List, format, bytes);
    return kAudioOk;
  }

  void SetMasterVolume(int32_t centibels) override { m_Mixer.SetMasterVolume(centibels); }
  int32_t MasterVolume() const override { return m_Mixer.MasterVolume(); }

  void FailNextCreate(int32_t code) override { m_FailNext = code; }
  void FailOutputFormat(int32_t code) override { m_FormatResult = code; }
  bool Started() const override { return m_Started; }
  size_t LiveBuffers() const override { return m_List->live.load(); }

  void Render(int16_t* out, size_t frames) override {
    std::lock_guard<std::mutex> guard(m_List->mutex);
    m_Mixer.Render(m_List->voices, out, frames);
  }

 private:
  std::shared_ptr<BufferList> m_List = std::make_shared<BufferList>();
  AudioFormat m_Output;
  Mixer m_Mixer;
  int32_t m_FailNext = kAudioOk;
  int32_t m_FormatResult = kAudioOk;
  bool m_Started = false;
};

}  // namespace

std::unique_ptr<NullAudioDevice> CreateNullAudioDevice() {
  return std::make_unique<NullDevice>();
}

}  // namespace platform::headless
