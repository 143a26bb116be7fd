#include "rules/stats.h"

#include <kelvo/api.h>

#include "engine/handles.h"
#include "rules/equipment_tables.h"
#include "rules/exp_table.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"

namespace {

// A worn row that is out of range (only a bug could make one: saves are
// checked when they load) adds nothing rather than reading past a table.
constexpr EquipmentRecord kNoItem = {0, 0, 0, 0, 0, 0, 0, 0, 0, "", ""};

const EquipmentRecord& Worn(int category, std::int32_t row) {
    const EquipmentRecord* item = FindEquipment(category, row);
    return item != nullptr ? *item : kNoItem;
}

// The formulas are small for any reachable player, but a save file can hold
// any base stat: they are worked in 64 bits and wrapped back to 32 as the
// original 32-bit arithmetic would, never overflowing a signed int.
std::int32_t Wrap(std::int64_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); }

std::int64_t QuotientSquared(std::int64_t value, std::int64_t divisor) {
    std::int64_t quotient = value / divisor;
    return quotient * quotient;
}

}  // namespace

void RecomputeStatTotals() {
    const PlayerRecord& player = g_PlayerRecord;
    const EquipmentRecord* worn[kEquipmentCategoryCount] = {
        &Worn(kEquipWeapon, player.weaponRow),
        &Worn(kEquipArmour, player.armourRow),
        &Worn(kEquipShield, player.shieldRow),
        &Worn(kEquipAccessory, player.accessoryRow),
    };
    std::int64_t str = player.str, intel = player.intel, agi = player.agi, dex = player.dex, luk = player.luk;
    std::int64_t maxHpBonus = 0;
    for (const EquipmentRecord* item : worn) {
        str += item->str;
        intel += item->intel;
        agi += item->agi;
        dex += item->dex;
        luk += item->luk;
        maxHpBonus += item->maxHpBonus;
    }
    DerivedStats& stats = g_DerivedStats;
    stats.strTotal = Wrap(str);
    stats.intTotal = Wrap(intel);
    stats.agiTotal = Wrap(agi);
    stats.dexTotal = Wrap(dex);
    stats.lukTotal = Wrap(luk);
    // The accessory's DEF is kept in its ATK word; the weapon adds no DEF.
    stats.equipmentDef = worn[kEquipArmour]->def + worn[kEquipShield]->def + worn[kEquipAccessory]->atk;
    stats.maxHpBonus = Wrap(maxHpBonus);
}

DisplayFigures ComputeDisplayFigures(std::int32_t strTotal, std::int32_t dexTotal, std::int32_t intTotal,
                                     std::int32_t lukTotal, std::int32_t equipmentDef, std::int32_t weaponAtk) {
    return ComputeDisplayFigures(strTotal, dexTotal, intTotal, lukTotal, equipmentDef, weaponAtk, g_PlayerRecord.vit);
}

DisplayFigures ComputeDisplayFigures(std::int32_t strTotal, std::int32_t dexTotal, std::int32_t intTotal,
                                     std::int32_t lukTotal, std::int32_t equipmentDef, std::int32_t weaponAtk,
                                     std::int32_t baseVit) {
    const std::int64_t level = g_PlayerRecord.level;
    const std::int64_t vit = baseVit;
    const std::int64_t str = strTotal, dex = dexTotal, intel = intTotal, luk = lukTotal;
    DisplayFigures figures;
    figures.atk = Wrap(weaponAtk + level + 30 + dex + 3 * str + QuotientSquared(str, 6));
    figures.def = Wrap(vit + equipmentDef + level / 2 + QuotientSquared(vit, 10));
    figures.matk = Wrap(3 * intel + QuotientSquared(intel, 4) + 30);
    figures.crt = Wrap(luk / 2 + 3);
    return figures;
}

std::int32_t FormulaMaxHp() {
    const std::int64_t level = g_PlayerRecord.level;
    const std::int64_t vit = g_PlayerRecord.vit;
    return Wrap(g_DerivedStats.maxHpBonus + 8 * level + 12 * vit + QuotientSquared(level + vit, 5) + 600);
}

std::int32_t FormulaMaxSp() {
    const std::int64_t level = g_PlayerRecord.level;
    const std::int64_t intel = g_DerivedStats.intTotal;
    return Wrap(6 * intel + 4 * level + QuotientSquared(level + intel, 10) + 200);
}

void RecomputeMaxHpSp() {
    g_PlayerRecord.maxHp = FormulaMaxHp();
    g_PlayerRecord.maxSp = FormulaMaxSp();
}

bool CheckLevelUp() {
    PlayerRecord& player = g_PlayerRecord;
    // The table ends at level 89: there is no level 90 to reach, and no entry
    // to read for a level outside it.
    if (player.level < 1 || player.level >= kMaxLevel) return false;
    if (player.exp < ExpTable[player.level]) return false;

    player.exp = 0;
    g_SubScreenMode = kSubScreenStatus;
    g_DerivedStats.levelUpBannerTimer = 0;
    player.level += 1;
    std::int32_t difficulty = player.difficulty <= kDifficultyVeryHard ? std::int32_t{player.difficulty} : std::int32_t{kDifficultyVeryHard};
    player.statPoints = Wrap(static_cast<std::int64_t>(player.statPoints) + player.level / 2 + 1 + 2 * (4 - difficulty));
    ApiPlaySoundHandle(g_SoundEffectHandles[kSoundItem], 1, 1);
    return true;
}
