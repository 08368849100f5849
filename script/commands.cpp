// The game's command table: every command area registered once.
#include "script/executor.h"

void RegisterGameCommands(AppCommandTable& table) {
  RegisterMessageCommands(table);
  RegisterPictureCommands(table);
  RegisterSoundCommands(table);
  RegisterEndingCommands(table);
  RegisterTurnSelectCommands(table);
}
