// The scene replay: the pages of scenes already reached, each played again from its label.
#pragma once

#include "script/screens/album.h"

// The replay of the "sceneplay" layout over the running scenario group: entries unlocked by the
// group's scene list, a chosen one run from its label with the replay flag set, then the menu
// again. A load asked for during a replay leaves with ScriptException 1; a quit confirmed during
// one is raised again once the screen is released; a flag without its label is the game's error
// "ラベルが見つかりません。[%s]".
void RunScenePlay(const ScreenSources& sources);
