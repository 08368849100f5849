// Music, voices and effects by name: the sound archive's Ogg members, their channels and volumes.
#pragma once

#include <cstdint>
#include <string>

#include "script/services.h"

struct IArchive;

// The streaming channels by use.
enum : int32_t { SOUND_BGM = 0, SOUND_SE1 = 1, SOUND_SE2 = 2, SOUND_VOICE = 3 };
constexpr int kSoundChannels = 4;

// The playback rate every caller asks for (4096 is the stream's own rate) and the centre pan.
constexpr uint32_t kNormalSpeed = 4096;
constexpr int32_t kCentrePan = 0;

// The sound archive ("sound.pux") the names are looked up in. Start-up sets it and keeps the
// reference; null plays from the file system.
extern IArchive* g_SoundArchive;

// Per channel, the name last started on the music or voice channel (empty for none). The effect
// entries stay empty: effects have no same-name rule.
extern std::u16string g_PlayingSounds[kSoundChannels];

// Starts path + ".ogg" from the sound archive on the channel. speed in 1/4096, volume in
// hundredths of a decibel, pan 0 for the centre. The stream's id, or -1 when it could not start
// (a missing or damaged member plays nothing and reports nothing).
int32_t PlayOggByName(const char16_t* path, int32_t channel, bool loop, uint32_t speed, int32_t volume, int32_t pan);

// Music on channel 0 (looping, from "bgm/"), a voice on channel 3 (once, from "voice/"). Music
// that already plays under the same name, without regard to case, goes on undisturbed. A voice
// stops the voice before it and is not started while the player skips, unless forced (the
// scene restore). Music switched off still starts, at volume 0, so switching it on needs only a
// volume change; a voice switched off stops the voice and plays nothing. Any channel outside 0
// to 3 does nothing.
void PlayBgmOrVoice(int32_t channel, const char16_t* name, bool forced);

// An effect from "se/" on channel 1 or 2, replacing what the channel played. Any channel outside
// 0 to 3 does nothing.
void PlaySe(int32_t channel, const char16_t* name, bool loop);

// The 0..255 volumes of the settings block for music, voices and effects. Music and effects are
// a tenth of the voice scale: 50 percent gives 12, 100 percent 25.
int32_t BgmVolume();
int32_t VoiceVolume();
int32_t SeVolume();

// Forgets every channel's name.
void ForgetPlayingSounds();

// The sound channels as the script group's message hook sees them.
class SoundChannelsByName : public ISoundChannels {
 public:
  void StopAllAndForget() override;
};
