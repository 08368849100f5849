// One scenario run: a fresh game group compiled from its file, the global data loaded and saved
// around it, the title screen unless a slot is to be loaded, and the statements run.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/executor.h"

// The group of the running scenario (the debug window and the scene replay reach it); null
// outside a run.
extern ScriptStateGroup_App* g_pCurrentGroup;
// The page a run starts from: -1 the first statement; a slot load sets the saved page.
extern int32_t g_StartPage;
// Set by the title screen when the player chose to skip the prologue; consumed by the run.
extern int32_t g_PrologueSkip;
// The album's picture names of the running scenario (Shift-JIS), created empty by each run.
extern std::unique_ptr<std::vector<std::string>> g_AlbumNames;

// Mode 0 the first run, 1 the title again, n >= 2 load slot n - 1 without the title. Returns 0
// to end the game, 1 to show the title again, n >= 2 to load slot n - 1. A quit ends with 0; any
// other error leaves after the clean-up, the global data written back when it was loaded.
int RunScenario(std::u16string_view fileName, int mode, const AppCommandTable& commands);
