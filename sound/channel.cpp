// The four streaming channels: ids, the per-pass service (refill, end, stop, fade) and the channel operations.
#include <algorithm>
#include <cstring>

#include "lib/wstring.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "sound/stream.h"

namespace {

StreamChannel g_StreamChannels[kStreamChannelCount];
int32_t g_StreamIdCounter = 0;

// The channel that holds id, or null. Called with the lock held.
StreamChannel* FindStream(int32_t id) {
  if (id < 0) return nullptr;
  for (StreamChannel& channel : g_StreamChannels) {
    if (channel.id == id) return &channel;
  }
  return nullptr;
}

// Services one channel with a buffer; see ServiceStreams.
void ServiceChannel(StreamChannel& channel) {
  platform::AudioBuffer* buffer = channel.buffer.get();
  if (buffer->Status() & platform::kAudioStatusLost) buffer->Restore();

  if (channel.flags & kChannelFading) {
    const uint32_t now = platform::TimeMs();
    const uint32_t elapsed = now - channel.fadeTime;
    if (elapsed >= 100) {
      if (channel.fadeVolume == 0) {
        channel.flags |= kChannelStop;
      } else {
        const int64_t step = int64_t(elapsed / 100) * channel.fadeStep;
        int64_t volume = channel.fadeVolume - step;
        if (volume < 0) volume = 0;
        channel.fadeVolume = static_cast<int32_t>(volume);
        buffer->SetVolume(Sound::VolumeToDecibels(channel.fadeVolume));
      }
      channel.fadeTime = now;
    }
  }

  if (channel.flags & kChannelStop) {
    Sound::FreeChannel(&channel);
    return;
  }

  uint32_t cursor = 0;
  if (!buffer->PlayCursor(cursor)) return;
  const uint32_t block = channel.blockSize;
  if (channel.boundary + 1 >= channel.ringSize) {
    // The expected block is the last of the ring: only a cursor back in block 0 passes it.
    if (cursor < block) {
      channel.played += block;
      if (channel.notify) channel.notify(&channel, kNotifyBlock);
      if (channel.buffer) channel.boundary = block - 1;
    }
  } else if (cursor > channel.boundary && cursor < uint64_t(channel.boundary) + block) {
    channel.played += block;
    if (channel.notify) channel.notify(&channel, kNotifyBlock);
    if (channel.buffer) channel.boundary = (channel.boundary + block) % channel.ringSize;
  }
  if (!channel.buffer) return;  // the notification freed the channel

  if ((channel.flags & kChannelEnded) && !(channel.flags & kChannelLoop) && channel.played >= channel.total) {
    if (channel.notify) channel.notify(&channel, kNotifyEnd);
  }
}

}  // namespace

namespace Sound {

StreamChannel* GetChannel(int32_t index) {
  if (index < 0 || index >= kStreamChannelCount) return nullptr;
  return &g_StreamChannels[index];
}

int32_t FindFreeChannel() {
  for (int32_t i = 0; i < kStreamChannelCount; ++i) {
    if (!g_StreamChannels[i].buffer) return i;
  }
  return -1;
}

int32_t NextStreamId() {
  g_StreamIdCounter = static_cast<int32_t>((uint32_t(g_StreamIdCounter) + 1u) & 0x7FFFFFFFu);
  return g_StreamIdCounter;
}

void SetStreamIdCounter(int32_t value) {
  g_StreamIdCounter = value;
}

void ResetChannels() {
  Lock();
  for (int32_t i = 0; i < kStreamChannelCount; ++i) {
    FreeChannel(&g_StreamChannels[i]);
    g_StreamChannels[i] = StreamChannel{};
    g_StreamChannels[i].index = i;
  }
  Unlock();
}

int32_t ChannelId(int32_t channel) {
  StreamChannel* record = GetChannel(channel);
  if (!record) return -1;
  // Under the lock as well: the service thread clears the id when a stream ends.
  Lock();
  const int32_t id = record->id;
  Unlock();
  return id;
}

uint32_t IsStreamPlaying(int32_t id) {
  Lock();
  StreamChannel* channel = FindStream(id);
  const uint32_t playing = (channel && channel->buffer && (channel->flags & kChannelPlaying)) ? 1 : 0;
  Unlock();
  return playing;
}

uint32_t StreamState(int32_t id) {
  Lock();
  uint32_t state = 0;
  if (StreamChannel* channel = FindStream(id)) {
    if (channel->flags & kChannelFading)
      state = 2;
    else if (channel->buffer && (channel->flags & kChannelPlaying))
      state = 1;
  }
  Unlock();
  return state;
}

uint32_t SetStreamVolume(int32_t id, int32_t centibels) {
  Lock();
  uint32_t result = 0;
  StreamChannel* channel = FindStream(id);
  if (!IsAvailable()) {
    result = 1;
  } else if (channel && channel->buffer) {
    channel->buffer->SetVolume(centibels);
    result = 1;
  }
  Unlock();
  return result;
}

namespace {
void RequestStop(StreamChannel* channel) {
  if (channel && channel->buffer && (channel->flags & kChannelPlaying)) {
    channel->flags |= kChannelStop;
    ServiceStreams();
  }
}
}  // namespace

void StopStream(int32_t id) {
  Lock();
  RequestStop(FindStream(id));
  Unlock();
}

void StopChannel(int32_t channel) {
  Lock();
  RequestStop(GetChannel(channel));
  Unlock();
}

bool ToAudioFormat(const WaveFormat& format, platform::AudioFormat& out) {
  out.channels = format.channels;
  out.sampleRate = format.samplesPerSec;
  out.bitsPerSample = format.bitsPerSample;
  return format.formatTag == kWaveFormatPcm && out.IsValid() && format.blockAlign == out.BlockAlign();
}

std::unique_ptr<platform::AudioBuffer> CreateStreamBuffer(const WaveFormat* format, uint32_t bytes) {
  std::unique_ptr<platform::AudioBuffer> buffer;
  platform::AudioDevice* device = Device();
  int32_t result = platform::kAudioFail;
  platform::AudioFormat audio;
  if (device && format) {
    result = ToAudioFormat(*format, audio) ? device->CreateBuffer(audio, bytes, buffer) : platform::kAudioInvalidParam;
  }
  if (result != platform::kAudioOk || !buffer) {
    const WaveFormat shown = format ? *format : WaveFormat{};
    platform::ShowMessageBox(FormatWide(u"CreateStreamBuffer(%X)\r\n  wFormatTag=%4X\r\n  nChannels=%d\r\n  "
                                        u"nSamplesPerSec=%d\r\n  nAvgBytesPerSec=%d\r\n  nBlockAlign=%d\r\n  "
                                        u"wBitsPerSample=%d\r\n  cbSize=%d\r\n",
                                        static_cast<unsigned>(result), unsigned(shown.formatTag), int(shown.channels),
                                        int(shown.samplesPerSec), int(shown.avgBytesPerSec), int(shown.blockAlign),
                                        int(shown.bitsPerSample), int(shown.extraSize)),
                             u"DirectSound");
    return nullptr;
  }
  return buffer;
}

int32_t BindStream(int32_t index, ComRef<IStreamControl> stream, uint32_t speed, int32_t volume, int32_t pan,
                   uint32_t loop) {
  if (!stream) return -1;
  if (index == -1) index = FindFreeChannel();
  StreamChannel* channel = GetChannel(index);
  if (!channel || channel->buffer) return -1;  // none free, or busy: the stream is released here

  channel->notify = &ChannelCallback;
  channel->stream = std::move(stream);
  // Keep the control alive across its own calls: a failed start frees the channel, and
  // with it the channel's reference, while the control is still running.
  ComRef<IStreamControl> hold = ComRef<IStreamControl>::AddRefOf(channel->stream.Get());
  if (!hold->Play(channel, speed, volume, pan, loop)) {
    hold->ReleaseChannel(channel);
    return -1;
  }
  WakeService();  // from now on it is timed by this stream's blocks
  return channel->id;
}

uint32_t ChannelCallback(StreamChannel* channel, uint32_t event) {
  if (!channel || !channel->stream) return 0;
  Lock();
  // The notification may free the channel and its reference; this one outlives the call.
  ComRef<IStreamControl> hold = ComRef<IStreamControl>::AddRefOf(channel->stream.Get());
  const uint32_t result = hold->OnNotify(channel, event);
  Unlock();
  return result;
}

void FreeChannel(StreamChannel* channel) {
  if (!channel) return;
  if (channel->buffer) channel->buffer->Stop();
  channel->buffer.reset();
  channel->stream.Reset();
  channel->notify = nullptr;
  channel->flags = 0;
  channel->id = -1;
}

void SilenceAndFreeChannel(StreamChannel* channel) {
  if (!channel) return;
  // A start that failed to create the buffer has nothing to silence.
  if (channel->buffer && channel->blockSize) {
    platform::AudioRegion first;
    const uint32_t bytes = std::min<uint64_t>(uint64_t(kAheadBlocks) * channel->blockSize, channel->buffer->Size());
    if (channel->buffer->Lock(0, bytes, first, nullptr)) {
      std::memset(first.data, 0, first.size);
      channel->buffer->Unlock(first, nullptr);
    }
  }
  FreeChannel(channel);
}

void ServiceStreams() {
  Lock();
  for (StreamChannel& channel : g_StreamChannels) {
    if (channel.buffer) ServiceChannel(channel);
  }
  Unlock();
}

std::optional<std::chrono::milliseconds> NextServiceDelay() {
  using std::chrono::milliseconds;
  // A fade steps by the clock and a cursor that cannot be read is asked again soon; a quarter
  // of a second at most between passes keeps well inside the shortest block.
  constexpr milliseconds kShortest{10};
  constexpr milliseconds kLongest{250};
  std::optional<milliseconds> delay;
  for (StreamChannel& channel : g_StreamChannels) {
    if (!channel.buffer) continue;
    milliseconds wait = kShortest;
    const uint64_t rate = uint64_t(channel.format.samplesPerSec) * channel.format.blockAlign;  // bytes a second
    uint32_t cursor = 0;
    if (!(channel.flags & (kChannelFading | kChannelStop)) && rate && channel.buffer->PlayCursor(cursor)) {
      // The cursor should be in the block that ends at the boundary: the pass that matters is
      // the first one after it leaves that block.
      const uint64_t end = uint64_t(channel.boundary) + 1;
      const uint64_t start = end >= channel.blockSize ? end - channel.blockSize : 0;
      if (cursor >= start && cursor < end) {
        const uint64_t ms = ((end - cursor) * 1000 + rate - 1) / rate + 1;
        wait = std::max(milliseconds(std::min<uint64_t>(ms, kLongest.count())), kShortest);
      }
    }
    delay = delay ? std::min(*delay, wait) : wait;
  }
  return delay;
}

}  // namespace Sound
