#include "world/collision_grid.h"

CollisionGrid g_CollisionGrid = {};
