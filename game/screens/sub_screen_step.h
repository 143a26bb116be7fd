// The game loop's sub-screen step: the equipment shop, the status screen or
// the system menu, whichever is open, updated and drawn for one frame.
#pragma once

// What the game loop does after the step.
enum class SubScreenOutcome {
    kPresent,      // present the frame and go on
    kNextFrame,    // a stage was loaded: start the next frame without presenting this one
    kQuitToTitle,  // play was left and saved: back to the title without presenting
};

// Runs the open sub-screen by g_SubScreenMode, reading this frame's input from
// g_FrameInputState: the shop (3), then the status screen (2), then the
// system menu (1), each only while the mode still names it, so a screen that
// hands over to another shows it from the next frame on.
SubScreenOutcome RunSubScreenStep();
