#include "shopping.h"

#include "screens/shop_offers.h"

int ItemWorth(int category, const EquipmentRecord& item) {
    const int blows = 3 * item.str + item.dex;
    if (category == kEquipWeapon) return item.atk + blows + item.maxHpBonus / 10;
    // An accessory keeps its DEF in the ATK word.
    const int def = category == kEquipAccessory ? item.atk : item.def;
    return 3 * def + blows + 2 * item.dex + item.agi + item.maxHpBonus / 10;
}

Purchase BestPurchase(std::int32_t money, const std::array<std::int32_t, kEquipmentCategoryCount>& worn,
                      unsigned doorMask, int leastGain) {
    for (int category : {kEquipWeapon, kEquipArmour, kEquipAccessory, kEquipShield}) {
        const EquipmentRecord* wornItem = FindEquipment(category, worn[category]);
        if (wornItem == nullptr) continue;
        const int wornWorth = ItemWorth(category, *wornItem);
        Purchase best;
        for (int door = 0; door < kShopDoorCount; ++door) {
            if ((doorMask & (1u << door)) == 0) continue;
            const ShopOffer& offer = kShopOffers[door][category];
            for (int cursor = 0; cursor < offer.rowCount; ++cursor) {
                const std::int32_t row = offer.firstRow + cursor;
                const EquipmentRecord* item = FindEquipment(category, row);
                if (item == nullptr) continue;
                const std::int32_t cost = item->price - wornItem->price / 2;
                const int gain = ItemWorth(category, *item) - wornWorth;
                if (cost > money || gain < leastGain || gain <= best.gain) continue;
                best = {door, category, row, cursor, cost, gain};
            }
        }
        if (best.door >= 0) return best;
    }
    return {};
}
