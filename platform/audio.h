// The audio device service: PCM buffers that play on their own, and the device that mixes them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

// Result codes of the audio service, in the classic HRESULT numbering the sound layer shows.
constexpr int32_t kAudioOk = 0;
constexpr int32_t kAudioFail = static_cast<int32_t>(0x80004005u);
constexpr int32_t kAudioOutOfMemory = static_cast<int32_t>(0x8007000Eu);
constexpr int32_t kAudioInvalidParam = static_cast<int32_t>(0x80070057u);
constexpr int32_t kAudioBufferLost = static_cast<int32_t>(0x88780096u);

// Uncompressed PCM: 8-bit unsigned or 16-bit signed little-endian samples, interleaved.
struct AudioFormat {
  uint16_t channels = 2;  // 1 or 2
  uint32_t sampleRate = 44100;
  uint16_t bitsPerSample = 16;  // 8 or 16

  uint32_t BlockAlign() const { return uint32_t(channels) * (bitsPerSample / 8u); }
  bool IsValid() const {
    return (channels == 1 || channels == 2) && (bitsPerSample == 8 || bitsPerSample == 16) && sampleRate >= 1 &&
           sampleRate <= 10000000;
  }
};

// Status bits of a buffer.
constexpr uint32_t kAudioStatusPlaying = 0x1;
constexpr uint32_t kAudioStatusLost = 0x2;
constexpr uint32_t kAudioStatusLooping = 0x4;

// Volumes and pans are in hundredths of a decibel: volume 0 is full, -10000 silent; pan
// -10000 (left only) .. 0 (centre) .. 10000 (right only), attenuating the other side.
constexpr int32_t kAudioVolumeMin = -10000;
constexpr int32_t kAudioVolumeMax = 0;

// One locked part of a buffer's ring.
struct AudioRegion {
  uint8_t* data = nullptr;
  uint32_t size = 0;
};

// A ring of PCM bytes the device plays from its play cursor. Looping playback wraps at the
// end; one-shot playback stops there.
class AudioBuffer {
 public:
  virtual ~AudioBuffer() = default;

  virtual const AudioFormat& Format() const = 0;
  virtual uint32_t Size() const = 0;

  // Gives write access to bytes [offset, offset + bytes) of the ring. When the range runs
  // past the end, the rest starts again at 0 as a second region; with second null only the
  // first region is given (cut at the end of the ring). The regions hold the buffer's
  // current contents. False when the range does not fit or the buffer is lost.
  virtual bool Lock(uint32_t offset, uint32_t bytes, AudioRegion& first, AudioRegion* second) = 0;
  // Publishes what was written into the regions of the last Lock.
  virtual bool Unlock(const AudioRegion& first, const AudioRegion* second) = 0;

  virtual bool Play(bool looping) = 0;
  virtual bool Stop() = 0;
  virtual uint32_t Status() = 0;  // kAudioStatus* bits
  virtual bool Restore() = 0;     // a lost buffer comes back (its bytes are to be rewritten)

  virtual bool PlayCursor(uint32_t& cursor) = 0;  // byte offset the device reads next
  virtual bool SetPlayCursor(uint32_t cursor) = 0;

  virtual bool SetVolume(int32_t centibels) = 0;  // clamped to -10000..0
  virtual bool SetPan(int32_t centibels) = 0;     // clamped to -10000..10000
  virtual int32_t Volume() const = 0;
  virtual int32_t Pan() const = 0;
};

// The output device: makes buffers and mixes every playing one into its output.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;

  // The format of the device's own output; a failing code when it cannot be produced.
  virtual int32_t SetOutputFormat(const AudioFormat& format) = 0;
  virtual AudioFormat OutputFormat() const = 0;
  // Starts (or resumes) the output.
  virtual int32_t Start() = 0;
  virtual void StopOutput() = 0;

  // A buffer of bytes bytes (a whole number of sample frames) in format; kAudioOk and the
  // buffer in out, or a failing code and out empty.
  virtual int32_t CreateBuffer(const AudioFormat& format, uint32_t bytes, std::unique_ptr<AudioBuffer>& out) = 0;

  virtual void SetMasterVolume(int32_t centibels) = 0;
  virtual int32_t MasterVolume() const = 0;
};

// Opens the output device at a sample rate; null when no device can be opened.
using AudioDeviceFactory = std::function<std::unique_ptr<AudioDevice>(uint32_t sampleRate)>;

namespace sdl {
// One SDL output device at the rate, 16-bit stereo, mixed in SDL's audio callback. Null when
// SDL's audio cannot be started or no device opens.
std::unique_ptr<AudioDevice> CreateAudioDevice(uint32_t sampleRate);
}  // namespace sdl

namespace headless {

// A buffer of the null device. Nothing plays it: the test moves its play cursor and reads
// its bytes.
class NullAudioBuffer : public AudioBuffer {
 public:
  virtual const std::vector<uint8_t>& Bytes() const = 0;
  virtual bool Playing() const = 0;
  virtual bool Looping() const = 0;
  virtual void MarkLost() = 0;             // as when the device loses the buffer's memory
  virtual void FailLocks(bool fail) = 0;   // every Lock fails while set
  virtual void FailCursor(bool fail) = 0;  // PlayCursor fails while set
  virtual uint32_t RestoreCount() const = 0;
};

// A device without a thread or output. Creation can be told to fail for the next buffer.
class NullAudioDevice : public AudioDevice {
 public:
  virtual void FailNextCreate(int32_t code) = 0;
  virtual void FailOutputFormat(int32_t code) = 0;  // SetOutputFormat answers code
  virtual bool Started() const = 0;
  virtual size_t LiveBuffers() const = 0;
  // Writes frames frames of 16-bit stereo at the output rate into out, exactly as an output
  // device playing these buffers would: every playing buffer, oldest first, through the shared
  // mixer, their cursors moving on. Whether the device was started does not matter.
  virtual void Render(int16_t* out, size_t frames) = 0;
};

std::unique_ptr<NullAudioDevice> CreateNullAudioDevice();

}  // namespace headless

}  // namespace platform
