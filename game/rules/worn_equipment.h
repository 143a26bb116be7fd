// The four rows the player wears, one per equipment category, as kept in the
// PlayerRecord.
#pragma once

#include <cstdint>

#include "rules/equipment_tables.h"

// The worn row of a category (kEquipWeapon to kEquipAccessory); 0 for an
// unknown category.
std::int32_t WornRow(int category);
// The worn item, or null when its row is not in the table (only a bug can
// make one: saves are checked when they load).
const EquipmentRecord* WornItem(int category);
// Puts on `row` of a category; an unknown category changes nothing.
void SetWornRow(int category, std::int32_t row);
// The worn weapon's ATK; 0 when its row is not in the table.
std::int32_t WornWeaponAtk();
