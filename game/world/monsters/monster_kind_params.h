// The per-kind constants of the 32 monster kinds: placement reads the speed
// base and HP, the game loop passes the rest to the kind's behaviour routine.
#pragma once

#include <array>
#include <cstdint>

#include "world/monsters/monster_record.h"

enum class MonsterRoutine : std::uint8_t {
    Ordinary,  // kinds 10 to 30: UpdateMonsters
    Large,     // kinds 0 to 5 and 31: UpdateLargeMonsters
    Fixed,     // kinds 6 to 9: UpdateFixedMonsters, never walk
};

struct MonsterKindParams {
    MonsterRoutine routine;
    // Placement speed factor; 0 for the immobile kinds. Kept in double, as
    // the placement's product is formed in double before it is stored as f32.
    double speedBase;
    std::int32_t hp;
    std::int32_t defeatPicture;  // gallery picture shown when this kind defeats the player
    std::int32_t drawLift;       // c1: frames are drawn this many pixels higher
    std::int32_t evasion;        // c2: the monster's side of the player's hit roll
    std::int32_t accuracy;       // c3: the monster's side of the player's dodge roll
    std::int32_t attackPower;    // c4: base of the damage the monster deals
    std::int32_t attackPeriod;   // c5: an engaged monster attacks when (slot*33 + frame) % c5 == 0
    // c6: frames per animation frame of the ordinary kinds. The large and
    // fixed routines take none; the game loop passes the EXP in its place.
    std::int32_t frameTime;
    std::int32_t exp;
    std::int32_t vesk;
};

inline constexpr std::array<MonsterKindParams, kMonsterKindCount> kMonsterKindParams = {{
    // routine                  speed HP      pic c1   c2   c3   c4   c5   c6  EXP     Vesk
    {MonsterRoutine::Large,     0.3, 50000,   0, 36,  70,  80, 700, 300,  0, 13000,  3000},  // 0
    {MonsterRoutine::Large,     0.7, 100000,  1, 36, 100, 100, 900, 300,  0, 39000,  8000},  // 1
    {MonsterRoutine::Large,     1.7, 170000, 19, 54,  85,  80, 600, 230,  0, 30000,  7000},  // 2
    {MonsterRoutine::Large,     0.7, 7000,   20, 50,  25,  40, 220, 250,  0,   700,   100},  // 3
    {MonsterRoutine::Large,     0.6, 11000,  21, 70,  30,  40, 240, 230,  0,  1100,   170},  // 4
    {MonsterRoutine::Large,     0.9, 70000,  27, 41,  40,  50, 390, 210,  0,  7000,  1000},  // 5
    {MonsterRoutine::Fixed,     0.0, 15000,   6, 22,  60,  60, 250, 160,  0,  3000,   540},  // 6
    {MonsterRoutine::Fixed,     0.0, 50000,   9, 22,  90, 110, 430, 180,  0, 29000,  6000},  // 7
    {MonsterRoutine::Fixed,     0.0, 6000,    7, -10, 30,  20, 270, 230,  0,   800,    85},  // 8
    {MonsterRoutine::Fixed,     0.0, 35000,  18, -10, 70,  70, 500, 220,  0, 17000,  3500},  // 9
    {MonsterRoutine::Ordinary,  0.8, 190,    22, 12,   7,   3,  47, 280, 12,    10,     2},  // 10
    {MonsterRoutine::Ordinary,  0.7, 150,    10, 12,   3,   0,  32, 300, 12,     7,     2},  // 11
    {MonsterRoutine::Ordinary,  0.4, 320,     2,  6,  10,   5,  60, 270, 12,    17,     3},  // 12
    {MonsterRoutine::Ordinary,  0.7, 670,     3, 24,  15,   6,  70, 230, 12,    27,     4},  // 13
    {MonsterRoutine::Ordinary,  1.2, 720,    24,  9,  30,  20,  57, 180,  9,    39,     6},  // 14
    {MonsterRoutine::Ordinary,  1.0, 770,    15,  4,  40,  30,  68, 150,  8,    70,    11},  // 15
    {MonsterRoutine::Ordinary,  1.0, 1500,   13, 19,  25,  15, 120, 210, 12,   110,    17},  // 16
    {MonsterRoutine::Ordinary,  0.9, 1700,   11, 12,  25,  20, 150, 210, 10,   170,    20},  // 17
    {MonsterRoutine::Ordinary,  0.8, 2700,   23, 19,  15,  23, 160, 250, 12,   230,    24},  // 18
    {MonsterRoutine::Ordinary,  1.2, 3000,    4, 15,  30,  25, 120, 150,  7,   350,    36},  // 19
    {MonsterRoutine::Ordinary,  1.5, 3500,   16,  4,  50,  35, 130, 130,  7,   500,    68},  // 20
    {MonsterRoutine::Ordinary,  1.2, 10000,   8, 12,  55,  45, 240, 170,  8,  1700,   270},  // 21
    {MonsterRoutine::Ordinary,  0.9, 13000,  12, 24,  60,  50, 350, 190, 10,  2300,   390},  // 22
    {MonsterRoutine::Ordinary,  0.9, 18000,  14, 19,  70,  55, 430, 220, 12,  3900,   770},  // 23
    {MonsterRoutine::Ordinary,  1.5, 7700,   26,  9,  50,  38, 189, 138,  8,  1300,   150},  // 24
    {MonsterRoutine::Ordinary,  1.7, 19000,   5, 15,  85,  70, 270, 110,  7,  5000,  1000},  // 25
    {MonsterRoutine::Ordinary,  1.8, 19000,  17,  4, 100,  85, 280, 100,  6,  9000,  2000},  // 26
    {MonsterRoutine::Ordinary,  1.2, 38000,  25, 19, 100,  90, 530, 240,  9, 23000,  5000},  // 27
    {MonsterRoutine::Ordinary,  1.3, 600,    28, 12,  30,  25,  55, 170,  8,    50,     7},  // 28
    {MonsterRoutine::Ordinary,  1.6, 4500,   29, 12,  60,  40, 150, 140,  8,  1000,   111},  // 29
    {MonsterRoutine::Ordinary,  1.9, 47000,  30, 12, 120, 120, 390, 110, 12, 43000,  8000},  // 30
    {MonsterRoutine::Large,     1.7, 290000, 31, 41, 110, 120, 770, 170,  0, 300000, 70000},  // 31
}};

// Kinds 6 to 9 stand still: placement gives them speed 0 and draws no random number.
constexpr bool IsImmobileKind(int kind) { return kind >= 6 && kind <= 9; }
