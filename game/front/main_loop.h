// The main loop of the whole program: the title menu, the start of a new or
// loaded game, and field play until it is left for the title again.
#pragma once

// Returns 0 when the title menu ends the program (Escape, EXIT or a closed
// window); a running game never returns from it.
int GameLoop();
