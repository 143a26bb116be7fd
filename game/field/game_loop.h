// A game in field play: its start, then one frame at a time. The main loop
// (front/main_loop.h) runs them between visits to the title menu; tests and
// the playing bot drive them frame by frame.
#pragma once

// StartGame loads the saved stage of a loaded game, or stage 1 for a new one,
// opens field play and clears the screen once.
void StartGame();

enum class FrameResult {
    kPresented,    // the frame was shown
    kNextFrame,    // a stage was loaded: the frame ends without being shown
    kQuitToTitle,  // play was left and the game saved: the title comes next
};

// One frame of play: messages, pacing, input, the menu key, the stat totals,
// the field update, drawing, the monsters, the player, exits and doors, the
// overlays and HUD, the open sub-screen, present.
FrameResult RunGameFrame();
