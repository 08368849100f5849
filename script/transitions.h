// The background's transitions: fades to black and white, the showing of a composed background
// with its cross-fade, and the message window's backdrop colour.
#pragma once

#include "script/scene.h"

namespace DxDraw {
class DxSurface;
}

// Pictures change at once: the "DisplaySpeed" setting is 1 or the skip mode is on.
bool PicturesChangeAtOnce();

// Fades the shown background to opaque black: the background sprite blended at the levels 255,
// 253, ..., 3, 1, 0, one frame each (129 frames), then the work image filled black and copied
// into it and one frame more. A plain colour is shown afterwards (g_BackgroundState bit 1). When
// pictures change at once only the last frame runs. A transfer raised out of a frame leaves the
// sprite blended at the level it had reached. Does nothing while no scene exists.
void FadeToBlack();

// Fades opaque white in over the shown background: the work image filled white and blended in
// above the background sprite at the levels 0, 2, ..., 254, 255 (129 frames), then copied into the
// background sprite and one frame more; at once only the last frame runs. A transfer raised out
// of a frame takes the fading picture away before it goes on, so the old background stays shown.
void FadeToWhite();

// Shows the background composed on the work image since the last one was shown, if any (bit 2 of
// g_BackgroundState): blended in above the shown one in steps of 2 after a plain colour (129
// frames) or of 16 after a picture (17 frames), then copied into the background sprite, one frame
// more and the state cleared. When pictures change at once only the last frame runs. A transfer
// raised out of a frame still shows the new background before it goes on, and leaves the state
// as it was. With nothing composed it returns at once.
void ShowPendingBackground();

// Tints the message window's backdrop with the colour: the window frame of the "SYSTEM" picture
// (rows 40 to 240) with each channel ANDed with the colour's, blended at the colour's alpha
// (0 invisible, 255 full weight) where it is not transparent. Does nothing while no window exists;
// without a system image the backdrop is opaque black.
void ApplyWindowColour(DxDraw::DxSurface* systemImage, const WindowColour& colour);
