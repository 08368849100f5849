// The player's options around the settings block: volumes on the running streams, the text-speed
// and auto-wait tables, the yes/no prompt on the game screen, and the read flags of the pages.
#pragma once

#include <cstddef>
#include <cstdint>

// The text speed as a percentage of the window's per-character delay (index 0 shows text at
// once), and the auto mode's wait in milliseconds.
extern int32_t g_TextSpeed;
extern int32_t g_AutoWait;

constexpr int32_t kTextSpeedIndices = 4;
constexpr int32_t kAutoWaitIndices = 5;
// What an index outside the tables stands for: the value GetTextSpeedIndex and
// GetAutoWaitIndex give for anything they do not know.
constexpr int32_t kDefaultTextSpeedIndex = 2;
constexpr int32_t kDefaultAutoWaitIndex = 3;

void SetTextSpeed(int32_t index);
int32_t GetTextSpeedIndex();
void SetAutoWait(int32_t index);
int32_t GetAutoWaitIndex();

// The settings' volumes on the streams already playing: music on channel 0, voices on 3,
// effects on 1 and 2; off gives silence without stopping the stream.
void ApplyBgmVolume(bool on);
void ApplyVoiceVolume(bool on);
void ApplySeVolume(bool on);

// One bit per page 0 to 16382, page p at 0x80 >> (p % 8) of byte p / 8. The last bit of the last
// byte is the prologue-seen flag, so page 16383 has no read flag.
constexpr size_t kReadFlagAreaBytes = 2048;
constexpr int32_t kLastReadPage = 16382;
extern uint8_t g_ReadFlags[kReadFlagAreaBytes];

// A page outside 0 to 16382 is never marked and never read.
void MarkPageRead(int32_t page);
bool IsPageRead(int32_t page);
void SetPrologueSeen();
bool IsPrologueSeen();

// The modal question on the game screen: true for "はい", false for "いいえ". A ScriptException
// raised while it waits goes on after the prompt is gone.
bool AskYesNo(const char16_t* question);

// The one-line entry points of start-up and the menu: the live variable table emptied, and the
// slot (0-based) the next load request loads. The snapshot's is ClearSavedVariables.
void ClearLiveVariables();
void SetLoadSlot(int32_t index);
