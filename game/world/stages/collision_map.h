// Reading a stage's collision map, "data\<N>.col", into the collision grid.
//
// The file is text: the k-th '0' or '1' in it gives cell k in row order (row
// k / 400, column k mod 400); every other character is skipped, so the line
// layout is free. Reading stops after the 6,000th such character. The file is
// read as the original platform's text mode would: a 0x1A byte ends it, and a
// CR before an LF is dropped.
#pragma once

#include "world/stages/collision_grid.h"

// Fills `grid` from the file at `windowsPath`. Cells the file does not reach
// (a short map) are left empty, as is the whole grid when the file cannot be
// opened. Returns the number of cells the file filled (6000 for a complete
// map), or -1 when it could not be opened.
int ReadCollisionMapFile(const char* windowsPath, CollisionGrid& grid);

// Reads "data\<stageNumber>.col" into g_CollisionGrid; result as above.
int ReadStageCollisionMap(int stageNumber);
