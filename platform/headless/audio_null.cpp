// The null audio device: buffers in memory, no output and no thread; the test moves the cursors.
#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

#include "platform/audio.h"

namespace platform::headless {
namespace {

class NullBuffer final : public NullAudioBuffer {
 public:
  NullBuffer(std::shared_ptr<std::atomic<size_t>> live, const AudioFormat& format, uint32_t bytes)
      : m_Live(std::move(live)), m_Format(format), m_Bytes(bytes, 0) {
    ++*m_Live;
  }
  ~NullBuffer() override { --*m_Live; }

  const AudioFormat& Format() const override { return m_Format; }
  uint32_t Size() const override { return static_cast<uint32_t>(m_Bytes.size()); }

  bool Lock(uint32_t offset, uint32_t bytes, AudioRegion& first, AudioRegion* second) override {
    first = {};
    if (second) *second = {};
    const uint32_t size = Size();
    if (m_Lost || m_FailLocks || offset >= size || bytes == 0 || bytes > size) return false;
    const uint32_t firstSize = std::min(bytes, size - offset);
    first = {m_Bytes.data() + offset, firstSize};
    if (second && firstSize < bytes) *second = {m_Bytes.data(), bytes - firstSize};
    return true;
  }
  bool Unlock(const AudioRegion&, const AudioRegion*) override { return true; }

  bool Play(bool looping) override {
    if (m_Lost) return false;
    m_Playing = true;
    m_Looping = looping;
    return true;
  }
  bool Stop() override {
    m_Playing = false;
    return true;
  }
  uint32_t Status() override {
    uint32_t status = 0;
    if (m_Playing) status |= kAudioStatusPlaying;
    if (m_Playing && m_Looping) status |= kAudioStatusLooping;
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
    cursor = m_Cursor;
    return true;
  }
  bool SetPlayCursor(uint32_t cursor) override {
    if (cursor >= Size()) return false;
    m_Cursor = cursor - cursor % m_Format.BlockAlign();
    return true;
  }

  bool SetVolume(int32_t centibels) override {
    m_Volume = std::clamp(centibels, kAudioVolumeMin, kAudioVolumeMax);
    return true;
  }
  bool SetPan(int32_t centibels) override {
    m_Pan = std::clamp(centibels, -10000, 10000);
    return true;
  }
  int32_t Volume() const override { return m_Volume; }
  int32_t Pan() const override { return m_Pan; }

  const std::vector<uint8_t>& Bytes() const override { return m_Bytes; }
  bool Playing() const override { return m_Playing; }
  bool Looping() const override { return m_Looping; }
  void MarkLost() override {
    m_Lost = true;
    m_Playing = false;
  }
  void FailLocks(bool fail) override { m_FailLocks = fail; }
  void FailCursor(bool fail) override { m_FailCursor = fail; }
  uint32_t RestoreCount() const override { return m_Restores; }

 private:
  std::shared_ptr<std::atomic<size_t>> m_Live;
  AudioFormat m_Format;
  std::vector<uint8_t> m_Bytes;
  uint32_t m_Cursor = 0;
  int32_t m_Volume = 0;
  int32_t m_Pan = 0;
  uint32_t m_Restores = 0;
  bool m_Playing = false;
  bool m_Looping = false;
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
    out = std::make_unique<NullBuffer>(m_Live, format, bytes);
    return kAudioOk;
  }

  void SetMasterVolume(int32_t centibels) override {
    m_Master = std::clamp(centibels, kAudioVolumeMin, kAudioVolumeMax);
  }
  int32_t MasterVolume() const override { return m_Master; }

  void FailNextCreate(int32_t code) override { m_FailNext = code; }
  void FailOutputFormat(int32_t code) override { m_FormatResult = code; }
  bool Started() const override { return m_Started; }
  size_t LiveBuffers() const override { return m_Live->load(); }

 private:
  std::shared_ptr<std::atomic<size_t>> m_Live = std::make_shared<std::atomic<size_t>>(0);
  AudioFormat m_Output;
  int32_t m_Master = 0;
  int32_t m_FailNext = kAudioOk;
  int32_t m_FormatResult = kAudioOk;
  bool m_Started = false;
};

}  // namespace

std::unique_ptr<NullAudioDevice> CreateNullAudioDevice() {
  return std::make_unique<NullDevice>();
}

}  // namespace platform::headless
