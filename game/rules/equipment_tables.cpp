#include "rules/equipment_tables.h"

namespace {

struct TableView {
    const EquipmentRecord* rows;
    int count;
};

constexpr TableView kTables[kEquipmentCategoryCount] = {
    {WeaponTable, kWeaponCount},
    {ArmourTable, kArmourCount},
    {ShieldTable, kShieldCount},
    {AccessoryTable, kAccessoryCount},
};

}  // namespace

int EquipmentRowCount(int category) {
    if (category < 0 || category >= kEquipmentCategoryCount) return 0;
    return kTables[category].count;
}

const EquipmentRecord* FindEquipment(int category, std::int32_t row) {
    int count = EquipmentRowCount(category);
    if (row < 0 || row >= count) return nullptr;
    return &kTables[category].rows[row];
}
