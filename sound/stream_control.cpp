// Stream controls: the encoding-independent channel start and refill, and Ogg Vorbis decoding.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "lib/error.h"
#include "sound/stream.h"

// The vorbisfile state and the way back to the control; the datasource of the callbacks.
struct OggDecoder {
  OggVorbis_File file{};
  CStreamControl_Ogg* owner = nullptr;
  bool open = false;
};

// ---- CStreamControl ----

CStreamControl::CStreamControl(IStreamReader* reader) : m_Reader(reader) {}

HRESULT CStreamControl::QueryInterface(const InterfaceId& id, void** out) {
  if (!out) return E_INVALIDARG;
  if (id == IUnknown::kIid || id == IStreamControl::kIid) {
    AddRef();
    *out = static_cast<IStreamControl*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t CStreamControl::ReleaseChannel(StreamChannel* channel) {
  Sound::SilenceAndFreeChannel(channel);
  return 1;
}

uint32_t CStreamControl::Rewind(StreamChannel*) {
  return 1;
}

uint32_t CStreamControl::Play(StreamChannel* channel, uint32_t speed, int32_t volume, int32_t pan, uint32_t loop) {
  if (!channel) return 0;
  channel->writePos = 0;
  channel->played = 0;
  channel->format = *GetFormat();
  // The speed changes the playback rate (and the pitch), not the block size.
  const auto scale = [speed](uint32_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>((uint64_t(value) * speed) >> 12, UINT32_MAX));
  };
  channel->format.samplesPerSec = scale(channel->format.samplesPerSec);
  channel->format.avgBytesPerSec = scale(channel->format.avgBytesPerSec);
  if (!GetBufferLayout(channel)) return 0;

  channel->buffer = Sound::CreateStreamBuffer(&channel->format, channel->ringSize);
  if (!channel->buffer) return 0;
  channel->flags |= kChannelPlaying;
  if (loop) channel->flags |= kChannelLoop;
  if (!FillInitial(channel)) return 0;

  channel->id = Sound::NextStreamId();
  channel->buffer->SetPan(pan);
  channel->buffer->SetVolume(volume);
  channel->buffer->SetPlayCursor(0);
  channel->buffer->Play(true);
  return 1;
}

uint32_t CStreamControl::FillInitial(StreamChannel* channel) {
  platform::AudioRegion region;
  if (!channel->buffer->Lock(0, kAheadBlocks * channel->blockSize, region, nullptr)) return 0;
  // The fill itself runs over the end of a looping stream as often as the region needs,
  // so the first four blocks are continuous even for a stream shorter than a block.
  Fill(channel, region.data, region.size);
  channel->writePos = region.size % channel->ringSize;
  channel->boundary = channel->blockSize - 1;
  channel->played = 0;
  channel->buffer->Unlock(region, nullptr);
  return 1;
}

uint32_t CStreamControl::OnNotify(StreamChannel* channel, uint32_t event) {
  if (!channel || !channel->buffer) return 0;
  const bool ended = (channel->flags & kChannelEnded) && !(channel->flags & kChannelLoop);
  if ((channel->flags & kChannelStop) || (event == kNotifyEnd && ended)) {
    channel->buffer->Stop();
    Sound::SilenceAndFreeChannel(channel);
    return 1;
  }
  if (event != kNotifyBlock) return 1;

  platform::AudioRegion region;
  if (!channel->buffer->Lock(channel->writePos, channel->blockSize, region, nullptr)) return 0;
  if (ended)
    std::memset(region.data, Sound::SilenceByte(m_Format), region.size);
  else
    Fill(channel, region.data, region.size);
  channel->buffer->Unlock(region, nullptr);
  channel->writePos = (channel->writePos + channel->blockSize) % channel->ringSize;
  return 1;
}

// ---- vorbisfile callbacks ----

namespace {

IStreamReader* ReaderOf(void* datasource) {
  auto* decoder = static_cast<OggDecoder*>(datasource);
  return decoder && decoder->owner ? decoder->owner->GetReader() : nullptr;
}

size_t OggReadCallback(void* ptr, size_t size, size_t count, void* datasource) {
  IStreamReader* reader = ReaderOf(datasource);
  if (!reader || size == 0 || count == 0) return 0;
  const uint64_t wanted = std::min<uint64_t>(uint64_t(size) * count, 0x7FFFFFFFu);
  const uint32_t got = reader->Read(ptr, static_cast<uint32_t>(wanted - wanted % size));
  return got / size;
}

int OggSeekCallback(void* datasource, ogg_int64_t offset, int whence) {
  IStreamReader* reader = ReaderOf(datasource);
  if (!reader || whence < 0 || whence > 2) return -1;
  // A failed seek must be reported: vorbisfile would otherwise read from the wrong place.
  return reader->Seek(offset, static_cast<uint32_t>(whence)) < 0 ? -1 : 0;
}

long OggTellCallback(void* datasource) {
  IStreamReader* reader = ReaderOf(datasource);
  return reader ? static_cast<long>(reader->Tell()) : -1;
}

int ReturnZero(void*) {
  return 0;
}

}  // namespace

// ---- CStreamControl_Ogg ----

CStreamControl_Ogg::CStreamControl_Ogg(IStreamReader* reader)
    : CStreamControl(reader), m_Decoder(std::make_unique<OggDecoder>()) {}

CStreamControl_Ogg::~CStreamControl_Ogg() {
  Close();
}

void CStreamControl_Ogg::Close() {
  if (m_Decoder && m_Decoder->open) {
    ov_clear(&m_Decoder->file);
    m_Decoder->open = false;
  }
  if (m_Reader) m_Reader->Close();
}

uint32_t CStreamControl_Ogg::Open(const char16_t* name) {
  Close();
  if (!m_Reader || !name || !m_Reader->Open(name)) return 0;
  m_Decoder->file = OggVorbis_File{};
  m_Decoder->owner = this;
  const ov_callbacks callbacks{&OggReadCallback, &OggSeekCallback, &ReturnZero, &OggTellCallback};
  if (ov_open_callbacks(m_Decoder.get(), &m_Decoder->file, nullptr, 0, callbacks) != 0) {
    Close();  // vorbisfile has already cleared its state
    return 0;
  }
  m_Decoder->open = true;
  const vorbis_info* info = ov_info(&m_Decoder->file, -1);
  if (!info || info->channels < 1 || info->channels > 255 || info->rate < 1 || info->rate > 1000000) {
    Close();
    return 0;
  }
  const uint16_t align = static_cast<uint16_t>(info->channels * 2);
  // A stream without samples (or whose length cannot be told) would never fill a block:
  // refuse it here rather than spin under the sound lock.
  const ogg_int64_t samples = ov_pcm_total(&m_Decoder->file, -1);
  if (samples <= 0 || uint64_t(samples) > kMaxTotalBytes / align) {
    DebugPrintf(u"Ogg stream refused: %d samples\n", static_cast<int>(std::clamp<ogg_int64_t>(samples, -1, INT_MAX)));
    Close();
    return 0;
  }
  m_Format = WaveFormat{};
  m_Format.formatTag = kWaveFormatPcm;
  m_Format.channels = static_cast<uint16_t>(info->channels);
  m_Format.samplesPerSec = static_cast<uint32_t>(info->rate);
  m_Format.bitsPerSample = 16;
  m_Format.blockAlign = align;
  m_Format.avgBytesPerSec =
      static_cast<uint32_t>(std::min<uint64_t>(uint64_t(align) * m_Format.samplesPerSec, UINT32_MAX));
  m_Format.extraSize = 0;
  m_Total = static_cast<uint32_t>(uint64_t(samples) * align);
  return 1;
}

uint32_t CStreamControl_Ogg::GetBufferLayout(StreamChannel* channel) {
  return ComputeBufferLayout(channel);
}

uint32_t CStreamControl::ComputeBufferLayout(StreamChannel* channel) {
  channel->flags = 0;
  channel->total = channel->remaining = GetTotalBytes();
  const uint64_t k = g_StreamBlockCount > 0 ? uint64_t(g_StreamBlockCount) : 1;
  const uint64_t align = std::max<uint16_t>(m_Format.blockAlign, 1);
  uint64_t block = uint64_t(m_Format.samplesPerSec) * align * k / 8;
  block = (block + align - 1) / align * align;
  if (block == 0) block = align;
  const uint64_t ring = kRingBlocks * block;
  if (ring > (1u << 28)) return 0;  // no sound needs rings of hundreds of megabytes
  channel->blockSize = static_cast<uint32_t>(block);
  channel->ringSize = static_cast<uint32_t>(ring);
  return 1;
}

uint32_t CStreamControl_Ogg::ReadPcm(uint8_t* buffer, uint32_t bytes) {
  if (!m_Decoder->open) return 0;
  uint32_t count = 0;
  int errors = 0;
  while (bytes > 0) {
    int section = 0;
    const int want = static_cast<int>(std::min<uint32_t>(bytes, INT_MAX));
    const long r = ov_read(&m_Decoder->file, reinterpret_cast<char*>(buffer), want, 0, 2, 1, &section);
    if (r > 0) {
      const uint32_t got = static_cast<uint32_t>(std::min<long>(r, want));
      buffer += got;
      bytes -= got;
      count += got;
      errors = 0;
    } else if (r == 0) {
      break;  // end of the data
    } else if (++errors >= kMaxDecodeErrors) {
      break;  // damaged beyond repair: treat as the end
    }
  }
  return count;
}

bool CStreamControl_Ogg::SeekPcmBytes(uint32_t offset) {
  if (!m_Decoder->open) return false;
  const uint32_t align = std::max<uint16_t>(m_Format.blockAlign, 1);
  return ov_pcm_seek(&m_Decoder->file, offset / align) == 0;
}

uint32_t CStreamControl_Ogg::Rewind(StreamChannel*) {
  SeekPcmBytes(0);
  return 1;
}

uint32_t CStreamControl_Ogg::Fill(StreamChannel* channel, uint8_t* buffer, uint32_t bytes) {
  return FillFromDecoder(channel, buffer, bytes);
}

uint32_t CStreamControl::FillFromDecoder(StreamChannel* channel, uint8_t* buffer, uint32_t bytes) {
  const uint8_t silence = Sound::SilenceByte(m_Format);
  const bool loop = (channel->flags & kChannelLoop) != 0;
  int64_t passStart = -1;  // where a whole pass from sample 0 begins in this buffer
  if (channel->flags & kChannelEnded) {
    if (!loop) return 0;
    channel->remaining = channel->total;
    channel->flags &= ~kChannelEnded;
    Rewind(channel);
    passStart = 0;
  }
  uint32_t pos = 0;
  uint32_t produced = 0;
  while (pos < bytes) {
    if (channel->remaining == 0) {
      if (!loop || channel->total == 0) {
        std::memset(buffer + pos, silence, bytes - pos);
        break;
      }
      if (passStart >= 0) {
        // A whole pass is already in the buffer: repeat it instead of decoding it again,
        // then put the decoder where the copies leave off.
        const uint32_t total = channel->total;
        while (bytes - pos >= total) {
          std::memcpy(buffer + pos, buffer + passStart, total);
          pos += total;
          produced += total;
        }
        if (pos < bytes) {
          const uint32_t tail = bytes - pos;
          std::memcpy(buffer + pos, buffer + passStart, tail);
          pos = bytes;
          produced += tail;
          SeekPcmBytes(tail);
          channel->remaining = total - tail;
        }
        break;
      }
      Rewind(channel);
      channel->remaining = channel->total;
      passStart = pos;
    }
    const uint32_t take = std::min(channel->remaining, bytes - pos);
    const uint32_t got = ReadPcm(buffer + pos, take);
    std::memset(buffer + pos + got, silence, take - got);
    produced += got;
    channel->remaining -= take;
    pos += take;
  }
  if (channel->remaining == 0) channel->flags |= kChannelEnded;
  return produced;
}

// ---- starting a stream ----

namespace Sound {

CStreamControl_Ogg* CreateOggStream(IStreamReader* reader) {
  return new CStreamControl_Ogg(reader);
}

int32_t PlayOggStream(IArchive* archive, const char16_t* name, int32_t channel, uint32_t loop, uint32_t speed,
                      int32_t volume, int32_t pan) {
  if (!IsAvailable()) return -1;
  IStreamReader* reader = archive ? CreateArchiveReader(archive) : CreateFileReader();
  if (!reader) return -1;
  ComRef<IStreamControl> control(CreateOggStream(reader));
  if (!control->Open(name)) return -1;
  return BindStream(channel, std::move(control), speed, volume, pan, loop);
}

int32_t PlayOggStreamLocked(IArchive* archive, const char16_t* name, int32_t channel, uint32_t loop, uint32_t speed,
                            int32_t volume, int32_t pan) {
  Lock();
  const int32_t id = PlayOggStream(archive, name, channel, loop, speed, volume, pan);
  Unlock();
  return id;
}

}  // namespace Sound
