// The ending roll: the credit pictures faded in and out one after another, then the music faded out.
#include <algorithm>
#include <string>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "script/layout.h"
#include "script/screens/screens.h"
#include "script/sounds.h"
#include "sound/sound.h"

namespace {

constexpr uint32_t kBlend = 2;
constexpr int32_t kFadeStep = 16;
constexpr uint32_t kHoldMs = 5000, kLastHoldMs = 20000;
constexpr int kMusicSteps = 40;
constexpr uint32_t kMusicStepMs = 100;

// "ed01", "ed02", ...: the number in at least two digits.
std::u16string CreditName(int number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return u"ed" + std::u16string(digits.begin(), digits.end());
}

void Fade(DxDraw::DxSprite& sprite, bool in) {
  for (int32_t v = in ? 0 : 255;; v += in ? kFadeStep : -kFadeStep) {
    const int32_t level = std::clamp(v, 0, 255);
    screens::SetBlit(sprite, kBlend, uint32_t(level));
    WaitFrame();
    if (level == (in ? 255 : 0)) return;
  }
}

// Four seconds from the music's volume down to silence, then the channel stopped. Music switched
// off stays at 0 all the way; the fade takes as long.
void FadeOutMusic() {
  const int32_t id = Sound::ChannelId(SOUND_BGM);
  if (!Sound::IsStreamPlaying(id)) return;
  double volume = BgmVolume();
  const double step = volume / kMusicSteps;
  uint32_t timer = 0;
  StartTimer(&timer);
  for (int steps = 0; steps < kMusicSteps;) {
    WaitFrame();
    if (!TimeElapsed(&timer, kMusicStepMs)) continue;
    StartTimer(&timer);
    volume = std::max(0.0, volume - step);
    Sound::SetStreamVolume(id, AppVolumeToDecibels(int32_t(volume)));
    ++steps;
  }
  Sound::StopChannel(SOUND_BGM);
}

}  // namespace

void RunEndingRoll(ssGroup* screen, IArchive* scriptArchive) {
  screens::Image picture;
  const screens::Sprite<> sprite = screens::AddSprite(screen, nullptr, nullptr, kBlend, 0, 0);
  for (int i = 1; i <= g_CreditCount; ++i) {
    sprite->SetImage(nullptr);
    picture.reset();
    picture = screens::LoadImage(scriptArchive, CreditName(i).c_str());
    sprite->SetImage(picture.get());
    sprite->SetSourceRect(nullptr);
    Fade(*sprite, true);
    WaitTime(i == g_CreditCount ? kLastHoldMs : kHoldMs, WAIT_CLICK);
    Fade(*sprite, false);
    if (i == g_CreditCount) FadeOutMusic();
  }
}
