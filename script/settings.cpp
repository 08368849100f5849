// The process-wide settings block and the flags the settings dialogs set.
#include "script/settings.h"

SETTINGDATA g_Setting;
uint32_t g_AppFlags = 0;
int32_t g_DebugLevel = 0;

void ResetSettings() {
  g_Setting = SETTINGDATA{};
  g_AppFlags = 0;
  g_DebugLevel = 0;
}
