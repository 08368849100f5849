// RIFF/WAVE parsing and the static slots: short sounds kept whole in buffers, restored when lost.
#include "sound/wave.h"

#include <algorithm>
#include <cstring>

#include "lib/bytes.h"
#include "lib/error.h"
#include "sound/stream.h"

namespace {

StaticSoundSlot g_StaticSounds[kStaticSlotCount];

// Reads the PCM fields of a "fmt " chunk of len bytes; fields past the chunk stay zero.
WaveFormat ReadFormat(const uint8_t* p, uint32_t len) {
  WaveFormat format;
  format.formatTag = LoadLE16(p);
  format.channels = LoadLE16(p + 2);
  format.samplesPerSec = LoadLE32(p + 4);
  format.avgBytesPerSec = LoadLE32(p + 8);
  format.blockAlign = LoadLE16(p + 12);
  if (len >= 16) format.bitsPerSample = LoadLE16(p + 14);
  if (len >= 18) format.extraSize = LoadLE16(p + 16);
  return format;
}

uint32_t ParseFailed() {
  DebugPrintf(u"Could not parse wave resource!\n");
  return 0;
}

uint32_t FillFailed() {
  DebugPrintf(u"Could not fill sound buffer!\n");
  return 0;
}

}  // namespace

namespace Sound {

uint32_t ParseWaveResource(const void* wave, size_t size, WaveFormat* format, const uint8_t** data,
                           uint32_t* dataSize) {
  if (format) *format = WaveFormat{};
  if (data) *data = nullptr;
  if (dataSize) *dataSize = 0;
  const auto* bytes = static_cast<const uint8_t*>(wave);
  if (!bytes || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
    return ParseFailed();

  // Chunks start before the end the RIFF size gives; each one must lie inside the bytes. A
  // chunk that starts inside the RIFF size but runs past it is still read (writers sometimes
  // state the size short).
  const uint64_t riffEnd = 8ull + LoadLE32(bytes + 4);
  const bool wantData = data || dataSize;
  bool haveFormat = false;
  bool haveData = false;
  uint64_t pos = 12;
  while (pos < riffEnd && pos + 8 <= size) {
    const uint8_t* chunk = bytes + pos;
    const uint32_t length = LoadLE32(chunk + 4);
    const uint64_t start = pos + 8;
    if (length > size - start) return ParseFailed();  // the chunk runs past the file
    if (format && !haveFormat && std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length < 14) return ParseFailed();
      *format = ReadFormat(bytes + start, length);
      haveFormat = true;
    } else if (wantData && !haveData && std::memcmp(chunk, "data", 4) == 0) {
      if (data) *data = bytes + start;
      if (dataSize) *dataSize = length;
      haveData = true;
    }
    if ((!format || haveFormat) && (!wantData || haveData)) return 1;
    pos = start + ((uint64_t(length) + 1) & ~uint64_t(1));
  }
  if (format) *format = WaveFormat{};
  if (data) *data = nullptr;
  if (dataSize) *dataSize = 0;
  return ParseFailed();
}

uint32_t FillSoundBuffer(platform::AudioBuffer* buffer, const void* bytes, uint32_t count) {
  if (!buffer || !bytes || count == 0) return FillFailed();
  platform::AudioRegion first;
  platform::AudioRegion second;
  if (!buffer->Lock(0, count, first, &second)) return FillFailed();
  const auto* source = static_cast<const uint8_t*>(bytes);
  std::memcpy(first.data, source, std::min(first.size, count));
  if (second.data && first.size < count)
    std::memcpy(second.data, source + first.size, std::min(second.size, count - first.size));
  buffer->Unlock(first, &second);
  return 1;
}

std::unique_ptr<platform::AudioBuffer> CreateStaticSoundBuffer(platform::AudioDevice* device, const void* wave,
                                                               size_t size) {
  WaveFormat format;
  const uint8_t* data = nullptr;
  uint32_t dataSize = 0;
  if (!device || !ParseWaveResource(wave, size, &format, &data, &dataSize)) return nullptr;
  platform::AudioFormat audio;
  if (!ToAudioFormat(format, audio)) return nullptr;
  // The buffer holds whole sample frames; a torn last frame is dropped.
  const uint32_t bytes = dataSize - dataSize % audio.BlockAlign();
  std::unique_ptr<platform::AudioBuffer> buffer;
  if (device->CreateBuffer(audio, bytes, buffer) != platform::kAudioOk || !buffer) return nullptr;
  if (!FillSoundBuffer(buffer.get(), data, bytes)) return nullptr;
  return buffer;
}

StaticSoundSlot* GetStaticSlot(uint32_t slot) {
  return slot < kStaticSlotCount ? &g_StaticSounds[slot] : nullptr;
}

void FreeStaticSlots() {
  Lock();
  for (StaticSoundSlot& slot : g_StaticSounds) slot = StaticSoundSlot{};
  Unlock();
}

void LoadStatic(uint32_t index, const void* wave, uint32_t size) {
  StaticSoundSlot* slot = GetStaticSlot(index);
  if (!slot) return;
  // The service thread walks the slots in every pass, so the slot changes under the lock.
  Lock();
  slot->buffer.reset();
  slot->copy.clear();
  slot->size = 0;
  if (wave && size) {
    const auto* bytes = static_cast<const uint8_t*>(wave);
    slot->copy.assign(bytes, bytes + size);
    slot->size = size;
    slot->buffer = CreateStaticSoundBuffer(Device(), slot->copy.data(), slot->copy.size());
  }
  Unlock();
}

void ServiceStatic() {
  Lock();
  for (StaticSoundSlot& slot : g_StaticSounds) {
    if (!slot.buffer || !(slot.buffer->Status() & platform::kAudioStatusLost)) continue;
    slot.buffer->Restore();
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    if (ParseWaveResource(slot.copy.data(), slot.copy.size(), nullptr, &data, &dataSize))
      FillSoundBuffer(slot.buffer.get(), data, std::min(dataSize, slot.buffer->Size()));
  }
  Unlock();
}

}  // namespace Sound
