// The scene services of the game over the pictures, transitions and sounds by name.
#include "script/sceneservices.h"

#include "app/frame/misc.h"
#include "script/images.h"
#include "script/sounds.h"
#include "script/transitions.h"
#include "sound/sound.h"

void SceneServices::ApplyWindowColour(const WindowColour& colour) {
  ::ApplyWindowColour(m_pSystemImage, colour);
}

void SceneServices::PlayBgmOrVoice(int32_t channel, const char16_t* name, bool forced) {
  ::PlayBgmOrVoice(channel, name, forced);
}

void SceneServices::PlaySe(int32_t channel, const char16_t* name, bool loop) {
  ::PlaySe(channel, name, loop);
}

void SceneServices::DrawBackground(const char16_t* name) {
  ::DrawBackground(name);
}

void SceneServices::DrawCharacters(const char16_t* name, int32_t kind) {
  ::DrawCharacters(name, kind);
}

void SceneServices::ShowPendingBackground() {
  DropHeldImagePrefetch();  // the restored scene's pictures have been composed again by now
  ::ShowPendingBackground();
}

void SceneServices::FadeToBlack() {
  ::FadeToBlack();
}

void SceneServices::FadeToWhite() {
  ::FadeToWhite();
}

void SceneServices::StopChannel(int32_t channel) {
  if (channel >= 0 && channel < kSoundChannels) Sound::StopChannel(channel);
}

void SceneServices::StopChannels() {
  StopAllChannels();
}
