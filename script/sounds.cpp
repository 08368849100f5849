// Music, voices and effects by name: folder and ".ogg" around the name, the channel's rules and
// the settings' volumes, then the stream through the sound layer.
#include "script/sounds.h"

#include <string_view>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "script/executor.h"
#include "script/settings.h"
#include "sound/sound.h"
#include "textscript/inputbits.h"
#include "textscript/variables.h"

IArchive* g_SoundArchive = nullptr;
std::u16string g_PlayingSounds[kSoundChannels];

namespace {

bool IsChannel(int32_t channel) {
  return channel >= 0 && channel < kSoundChannels;
}

std::u16string_view NameOf(const char16_t* name) {
  return name ? std::u16string_view(name) : std::u16string_view();
}

// A percentage of the settings on the 0..255 scale, in whole steps as the dialogs show them.
int32_t Scaled(uint8_t enabled, uint8_t percent) {
  return enabled ? percent * 255 / 100 : 0;
}

// The player is skipping: skip mode is on, or a skip key or button is held.
bool Skipping() {
  return g_SkipMode != 0 || (g_Input.held & INPUT_MASK_SKIP) != 0;
}

}  // namespace

int32_t BgmVolume() {
  return Scaled(g_Setting.m_EnableBgm, g_Setting.m_BgmVolume) / 10;
}

int32_t VoiceVolume() {
  return Scaled(g_Setting.m_EnableVoice, g_Setting.m_VoiceVolume);
}

int32_t SeVolume() {
  return Scaled(g_Setting.m_EnableSe, g_Setting.m_SeVolume) / 10;
}

int32_t PlayOggByName(const char16_t* path, int32_t channel, bool loop, uint32_t speed, int32_t volume, int32_t pan) {
  const std::u16string member = std::u16string(NameOf(path)) + u".ogg";
  return Sound::PlayOggStreamLocked(g_SoundArchive, member.c_str(), channel, loop ? 1 : 0, speed, volume, pan);
}

void PlayBgmOrVoice(int32_t channel, const char16_t* name, bool forced) {
  if (!IsChannel(channel)) return;
  const std::u16string_view wanted = NameOf(name);
  const int32_t id = Sound::ChannelId(channel);
  if (channel == SOUND_VOICE) {
    if (!g_Setting.m_EnableVoice) {
      Sound::StopStream(id);
      return;
    }
    if (!forced) {
      // A new voice always cuts the one before, even when it is not started itself.
      Sound::StopStream(id);
      if (Skipping()) return;
    }
  }
  // The same music goes on where it is; music that ended by itself starts again.
  if (Sound::StreamState(id) == 1 && EqualNoCase(g_PlayingSounds[channel], wanted)) return;
  Sound::StopStream(id);

  const int32_t volume = channel == SOUND_VOICE ? VoiceVolume() : BgmVolume();
  g_PlayingSounds[channel] = wanted;
  const bool music = channel == SOUND_BGM;
  const std::u16string path = std::u16string(music ? u"bgm/" : u"voice/") + std::u16string(wanted);
  PlayOggByName(path.c_str(), channel, music, kNormalSpeed, AppVolumeToDecibels(volume), kCentrePan);
}

void PlaySe(int32_t channel, const char16_t* name, bool loop) {
  if (!IsChannel(channel)) return;
  Sound::StopChannel(channel);
  const std::u16string path = u"se/" + std::u16string(NameOf(name));
  PlayOggByName(path.c_str(), channel, loop, kNormalSpeed, AppVolumeToDecibels(SeVolume()), kCentrePan);
}

void ForgetPlayingSounds() {
  for (std::u16string& name : g_PlayingSounds) name.clear();
}

void SoundChannelsByName::StopAllAndForget() {
  StopAllChannels();
  ForgetPlayingSounds();
}
