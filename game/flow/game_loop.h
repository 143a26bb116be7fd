// The main loop of the whole program: the title menu, the start of a new or
// loaded game, and field play until it is left for the title again.
#pragma once

// Returns 0 when the title menu ends the program (Escape, EXIT or a closed
// window); a running game never returns from it.
int GameLoop();

// The two halves of a game, for whoever drives play frame by frame (tests,
// a playing bot): the start of the game the title menu handed over, then one
// frame at a time.
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
