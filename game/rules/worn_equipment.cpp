#include "rules/worn_equipment.h"

#include "rules/player_record.h"

namespace {

std::int32_t* WornRowWord(int category) {
    PlayerRecord& player = g_PlayerRecord;
    switch (category) {
        case kEquipWeapon: return &player.weaponRow;
        case kEquipArmour: return &player.armourRow;
        case kEquipShield: return &player.shieldRow;
        case kEquipAccessory: return &player.accessoryRow;
        default: return nullptr;
    }
}

}  // namespace

std::int32_t WornRow(int category) {
    const std::int32_t* word = WornRowWord(category);
    return word != nullptr ? *word : 0;
}

const EquipmentRecord* WornItem(int category) { return FindEquipment(category, WornRow(category)); }

void SetWornRow(int category, std::int32_t row) {
    if (std::int32_t* word = WornRowWord(category)) *word = row;
}

std::int32_t WornWeaponAtk() {
    const EquipmentRecord* weapon = WornItem(kEquipWeapon);
    return weapon != nullptr ? weapon->atk : 0;
}
