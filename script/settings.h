// The settings block (window, skip, font and sound options) and the words the settings dialogs set.
#pragma once

#include <cstdint>

// The configuration record the game reads while it runs; the configuration file fills it at start.
struct SETTINGDATA {
  uint8_t m_FullScreen = 0;
  uint8_t m_DisplaySpeed = 0;
  uint8_t m_TextSkip1 = 1;                      // skip mode stops at a page not read before
  uint8_t m_TextSkip2 = 1;                      // skip and auto mode end at a choice
  uint8_t m_BaseColor[4] = {64, 64, 240, 160};  // message window background: red, green, blue, alpha
  char16_t m_FontName[32] = u"ＭＳ 明朝";
  uint8_t m_EnableVoice = 1;
  uint8_t m_EnableBgm = 1;
  uint8_t m_EnableSe = 1;
  uint8_t m_MainVolume = 50;
  uint8_t m_BgmVolume = 50;
  uint8_t m_VoiceVolume = 50;
  uint8_t m_SeVolume = 50;
};

extern SETTINGDATA g_Setting;

// Bits of g_AppFlags, set by the settings dialogs and consumed by the message commands.
enum : uint32_t {
  APPFLAG_DISPLAYSPEED_CHANGED = 0x2,  // the "DisplaySpeed" option changed
  APPFLAG_TEXTSKIP1_CHANGED = 0x4,     // the "TextSkip1" option changed
  APPFLAG_TEXTSKIP2_CHANGED = 0x8,     // the "TextSkip2" option changed
  APPFLAG_FONT_CHANGED = 0x10,         // the message font or colour changed
};
extern uint32_t g_AppFlags;

// The debug level of the command line: 0 none, 1 the debug menu, 2 its second level.
extern int32_t g_DebugLevel;

// Back to the defaults: the settings block, the flags and the debug level (start-up and tests).
void ResetSettings();
