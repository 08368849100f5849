// The game's modal dialogs: save and load, system and sound settings, player name, flag number
// and the debug window with its lists, on the platform's dialog host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "script/dialogs/slotstore.h"

// What the dialogs work with, installed by start-up (test doubles in tests); none is owned.
struct DialogServices {
  platform::DialogHost* host = nullptr;
  ISlotStore* slots = nullptr;
  // The installed fixed-pitch Japanese fonts the system settings offer; null for none.
  const std::vector<std::u16string>* fonts = nullptr;
};
// Installs the services; an empty host or store raises platform::MissingServiceError at use.
void SetDialogServices(const DialogServices& services);

// The save (mode 0) or load (mode 1) dialog over the 99 slots: the chosen list index (slot
// number - 1), or -1. A save that was written makes its index the next offered one.
int32_t SaveLoadDialog(int32_t mode);
enum : int32_t { SAVELOAD_SAVE = 0, SAVELOAD_LOAD = 1 };

// The system settings: screen mode, picture speed, window colour, font and the skip options.
void SystemSettingsDialog();
// The sound settings: the three switches, the four volumes and the two test sounds.
void SoundSettingsDialog();
// The player's family and given names: 1 after OK, -1 after cancel.
int32_t PlayerNameDialog();
// The flag number (0 to 2047): 1 after OK, -1 after cancel.
int32_t FlagDialog();
extern int32_t g_FlagNumber;

// The debug window over the running script group; does nothing while no group runs.
void DebugWindow();
// The list dialogs the debug window opens: every live variable, and the scene-replay names of
// the running group.
void VariableListDialog();
void SceneFlagListDialog();
