// Shop doors: the slot index is the shop index that picks the shop's offer.
#pragma once

#include <cstdint>

constexpr int kShopDoorCount = 3;

struct ShopDoor {
    std::int32_t x;  // world x of the door's centre
    std::int32_t y;  // world y of the door's foot
    std::uint8_t on;  // 1: the door stands on this stage
};

extern ShopDoor g_ShopDoors[kShopDoorCount];
