// The player's derived figures and the level-up rule. Arithmetic is 32-bit and
// every division truncates toward zero; (a / n)^2 is the quotient squared.
#pragma once

#include <cstdint>

#include "rules/derived_stats.h"

// The five stat totals, equipment DEF and the max-HP bonus, from the base
// stats and the four equipped rows. Runs every frame.
void RecomputeStatTotals();

// ATK, DEF, MATK and CRT from the given totals, using the player's level and
// base VIT. The shop and the status screen call it for their current and
// preview figures.
DisplayFigures ComputeDisplayFigures(std::int32_t strTotal, std::int32_t dexTotal, std::int32_t intTotal,
                                     std::int32_t lukTotal, std::int32_t equipmentDef, std::int32_t weaponAtk);
// The same with a given VIT in place of the base VIT: the status screen's
// preview of one more point of VIT.
DisplayFigures ComputeDisplayFigures(std::int32_t strTotal, std::int32_t dexTotal, std::int32_t intTotal,
                                     std::int32_t lukTotal, std::int32_t equipmentDef, std::int32_t weaponAtk,
                                     std::int32_t vit);

// The formula maxima for the player's current level, VIT, INT total and
// max-HP bonus.
std::int32_t FormulaMaxHp();
std::int32_t FormulaMaxSp();
// Sets max HP and max SP to the formula values. HP and SP are not touched:
// callers clamp or refill as their screen says.
void RecomputeMaxHpSp();

// When EXP has reached ExpTable[level]: EXP 0 (any surplus is lost), the
// status screen opens with the level-up banner, level + 1, stat points
// + new level / 2 + 1 + 2 * (4 - difficulty), and the item sound plays. At most
// one level a call; level 89, the end of the table, gains no more. Returns
// true when a level was gained.
bool CheckLevelUp();
