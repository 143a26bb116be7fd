#include "world/stages/collision_grid.h"

CollisionGrid g_CollisionGrid = {};
