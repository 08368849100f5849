// The way through the sample game that the play figures take, kept in one place: the title's
// buttons, the places read on the screen and clicked, and the fades the game means to take.
#pragma once

#include <cstdint>

#include "platform/geometry.h"

namespace playroute {

// The title's button column at its menu position (config.xml), one row each 48 pixels down.
constexpr platform::Point kTitleMenu{520, 262};
constexpr int kStartRow = 1;
constexpr int kLoadRow = 2;
// The title's fade to black after a button: levels 255 down to 0 in steps of 17.
constexpr int kTitleFadeOutFrames = 16;
// The line of the save and load dialogs' slot list the figures save to and load from.
constexpr int kSlotLine = 0;
constexpr uint32_t kSaveCommand = 40010;
// Where the message text is written, in the 800x600 picture.
constexpr platform::Rect kTextArea{8, 440, 744, 590};
// A click that turns the page, or takes the first choice where a choice is shown.
constexpr platform::Point kAdvance{400, 168};
// Where no page waits and the first choice's place takes nothing: the turn selection's first
// button (its column of buttons starts at 222, single ones at 594, pairs at 408).
constexpr platform::Point kTurnChoice{620, 236};

}  // namespace playroute
