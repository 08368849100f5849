// What the game's command areas share: the menu items of a wait, the end of skip and auto mode
// at a choice, the debug window's jump, a window effect run to its end, upper-case names and the
// background shown as a plain colour at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dxdraw/view.h"
#include "script/executor.h"

struct ACT;

// Releases a view of the tree (taking it out of its group) when the holder goes.
struct ViewRelease {
  void operator()(ssView* view) const {
    if (view) view->Release();
  }
};

// Menu items 40010 (save, not during a replay) and 40013 (variables), enabled while a page end,
// a choice or the turn selection waits and greyed on every way out of it.
class WaitMenuItems {
 public:
  WaitMenuItems();
  ~WaitMenuItems();
  WaitMenuItems(const WaitMenuItems&) = delete;
  WaitMenuItems& operator=(const WaitMenuItems&) = delete;
};

// With "TextSkip2" on, a choice ends skip mode, or else auto mode, and dims its button.
void EndSkipOrAutoAtChoice();

// The debug window's jump: the background goes black at once and the run goes on at the label.
// Null when no jump is asked for (or the debug level is 0).
TextScript::ScriptStateNode* ServeDebugJump(ScriptStateNode_App& node);

// Runs a message window's open or close effect once a frame until it has ended; frees the task.
void RunWindowEffect(ACT* task);

// The name with its ASCII letters in upper case.
std::u16string UpperAscii(std::u16string_view text);

// Shows a plain colour at once: the work image filled opaque, copied into the background
// sprite's image, the sprite back to a plain copy and marked changed, the plain-colour bit set.
// Does nothing while no scene exists.
void ShowPlainAtOnce(uint32_t colour);
