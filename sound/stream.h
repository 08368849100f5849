// Streaming channels and stream controls: eight-block rings refilled by the service thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "lib/combase.h"
#include "platform/audio.h"
#include "sound/reader.h"
#include "sound/sound.h"

struct IStreamControl;
struct StreamChannel;

using StreamNotify = uint32_t (*)(StreamChannel* channel, uint32_t event);

// Channel flag bits.
constexpr uint32_t kChannelPlaying = 0x1;
constexpr uint32_t kChannelEnded = 0x2;
constexpr uint32_t kChannelLoop = 0x4;
constexpr uint32_t kChannelStop = 0x8;
constexpr uint32_t kChannelFading = 0x10;

constexpr int32_t kStreamChannelCount = 4;
constexpr uint32_t kRingBlocks = 8;
constexpr uint32_t kAheadBlocks = 4;

// Notification events.
constexpr uint32_t kNotifyBlock = 0;  // the cursor entered the next block: write one block
constexpr uint32_t kNotifyEnd = 1;    // every block of the stream has played

struct StreamChannel {
  int32_t index = 0;
  uint32_t total = 0;      // PCM bytes of one pass of the stream
  uint32_t remaining = 0;  // bytes of the current pass not yet decoded
  uint32_t writePos = 0;   // ring offset of the next block to write
  uint32_t boundary = 0;   // ring offset of the last byte of the block the cursor should be in
  uint64_t played = 0;     // bytes of blocks the cursor has left behind
  uint32_t blockSize = 0;
  uint32_t ringSize = 0;
  uint32_t flags = 0;
  WaveFormat format;  // the stream's format, rate scaled by the speed
  std::unique_ptr<platform::AudioBuffer> buffer;
  StreamNotify notify = nullptr;
  ComRef<IStreamControl> stream;
  int32_t fadeVolume = 0;
  int32_t fadeStep = 0;
  uint32_t fadeTime = 0;
  int32_t id = -1;
};

struct IStreamControl : IUnknown {
  static constexpr InterfaceId kIid{0x3a8e5c10, 0x71d4, 0x4b2f, {0x86, 0x0c, 0x1e, 0x95, 0x4d, 0x27, 0xb3, 0x6a}};
  virtual uint32_t Open(const char16_t* name) = 0;
  virtual uint32_t ReleaseChannel(StreamChannel* channel) = 0;
  virtual uint32_t Play(StreamChannel* channel, uint32_t speed, int32_t volume, int32_t pan, uint32_t loop) = 0;
  virtual uint32_t Rewind(StreamChannel* channel) = 0;
  // Writes bytes bytes of PCM (data, then silence) and returns the bytes decoded; 0 and
  // nothing written for an ended stream that does not loop.
  virtual uint32_t Fill(StreamChannel* channel, uint8_t* buffer, uint32_t bytes) = 0;
  virtual const WaveFormat* GetFormat() = 0;
  virtual uint32_t GetTotalBytes() = 0;
  virtual IStreamReader* GetReader() = 0;
  virtual uint32_t OnNotify(StreamChannel* channel, uint32_t event) = 0;
  virtual uint32_t GetBufferLayout(StreamChannel* channel) = 0;
  virtual uint32_t FillInitial(StreamChannel* channel) = 0;
  virtual void Close() = 0;
};

// What every stream control shares: starting the channel, the first fill, the refill on a
// notification and freeing the channel.
class CStreamControl : public CComImpl<IStreamControl> {
 public:
  explicit CStreamControl(IStreamReader* reader);  // takes over the reader's reference

  HRESULT QueryInterface(const InterfaceId& id, void** out) override;
  uint32_t ReleaseChannel(StreamChannel* channel) override;
  uint32_t Play(StreamChannel* channel, uint32_t speed, int32_t volume, int32_t pan, uint32_t loop) override;
  uint32_t Rewind(StreamChannel* channel) override;
  const WaveFormat* GetFormat() override { return &m_Format; }
  IStreamReader* GetReader() override { return m_Reader.Get(); }
  uint32_t OnNotify(StreamChannel* channel, uint32_t event) override;
  uint32_t FillInitial(StreamChannel* channel) override;
  void Close() override {}

 protected:
  ~CStreamControl() override = default;

  // The decoder side of a control: decode up to bytes bytes of PCM (fewer at the end of the
  // data) and move to a byte offset of the pass.
  virtual uint32_t ReadPcm(uint8_t* buffer, uint32_t bytes) = 0;
  virtual bool SeekPcmBytes(uint32_t offset) = 0;
  // Fill over ReadPcm and SeekPcmBytes: data, then silence; a looping stream runs over its
  // end as often as the buffer needs.
  uint32_t FillFromDecoder(StreamChannel* channel, uint8_t* buffer, uint32_t bytes);
  // Blocks of k/8 seconds of the unscaled format (k = g_StreamBlockCount) and a ring of eight.
  uint32_t ComputeBufferLayout(StreamChannel* channel);

  WaveFormat m_Format;
  ComRef<IStreamReader> m_Reader;
  uint32_t m_Total = 0;
};

struct OggDecoder;

// Ogg Vorbis through vorbisfile, reading through the control's reader.
class CStreamControl_Ogg : public CStreamControl {
 public:
  // Consecutive decode errors after which the data counts as ended.
  static constexpr int kMaxDecodeErrors = 32;
  // Streams longer than this many PCM bytes are refused (the totals are 32-bit).
  static constexpr uint64_t kMaxTotalBytes = 0xFFFFFFFFull;

  explicit CStreamControl_Ogg(IStreamReader* reader);

  uint32_t Open(const char16_t* name) override;
  uint32_t Rewind(StreamChannel* channel) override;
  uint32_t Fill(StreamChannel* channel, uint8_t* buffer, uint32_t bytes) override;
  uint32_t GetTotalBytes() override { return m_Total; }
  uint32_t GetBufferLayout(StreamChannel* channel) override;
  void Close() override;

  uint32_t ReadPcm(uint8_t* buffer, uint32_t bytes) override;

 protected:
  ~CStreamControl_Ogg() override;
  bool SeekPcmBytes(uint32_t offset) override;

 private:
  std::unique_ptr<OggDecoder> m_Decoder;
};

namespace Sound {

CStreamControl_Ogg* CreateOggStream(IStreamReader* reader);

StreamChannel* GetChannel(int32_t index);
int32_t FindFreeChannel();
int32_t NextStreamId();
// The id counter, for tests of its wrap.
void SetStreamIdCounter(int32_t value);

// Converts a stream format for the device; false when it is not one the device plays.
bool ToAudioFormat(const WaveFormat& format, platform::AudioFormat& out);
std::unique_ptr<platform::AudioBuffer> CreateStreamBuffer(const WaveFormat* format, uint32_t bytes);
// Takes over the control's reference: on success the channel owns it, on failure it is released.
int32_t BindStream(int32_t channel, ComRef<IStreamControl> stream, uint32_t speed, int32_t volume, int32_t pan,
                   uint32_t loop);
uint32_t ChannelCallback(StreamChannel* channel, uint32_t event);
void FreeChannel(StreamChannel* channel);
void SilenceAndFreeChannel(StreamChannel* channel);
void ServiceStreams();
// How long the service thread may sleep after a pass: until the first playing stream's cursor
// reaches its next block (10 ms while a fade runs), or no limit (nullopt) with no stream.
// Called with the lock held.
std::optional<std::chrono::milliseconds> NextServiceDelay();
// Wakes the service thread for a pass now, as a stream start does; whatever starts a fade calls
// it too, so that the fade is stepped from its first 100 ms.
void WakeService();
// Passes the service thread has run since the process started (for tests of its sleep).
uint64_t ServicePasses();
// Frees every channel without a pass (start-up and tests).
void ResetChannels();

// The device while sound is available, else null.
platform::AudioDevice* Device();

// The silence byte of a format: 0x80 for 8-bit samples, 0 otherwise.
inline uint8_t SilenceByte(const WaveFormat& format) {
  return format.bitsPerSample == 8 ? 0x80 : 0x00;
}

}  // namespace Sound
