// RIFF/WAVE files and the 128 static slots that keep short sounds decoded in buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio.h"
#include "sound/sound.h"

constexpr uint32_t kStaticSlotCount = 128;

struct StaticSoundSlot {
  std::vector<uint8_t> copy;  // the whole WAVE file as loaded; empty when the slot is
  uint32_t size = 0;
  std::unique_ptr<platform::AudioBuffer> buffer;  // null when empty or when creation failed
};

namespace Sound {

// Finds the "fmt " chunk (copied into *format, zero-filled past a short chunk) and the
// "data" chunk of size bytes of a WAVE file. Outputs may be null. 1 found, 0 not.
uint32_t ParseWaveResource(const void* wave, size_t size, WaveFormat* format, const uint8_t** data, uint32_t* dataSize);
std::unique_ptr<platform::AudioBuffer> CreateStaticSoundBuffer(platform::AudioDevice* device, const void* wave,
                                                               size_t size);
uint32_t FillSoundBuffer(platform::AudioBuffer* buffer, const void* bytes, uint32_t count);
void ServiceStatic();
StaticSoundSlot* GetStaticSlot(uint32_t slot);
void FreeStaticSlots();

}  // namespace Sound
