// Building a stage from its row of the stage table.
#pragma once

#include "world/stages/stage_table.h"

// The row of stage 1 to 61; null for any other number.
const StageDef* FindStageDef(int stageNumber);

// The set-up of stage `stageNumber` (1 to 61; any other number does nothing),
// run by LoadStage after every slot was emptied and the old images released.
// In order: camera bounds; far layers and panels (far 0, panel 0, far 1,
// panel 2, panel 3 ... panel 19, one load each); the collision map; the
// divisors; the fade-in; shop doors; monsters; the warp door; the player's
// facing on the stages that set it; the left, then the right exit.
void SetupStage(int stageNumber);
