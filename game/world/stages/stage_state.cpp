// The stage-wide records, with their values at program start.
#include "world/stages/shop_door.h"
#include "world/stages/stage_exit.h"
#include "world/stages/stage_state.h"
#include "world/stages/warp_door.h"

// Before the first stage loads, the bounds let the title screen scroll freely.
StageState g_StageState = {
    .cameraLeftBound = 1,
    .cameraRightBound = 100000,
    .cameraX = 1728.0f,
    .farLayerDivisor = 3,
    .middleLayerDivisor = 2,
    .panelDivisor = 1,
    .fadeCounter = 0,
    .panelImages = {},
    .farLayerImages = {},
    .middleLayerImage = 0,
};

StageExit g_RightEdgeExit = {};
StageExit g_LeftEdgeExit = {};
WarpDoor g_WarpDoors[kWarpDoorCount] = {};
ShopDoor g_ShopDoors[kShopDoorCount] = {};
