// How the game loop moves each monster kind: its pattern, the move code its
// collision moves pass, and the charge that its attack runs.
#pragma once

#include <array>
#include <cstdint>

#include "world/monsters/monster_record.h"

enum class MovePattern : std::uint8_t {
    Walking,   // walks, turns, falls and may charge or jump while attacking
    Standing,  // only falls and lands
    Floating,  // flies in a straight line, ignoring grid and gravity
};

enum class ChargeStep : std::uint8_t {
    None,              // stands while attacking
    SpeedForward,      // its speed, towards the facing
    SlowForward,       // 0.3 towards the facing
    SpeedThirdForward, // speed / 3 towards the facing, off the grid (floating kinds)
    BackOff,           // 0.5 against the facing, before the attack decision
};

constexpr int kNoMoveCode = -1;

struct MonsterMoveRow {
    MovePattern pattern;
    int moveCode;            // kNoMoveCode for the floating kinds
    std::int32_t chargeStart;  // the charge runs while the attack timer is above this
    ChargeStep charge;
    float jumpSpeed;         // vertical speed at chargeStart + 1; 0 for no jump
};

constexpr float kMonsterSlowCharge = 0.3f;
constexpr float kMonsterBackOff = 0.5f;

// clang-format off
inline constexpr std::array<MonsterMoveRow, kMonsterKindCount> kMonsterMoveTable = {{
    //  pattern                code  start  charge                           jump
    {MovePattern::Walking,     16,   127,   ChargeStep::SpeedForward,       -1.5f},  // 0
    {MovePattern::Walking,     19,   127,   ChargeStep::SpeedForward,       -1.5f},  // 1
    {MovePattern::Walking,     26,   255,   ChargeStep::SpeedForward,        0.0f},  // 2
    {MovePattern::Walking,     27,   255,   ChargeStep::SpeedForward,        0.0f},  // 3
    {MovePattern::Walking,     28,   127,   ChargeStep::BackOff,             0.0f},  // 4
    {MovePattern::Walking,     54,   255,   ChargeStep::SpeedForward,       -1.9f},  // 5
    {MovePattern::Standing,    14,     0,   ChargeStep::None,                0.0f},  // 6
    {MovePattern::Standing,    18,     0,   ChargeStep::None,                0.0f},  // 7
    {MovePattern::Standing,    12,     0,   ChargeStep::None,                0.0f},  // 8
    {MovePattern::Standing,    25,     0,   ChargeStep::None,                0.0f},  // 9
    {MovePattern::Walking,     29,   255,   ChargeStep::SpeedForward,        0.0f},  // 10
    {MovePattern::Walking,      7,   255,   ChargeStep::SpeedForward,        0.0f},  // 11
    {MovePattern::Walking,      8,   255,   ChargeStep::SpeedForward,        0.0f},  // 12
    {MovePattern::Walking,      9,     0,   ChargeStep::None,                0.0f},  // 13
    {MovePattern::Walking,     51,   127,   ChargeStep::SpeedForward,       -1.9f},  // 14
    {MovePattern::Walking,     22,   127,   ChargeStep::SpeedForward,       -1.7f},  // 15
    {MovePattern::Walking,     20,   255,   ChargeStep::SlowForward,         0.0f},  // 16
    {MovePattern::Walking,     10,   255,   ChargeStep::SpeedForward,        0.0f},  // 17
    {MovePattern::Walking,     50,     0,   ChargeStep::None,                0.0f},  // 18
    {MovePattern::Walking,     11,   127,   ChargeStep::SpeedForward,        0.0f},  // 19
    {MovePattern::Walking,     23,   127,   ChargeStep::SpeedForward,       -1.7f},  // 20
    {MovePattern::Walking,     13,   255,   ChargeStep::SpeedForward,        0.0f},  // 21
    {MovePattern::Walking,     15,     0,   ChargeStep::None,                0.0f},  // 22
    {MovePattern::Walking,     21,   255,   ChargeStep::SlowForward,         0.0f},  // 23
    {MovePattern::Walking,     53,   127,   ChargeStep::SpeedForward,       -1.9f},  // 24
    {MovePattern::Walking,     17,   127,   ChargeStep::SpeedForward,        0.0f},  // 25
    {MovePattern::Walking,     24,   127,   ChargeStep::SpeedForward,       -1.7f},  // 26
    {MovePattern::Walking,     52,     0,   ChargeStep::None,                0.0f},  // 27
    {MovePattern::Floating, kNoMoveCode, 255, ChargeStep::SpeedThirdForward, 0.0f},  // 28
    {MovePattern::Floating, kNoMoveCode, 255, ChargeStep::SpeedThirdForward, 0.0f},  // 29
    {MovePattern::Floating, kNoMoveCode, 255, ChargeStep::SpeedThirdForward, 0.0f},  // 30
    {MovePattern::Floating, kNoMoveCode, 255, ChargeStep::SpeedThirdForward, 0.0f},  // 31
}};
// clang-format on

// The order in which the game loop moves the kinds; it fixes the order of the
// random draws.
inline constexpr std::array<std::int8_t, kMonsterKindCount> kMonsterMoveOrder = {
    28, 29, 30, 31, 10, 5, 24, 27, 14, 18, 16, 23, 15, 20, 26, 9,
    2,  3,  4,  11, 12, 13, 19, 25, 21, 17, 22, 6,  7,  8,  0,  1,
};

// The kind whose records a move code's wall response writes, or -1 for a code
// that belongs to no kind.
constexpr int MonsterKindOfMoveCode(int code) {
    if (code == kNoMoveCode) return -1;
    for (int kind = 0; kind < kMonsterKindCount; ++kind)
        if (kMonsterMoveTable[kind].moveCode == code) return kind;
    return -1;
}
