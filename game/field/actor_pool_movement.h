// Moving the further actor pools (world/monsters/actor_pools.h) once per frame
// of field play, after the monsters.
#pragma once

// Moves every live actor of the six pools, pool by pool, slot by slot.
void MoveActorPools();
