// The sound layer's public operations: start-up and shut-down, the lock, volumes, streams and WAVE slots.
#pragma once

#include <cstdint>
#include <memory>

#include "lib/combase.h"
#include "platform/audio.h"

struct IArchive;

// The PCM format record of a stream or of a WAVE file's "fmt " chunk.
struct WaveFormat {
  uint16_t formatTag = 0;  // 1 = PCM
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;
};

constexpr uint16_t kWaveFormatPcm = 1;

// The start-up record.
struct SoundConfig {
  uint32_t enable = 1;  // 0: no sound at all
  uint32_t sampleRate = 44100;
  uint16_t channels = 2;
  uint16_t bitsPerSample = 16;
  uint32_t cooperativeLevel = 2;
  uint32_t highPriority = 0;  // 1: the service thread asks for the highest priority
  uint32_t useDirectMusic = 0;
};

// The block length factor of the streams ("StreamSize"): a block is k/8 seconds.
extern int32_t g_StreamBlockCount;

namespace Sound {

// The primary rate for a "SoundFreq" setting: 1 → 22050, 2 → 11025, anything else → 44100.
uint32_t SampleRateForSetting(int32_t soundFreq);

// Opens the device through openDevice and starts the service thread. 0 also when sound is
// switched off or no device opens (then every operation is a silent no-op); a failing
// device status after a "DirectSound" message box otherwise.
HRESULT Initialize(const platform::AudioDeviceFactory& openDevice, const SoundConfig* config);
// The same over a device the backend has already opened (null: no device).
HRESULT Initialize(std::shared_ptr<platform::AudioDevice> device, const SoundConfig* config);
void Finalize();

void Lock();
void Unlock();
uint32_t IsAvailable();

void SetMasterVolume(int32_t centibels);
// 0..255 to hundredths of a decibel: trunc(1000 × log10(v / 255)); 0 or below → -10000.
int32_t VolumeToDecibels(int32_t volume);

// Streams (ids 1, 2, ...; -1 none) on channels 0..3 (0 music, 1 and 2 effects, 3 voice).
int32_t ChannelId(int32_t channel);
uint32_t IsStreamPlaying(int32_t id);
uint32_t StreamState(int32_t id);  // 0 none, 1 playing, 2 fading
uint32_t SetStreamVolume(int32_t id, int32_t centibels);
void StopStream(int32_t id);
void StopChannel(int32_t channel);

// Starts an Ogg Vorbis stream from the archive (or from the file system when archive is
// null) on a channel (-1: the first free one). speed in 1/4096 (4096 normal), volume and pan
// in hundredths of a decibel. The new stream's id, or -1.
int32_t PlayOggStream(IArchive* archive, const char16_t* name, int32_t channel, uint32_t loop, uint32_t speed,
                      int32_t volume, int32_t pan);
int32_t PlayOggStreamLocked(IArchive* archive, const char16_t* name, int32_t channel, uint32_t loop, uint32_t speed,
                            int32_t volume, int32_t pan);

// Replaces static slot 0..127 with a copy of a WAVE file and a buffer made from it.
void LoadStatic(uint32_t slot, const void* wave, uint32_t size);

}  // namespace Sound
