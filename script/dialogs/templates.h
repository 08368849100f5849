// The dialog templates: controls by id, type and text, placed to read well at 800x600.
#pragma once

#include <cstdint>

#include "platform/dialog.h"

// Control ids of the save and load dialog.
enum : uint32_t {
  IDC_SLOTLIST = 1021,
  IDC_COMMENT = 1023,
  IDC_SETCOMMENT = 1024,
  IDC_DELETE = 1025,
  IDC_THUMBNAIL = 1058,
};

// Of the system settings.
enum : uint32_t {
  IDC_WINDOWED = 1028,
  IDC_FULLSCREEN = 1029,
  IDC_SPEED_NORMAL = 1030,
  IDC_SPEED_FAST = 1031,
  IDC_COLOUR_R = 1032,
  IDC_COLOUR_G = 1033,
  IDC_COLOUR_B = 1034,
  IDC_COLOUR_A = 1035,
  IDC_COLOUR_DEFAULT = 1036,
  IDC_FONT = 1037,
  IDC_TEXTSKIP1 = 1043,
  IDC_TEXTSKIP2 = 1044,
  IDC_COLOUR_PREVIEW = 1045,
};

// Of the sound settings.
enum : uint32_t {
  IDC_VOICE_ON = 1046,
  IDC_VOICE_OFF = 1047,
  IDC_BGM_ON = 1048,
  IDC_BGM_OFF = 1049,
  IDC_SE_ON = 1050,
  IDC_SE_OFF = 1051,
  IDC_MAIN_VOLUME = 1052,
  IDC_BGM_VOLUME = 1053,
  IDC_VOICE_VOLUME = 1054,
  IDC_SE_VOLUME = 1055,
  IDC_TEST_VOICE = 1056,
  IDC_TEST_SE = 1057,
};

// Of the player-name and flag dialogs.
enum : uint32_t {
  IDC_FAMILY_NAME = 1061,
  IDC_GIVEN_NAME = 1062,
  IDC_FLAG_SPIN = 1026,
  IDC_FLAG_NUMBER = 1027,
  IDC_FLAG_ON = 1028,
  IDC_FLAG_OFF = 1029,
};

// Of the debug window and its list dialog.
enum : uint32_t {
  IDC_VAR_NAME = 1063,
  IDC_VAR_VALUE = 1064,
  IDC_VAR_SHOW = 1065,
  IDC_VAR_CHANGE = 1066,
  IDC_LABEL_NAME = 1067,
  IDC_JUMP = 1068,
  IDC_STATE_CHR = 1069,
  IDC_STATE_GRP = 1070,
  IDC_STATE_WAV = 1071,
  IDC_STATE_S1 = 1072,
  IDC_STATE_S2 = 1073,
  IDC_VAR_LIST = 1074,
  IDC_STATE_CHL = 1075,
  IDC_SCENE_FLAGS = 1076,
  IDC_LINE = 1077,
  IDC_LIST = 1071,
};

const platform::DialogTemplate& SaveLoadTemplate();        // resource 110
const platform::DialogTemplate& SystemSettingsTemplate();  // 113
const platform::DialogTemplate& SoundSettingsTemplate();   // 115
const platform::DialogTemplate& PlayerNameTemplate();      // 116
const platform::DialogTemplate& FlagTemplate();            // 112
const platform::DialogTemplate& DebugWindowTemplate();     // 117
const platform::DialogTemplate& ListTemplate();            // 118
