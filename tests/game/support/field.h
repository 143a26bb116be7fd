// Field play without the game loop: a fixture that empties the stage, the
// player and the monsters, hand-made collision grids, and one frame of the
// field run in the game loop's order (input edges, frame count, the player's
// actions and move, the monsters' move, the player's update and draw, the
// skill timers).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "world/stages/collision_grid.h"

// The pad-state masks the field tests bind the three actions to.
constexpr std::uint32_t kTestAttack = 0x10;
constexpr std::uint32_t kTestJump = 0x20;
constexpr std::uint32_t kTestSkill = 0x40;
constexpr int kTestSheetBase = 5000;  // g_PlayerSheet[i] holds 5000 + i

class FieldTest : public ::testing::Test {
protected:
    void SetUp() override { ResetField(); }

public:
    // Empties the grid, the monsters and the pools; a new game's player
    // (620 HP, 210 SP, every stat total 0) standing nowhere yet; the actions
    // bound to kTest*; sheet and sound handles numbered for the recorder.
    static void ResetField();

    // Solid cells over columns [c0, c1] and rows [r0, r1] of g_CollisionGrid.
    static void Solid(int c0, int c1, int r0, int r1);
    // Ground from row `top` down to the last row over columns [c0, c1].
    static void Floor(int c0, int c1, int top) { Solid(c0, c1, top, kCollisionRows - 1); }

    // The camera at world x 0 resting at its left bound, so that the player's
    // screen x is its world x and the player crosses the screen (move code
    // 'n') as long as it stays left of the middle.
    static void CameraAtLeftEdge();
    // Puts the player at (screenX, y): airborne or standing, no speed.
    static void PlacePlayer(float screenX, float y, bool airborne);

    // One frame of field play with `held` as the pad state.
    static void PlayFrame(std::uint32_t held);
    static void PlayFrames(int count, std::uint32_t held) {
        for (int i = 0; i < count; ++i) PlayFrame(held);
    }
};
