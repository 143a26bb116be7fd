// The loading screen: the loading picture fades in and out over 256 frames on
// white, and the sounds load inside its middle frame behind a progress bar.
#pragma once

constexpr int kLoadingScreenFrames = 256;
constexpr int kLoadingFrame = 128;  // the frame inside which the sounds load

// Runs the loading screen and returns; a closed window ends it early, and
// the sounds not yet loaded then stay unloaded.
void ShowLoadingScreen();
