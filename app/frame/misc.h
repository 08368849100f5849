// Waits built on frames, the millisecond timers, rectangle moving, the assertion box, and the
// sound forwards of the game (channels stopped, volumes, the voice check of the message view).
#pragma once

#include <cstdint>

#include "platform/geometry.h"
#include "textscript/messview.h"

// Flags of the waits: 1 stop on a click or confirm (pressed & 0x3030), 2 stop while skip is held
// (held & 0x32000).
enum : uint32_t { WAIT_CLICK = 1, WAIT_SKIP = 2 };

// frames 0: until the flags' condition (a click also with no flag at all), then with flag 1 until
// the click is let go; frames > 0: at most that many frames, no release wait. Every press of the
// wait is left in g_Input.pressed. The word that ended the wait, or 0 when the frames ran out.
uint32_t WaitInput(uint32_t frames, uint32_t flags);
// ms 0 is WaitInput (0, flags); otherwise at least one frame and until ms milliseconds passed.
uint32_t WaitTime(uint32_t ms, uint32_t flags);
// Until a click or confirm, its release, and then no input held at all. The click's pressed word.
uint32_t WaitClick();

// A millisecond timer: one start value.
uint32_t StartTimer(uint32_t* timer);
// 1 when at least ms milliseconds passed since the start (the counter may wrap between).
int TimeElapsed(const uint32_t* timer, uint32_t ms);

// Moves rect so that its left-top corner is (x, y), keeping its size.
void MoveRect(platform::Rect* rect, int32_t x, int32_t y);

// "Assert(...)" in a box with Abort, Retry and Ignore; Abort raises the error (source "misc",
// line 55, type 0). Narrow texts are Shift-JIS; extra may be null.
void AssertBox(const char* expression, const char* file, int line, const char* extra);

// Stops the sound channels 0 to 3 in that order.
void StopAllChannels();
// 0..255 to the sound layer's hundredths of a decibel.
int32_t AppVolumeToDecibels(int32_t volume);

// The message view's voice check over the sound layer's channels.
class SoundVoiceChannels : public TextScript::IVoiceChannels {
 public:
  bool IsPlaying(int32_t channel) override;
  void Stop(int32_t channel) override;
};
