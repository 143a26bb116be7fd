// The ways the game loop moves the player between stages within a frame: a
// fall into a pit, a defeat, the two edge exits, the warp doors and the door
// to the ending. Each writes the arrival words where needed and loads the
// stage; all but a warp door end the frame.
#pragma once

// Below this y the player has fallen into a pit.
constexpr float kPitDepth = 1000.0f;
// Where the game stands after the ending: the door to it leads here from then on.
constexpr int kStageAfterEnding = 43;

// A fall into a pit, once the player's y is past kPitDepth: the milestones are
// checked, half of max HP and of max SP are lost (HP stays at least 1, SP
// below 1 becomes 0), and the stage reloads at the point of entry.
void TakePitPath();

// The monster routines of one frame, kind by kind in the fixed order. When a
// kind leaves the player's HP at exactly 0 the later kinds are not run: that
// kind's picture is shown by GAME OVER and the stage reloads. True then.
bool RunMonsterRoutines();

// The left exit, then the right one. True when one was taken (the new stage
// is loaded and the frame ends).
bool TakeEdgeExit();

// Draws every warp door and lets UP enter one in field play. A door loads
// its stage and the frame goes on; the door to the ending runs it, saves the
// game on stage 43 and returns true: play is left for the title.
bool RunWarpDoors();
