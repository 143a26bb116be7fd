// The shape of one stage's set-up data. The 61 rows are in
// stage_table_data.h, the monsters in stage_monster_counts.h and the
// stage_placements_*.h files; stage_setup.cpp turns a row into a stage.
#pragma once

#include <array>
#include <cstdint>

#include "world/stages/shop_door.h"
#include "world/stages/stage_state.h"

// Painted panels start at panel 3 (world x 1920, just left of the camera's
// left bound) and run on without a gap; at most seven of them (panels 3 to 9).
constexpr int kFirstPaintedPanel = 3;
constexpr int kMaxPaintedPanels = 7;
// Every stage's warp door stands in this slot.
constexpr std::int8_t kStageWarpDoorSlot = 6;

// Where an exit or a door leads: the destination stage and the three arrival
// words the player takes there.
struct StageLink {
    std::int32_t destination;
    std::int32_t arrivalCameraX;
    std::int32_t arrivalPlayerY;
    std::int32_t arrivalScreenX;
};

struct ShopDoorDef {
    bool on;
    std::int32_t x;
    std::int32_t y;
};

struct WarpDoorDef {
    bool present;
    std::int32_t x;
    std::int32_t y;
    StageLink to;
};

struct StageDef {
    std::int32_t rightBound;  // camera right bound; the left bound is 1952 everywhere
    std::int32_t farDivisor;
    std::int32_t middleDivisor;
    std::int32_t panelDivisor;
    // Image names, loaded as "bmp\<name>.bmp".
    std::array<const char*, kStageFarLayerCount> farLayers;
    std::array<const char*, kMaxPaintedPanels> panels;  // from panel 3 on; null past the last
    std::array<ShopDoorDef, kShopDoorCount> shopDoors;  // indexed by shop slot
    bool facingSet;       // the set-up turns the player by the arrival screen x
    std::int8_t track;    // the music PlayStageMusic picks, kept to check it against
    StageLink leftExit;
    StageLink rightExit;
    WarpDoorDef warpDoor;  // in slot kStageWarpDoorSlot when present
};

// The number of painted panels of a row (2 to 7).
constexpr int PaintedPanelCount(const StageDef& def) {
    int n = 0;
    while (n < kMaxPaintedPanels && def.panels[n] != nullptr) ++n;
    return n;
}

// One monster placement call of a stage set-up, in call order.
struct MonsterPlacement {
    std::int8_t stage;
    std::int8_t kind;
    std::int8_t slot;
    std::int16_t x;
    std::int16_t y;
};

// How many placement calls a stage makes for one kind.
struct StageMonsterCount {
    std::int8_t stage;
    std::int8_t kind;
    std::int8_t count;
};
