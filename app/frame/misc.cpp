// Waits, timers and the assertion box of the game; every wait lets time pass through WaitFrame.
#include "app/frame/misc.h"

#include "app/frame/framestep.h"
#include "lib/error.h"
#include "lib/wstring.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "sound/sound.h"

namespace {

// The condition that ends a wait, or 0: flag 1 (or no flag) a click, flag 2 skip held.
uint32_t EndingWord(uint32_t flags, bool clickWithoutFlags) {
  if (((flags & WAIT_CLICK) || (clickWithoutFlags && flags == 0)) && (g_Input.pressed & INPUT_MASK_CLICK))
    return g_Input.pressed;
  if ((flags & WAIT_SKIP) && (g_Input.held & INPUT_MASK_SKIP)) return g_Input.held;
  return 0;
}

}  // namespace

uint32_t WaitInput(uint32_t frames, uint32_t flags) {
  uint32_t pressed = 0;
  uint32_t result = 0;
  if (frames == 0) {
    for (;;) {
      WaitFrame();
      pressed |= g_Input.pressed;
      if ((result = EndingWord(flags, true)) != 0) break;
    }
    // A click ends only when the button or key is let go, so it cannot end the next wait too.
    if (flags & WAIT_CLICK) {
      while (g_Input.held & INPUT_MASK_CLICK) {
        WaitFrame();
        pressed |= g_Input.pressed;
      }
    }
  } else {
    for (uint32_t i = 0; i < frames; ++i) {
      WaitFrame();
      pressed |= g_Input.pressed;
      if ((result = EndingWord(flags, false)) != 0) break;
    }
  }
  g_Input.pressed = pressed;
  return result;
}

uint32_t WaitTime(uint32_t ms, uint32_t flags) {
  if (ms == 0) return WaitInput(0, flags);
  const uint32_t start = platform::TimeMs();
  uint32_t pressed = 0;
  uint32_t result = 0;
  for (;;) {
    WaitFrame();
    pressed |= g_Input.pressed;
    if ((result = EndingWord(flags, false)) != 0) break;
    if (platform::TimeMs() - start >= ms) break;
  }
  g_Input.pressed = pressed;
  return result;
}

uint32_t WaitClick() {
  uint32_t pressed = 0;
  uint32_t click = 0;
  do {
    WaitFrame();
    pressed |= g_Input.pressed;
    click = g_Input.pressed & INPUT_MASK_CLICK ? g_Input.pressed : 0;
  } while (!click);
  while (g_Input.held & INPUT_MASK_CLICK) {
    WaitFrame();
    pressed |= g_Input.pressed;
  }
  g_Input.pressed = pressed;
  while (g_Input.held != 0) WaitFrame();
  return click;
}

uint32_t StartTimer(uint32_t* timer) {
  *timer = platform::TimeMs();
  return *timer;
}

int TimeElapsed(const uint32_t* timer, uint32_t ms) {
  // Unsigned subtraction is the elapsed time also across a wrap of the millisecond counter.
  return platform::TimeMs() - *timer >= ms ? 1 : 0;
}

void MoveRect(platform::Rect* rect, int32_t x, int32_t y) {
  const int32_t w = rect->right - rect->left;
  const int32_t h = rect->bottom - rect->top;
  rect->left = x;
  rect->top = y;
  rect->right = x + w;
  rect->bottom = y + h;
}

void AssertBox(const char* expression, const char* file, int line, const char* extra) {
  const char* e = expression ? expression : "";
  const char* f = file ? file : "";
  WString text = extra ? WString::Format(u"Assert(%hs);\nFile %hs, line %d.  %hs", e, f, line, extra)
                       : WString::Format(u"Assert(%hs);\nFile %hs, line %d.", e, f, line);
  const platform::MsgResult answer =
      platform::ShowMessageBox(text, u"VARN", platform::MsgButtons::AbortRetryIgnore, platform::MsgIcon::Error);
  if (answer == platform::MsgResult::Abort) ThrowException(u"misc", 55, 0, 0, u"%s", text.c_str());
}

void StopAllChannels() {
  for (int32_t channel = 0; channel < 4; ++channel) Sound::StopChannel(channel);
}

int32_t AppVolumeToDecibels(int32_t volume) {
  return Sound::VolumeToDecibels(volume);
}

bool SoundVoiceChannels::IsPlaying(int32_t channel) {
  const int32_t id = Sound::ChannelId(channel);
  return id != -1 && Sound::IsStreamPlaying(id) != 0;
}

void SoundVoiceChannels::Stop(int32_t channel) {
  Sound::StopChannel(channel);
}
