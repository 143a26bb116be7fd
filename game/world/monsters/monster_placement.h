// Putting a monster into a slot of its kind's pool, as the stage set-ups do.
#pragma once

#include <cstdint>

// Places a monster of `kind` (0 to 31) in `slot` (0 to 19) at world (x, y):
// full HP, alive, on the ground, no attack or special mode running. A mobile
// kind draws one random number for its speed, within 10 % of the kind's base
// and always moving right; the immobile kinds 6 to 9 draw none. The slot's
// damage numbers, facing, dying timer and skill-hit count are left as they
// were. A kind or slot out of range is refused with -1 and nothing written or
// drawn; 0 otherwise.
int PlaceMonster(int kind, int slot, float x, float y);

// The speed of a mobile kind for the random number r: (r mod 21 + 90) / 100
// times the kind's base, stored as f32.
float PlacementSpeed(int kind, int r);
