// The stage's collision grid: one byte per 32 x 32 world pixels, row after
// row, covering the 12,800 x 480 strip.
#pragma once

#include <cstdint>

constexpr int kCollisionRows = 15;
constexpr int kCollisionColumns = 400;
constexpr int kCollisionCellCount = kCollisionRows * kCollisionColumns;
constexpr int kCollisionCellSize = 32;

constexpr std::uint8_t kCellEmpty = 0;
constexpr std::uint8_t kCellSolid = 1;

struct CollisionGrid {
    std::uint8_t cells[kCollisionCellCount];  // index row * 400 + column
};

extern CollisionGrid g_CollisionGrid;
