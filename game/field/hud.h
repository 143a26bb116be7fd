// The heads-up display, drawn every frame over the field: HP and SP with
// their bars, the money, the level and the EXP bar, and the fade-in after a
// stage load. The level-up test runs inside it, between the money and the
// level, so a level gained shows at once.
#pragma once

#include <cstdint>

void DrawHud();

// The EXP bar's length in pixels, 0 to 100, for the player's EXP and level.
// The product is formed in 64 bits (EXP reaches tens of millions); a level
// outside the table reads its nearest end, and EXP beyond the level's need
// (at the last level) fills the bar without overrunning its box.
int ExpBarLength(std::int32_t exp, std::int32_t level);
